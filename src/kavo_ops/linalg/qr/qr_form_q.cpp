#include <algorithm>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/qr/qr.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Columns of Q per task: a block of 32 columns is one register chunk of
// the row kernel and keeps its rows in the level-2 cache for m up to about
// two thousand.
constexpr std::uint64_t kQColumnBlock = 32;
// Below this order Q costs less than waking the executor.
constexpr std::uint64_t kParallelOrder = 256;

// Applies H_{p-1}, .., H_0 in that order to columns [j0, j1) of Q. Each
// element sees exactly the plain loop's operations: the columns are
// independent. Columns j < k still hold e_j in rows k.. when H_k arrives,
// so H_k leaves them exactly as they are and is not applied to them.
// The block is worked on in a compact copy: rows of Q lie a whole row of
// pages apart, and sweeping a thousand of them per reflector misses the
// address-translation cache on every row.
void reflect_column_block(const QrDecomposition& qr, const std::vector<std::vector<double>>& reflectors, double* q,
                          std::uint64_t j0, std::uint64_t j1) {
  const std::uint64_t m = qr.m;
  const std::uint64_t width = j1 - j0;
  std::vector<double> block(m * width);
  for (std::uint64_t i = 0; i < m; ++i) std::copy(q + i * m + j0, q + i * m + j1, block.data() + i * width);
  for (std::uint64_t k = reflectors.size(); k-- > 0;) {
    const double tau = qr.taus[k];
    if (tau == 0.0) continue;
    const std::uint64_t first = std::max(j0, k);
    if (first >= j1) continue;
    const std::vector<double>& v = reflectors[k];
    reflect_rows(block.data() + k * width + (first - j0), width, m - k, j1 - first, v[0], v.data() + 1, 1, tau,
                 ReflectRounding::separate);
  }
  for (std::uint64_t i = 0; i < m; ++i) std::copy(block.data() + i * width, block.data() + (i + 1) * width, q + i * m + j0);
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
      platform::throw_if_interrupted();
      reflect_column_block(qr, reflectors, values, block * kQColumnBlock, std::min(m, (block + 1) * kQColumnBlock));
    }
  });
  return kavo::expect_valid(kavo::from_vector<double, 2>({m, m}, std::move(q)), "Q shape matches storage");
}

}  // namespace kavo_ops
