#include <algorithm>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/qr/qr.h"
#include "kavo_ops/parallel/parallel_for.h"
#include "kavo_ops/linalg/qr/qr_row_kernels.h"

namespace kavo_ops {
namespace {

// Columns of Q per task: a block of 64 columns keeps the rows one reflector
// sweeps within the level-2 cache for m up to about a thousand.
constexpr std::uint64_t kQColumnBlock = 64;
// Below this order Q costs less than waking the executor.
constexpr std::uint64_t kParallelOrder = 256;

// Applies H_{p-1}, .., H_0 in that order to columns [j0, j1) of Q. Each
// element sees exactly the plain loop's operations: the columns are
// independent. Columns j < k still hold e_j in rows k.. when H_k arrives,
// so H_k leaves them exactly as they are and is not applied to them.
void reflect_column_block(const QrDecomposition& qr, const std::vector<std::vector<double>>& reflectors, double* q,
                          std::uint64_t j0, std::uint64_t j1) {
  const std::uint64_t m = qr.m;
  std::vector<double> d(j1 - j0);
  for (std::uint64_t k = reflectors.size(); k-- > 0;) {
    const double tau = qr.taus[k];
    if (tau == 0.0) continue;
    const std::uint64_t first = std::max(j0, k);
    if (first >= j1) continue;
    const std::uint64_t width = j1 - first;
    const std::vector<double>& v = reflectors[k];
    double* sums = d.data();
    const double* pivot_row = q + k * m + first;
    for (std::uint64_t j = 0; j < width; ++j) sums[j] = v[0] * pivot_row[j];
    for (std::uint64_t l = k + 1; l < m; ++l) qr_add_scaled_row(sums, q + l * m + first, v[l - k], width);
    for (std::uint64_t j = 0; j < width; ++j) sums[j] *= tau;
    for (std::uint64_t l = k; l < m; ++l) qr_subtract_scaled_row(q + l * m + first, sums, v[l - k], width);
  }
}

}  // namespace

kavo::OwnedArray<double, 2> qr_form_q(const QrDecomposition& qr) {
  const std::uint64_t m = qr.m;
  const std::uint64_t p = std::min(qr.m, qr.n);
  kavo::Buffer<double> q(m * m);  // zero-filled
  for (std::uint64_t i = 0; i < m; ++i) q[i * m + i] = 1.0;

  // Each reflector as one contiguous vector [head, tail...]: the sweeps read
  // it once per row, and the packed copy holds it down a strided column.
  std::vector<std::vector<double>> reflectors(p);
  const double* packed = qr.packed.data();
  for (std::uint64_t k = 0; k < p; ++k) {
    std::vector<double>& v = reflectors[k];
    v.resize(m - k);
    v[0] = qr.heads[k];
    for (std::uint64_t l = k + 1; l < m; ++l) v[l - k] = packed[l * qr.n + k];
  }
  double* values = q.data();
  const std::uint64_t blocks = (m + kQColumnBlock - 1) / kQColumnBlock;
  for_each_dynamic_chunk(blocks, m < kParallelOrder ? blocks : 1, [&](std::uint64_t begin, std::uint64_t end) {
    for (std::uint64_t block = begin; block < end; ++block) {
      reflect_column_block(qr, reflectors, values, block * kQColumnBlock, std::min(m, (block + 1) * kQColumnBlock));
    }
  });
  return kavo::expect_valid(kavo::from_vector<double, 2>({m, m}, std::move(q)), "Q shape matches storage");
}

}  // namespace kavo_ops
