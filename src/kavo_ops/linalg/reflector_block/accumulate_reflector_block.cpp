#include "kavo_ops/linalg/reflector_block/reflector_block.h"
#include <algorithm>

#include "platform/invariant_failure.h"

namespace kavo_ops {

ReflectorBlock accumulate_reflector_block(std::span<const double> a, std::size_t row_stride, std::size_t m,
                                          std::size_t first, std::size_t end, std::span<const double> heads,
                                          std::span<const double> taus) {
  platform::ensure(first < end && end <= m && end <= heads.size() && end <= taus.size() &&
                       m * row_stride <= a.size(),
                   "invariant: reflector block lies inside the factored matrix");
  ReflectorBlock block;
  block.rows = m - first;
  block.width = end - first;
  const std::size_t b = block.width;
  block.v.assign(block.rows * b, 0.0);
  block.t.assign(b * b, 0.0);
  for (std::size_t l = 0; l < b; ++l) {
    block.v[l * b + l] = heads[first + l];
    for (std::size_t r = l + 1; r < block.rows; ++r) block.v[r * b + l] = a[(first + r) * row_stride + first + l];
  }

  std::vector<double> z(b, 0.0);
  for (std::size_t i = 0; i < b; ++i) {
    const double tau_i = taus[first + i];
    block.t[i * b + i] = tau_i;
    if (i == 0) continue;
    std::fill(z.begin(), z.begin() + static_cast<std::ptrdiff_t>(i), 0.0);
    for (std::size_t r = 0; r < block.rows; ++r) {
      const double coefficient = block.v[r * b + i];
      if (coefficient == 0.0) continue;  // NaN counts as nonzero
      const double* row = block.v.data() + r * b;
      for (std::size_t t = 0; t < i; ++t) z[t] += coefficient * row[t];
    }
    for (std::size_t l = 0; l < i; ++l) {
      double sum = 0.0;
      for (std::size_t t = l; t < i; ++t) sum += block.t[l * b + t] * z[t];
      block.t[l * b + i] = sum * -tau_i;
    }
  }
  return block;
}

}  // namespace kavo_ops
