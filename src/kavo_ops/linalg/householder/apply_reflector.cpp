#include <algorithm>

#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

void apply_reflector_left(const HouseholderReflector& h, std::span<double> a, std::size_t row_stride,
                          std::size_t r0, std::size_t c0, std::size_t c1) {
  if (c1 <= c0) return;
  const std::size_t k = h.v.size();
  const std::size_t width = c1 - c0;
  platform::ensure(k == 0 || (r0 + k - 1) * row_stride + c1 <= a.size(), "invariant: reflector block fits the matrix");
  if (k == 0) return;
  // The row kernel keeps w in registers over both sweeps, with the axpy
  // kernel's rounding (one fused multiply-add per term).
  reflect_rows(a.data() + r0 * row_stride + c0, row_stride, k, width, h.v[0], h.v.data() + 1, 1, h.tau,
               ReflectRounding::fused);
}

void apply_reflector_right(const HouseholderReflector& h, std::span<double> a, std::size_t row_stride,
                           std::size_t r0, std::size_t r1, std::size_t c0) {
  const std::size_t k = h.v.size();
  if (r1 <= r0) return;
  platform::ensure((r1 - 1) * row_stride + c0 + k <= a.size(), "invariant: reflector block fits the matrix");
  // Rows are independent: each takes s = row . v, then row -= (s tau) v. A
  // group's dots share v's loads (each with the lone dot's bits), then each
  // row takes its update; the kernels are looked up once per reflector.
  const SliceKernelTable& kernels = active_slice_kernels();
  constexpr std::size_t kRows = 6;
  const double* rows[kRows];
  double sums[kRows];
  for (std::size_t first = r0; first < r1; first += kRows) {
    const std::size_t count = std::min(kRows, r1 - first);
    for (std::size_t g = 0; g < count; ++g) rows[g] = a.data() + (first + g) * row_stride + c0;
    kernels.dot_group_f64(h.v.data(), rows, count, k, sums);
    if (k == 0) continue;
    for (std::size_t g = 0; g < count; ++g) {
      kernels.axpy_f64(-(sums[g] * h.tau), h.v.data(), a.data() + (first + g) * row_stride + c0, k);
    }
  }
}

}  // namespace kavo_ops
