#include "kavo_ops/linalg/householder/householder_reflector.h"
#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"
#include "kavo_ops/scalar/axpy_slice.h"
#include "kavo_ops/scalar/dot_slice.h"
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
  for (std::size_t r = r0; r < r1; ++r) {
    platform::ensure(r * row_stride + c0 + k <= a.size(), "invariant: reflector block fits the matrix");
    std::span<double> segment = a.subspan(r * row_stride + c0, k);
    const double s = dot_slice(std::span<const double>(segment), std::span<const double>(h.v));
    axpy_slice(-(s * h.tau), h.v, segment);
  }
}

}  // namespace kavo_ops
