#pragma once
// Matrix products over 2-D views of float32 or float64 with any strides.
//
//   matmul_into(a, b, out)            out = A * B
//   matmul_routed(a, b, out, acc)     out = A * B, or out += A * B when acc
//   route_matmul(a, b, out)           the validated dimensions and strides
//
// matmul_routed picks a route by memory order and size:
//   A row-major, B column-major       dot kernel: out[i, j] = dot(A[i, :], B[:, j])
//   A column-major, B row-major       outer kernel: row updates out[i, :] += A[i, p] * B[p, :]
//   both column-major                 the smaller of A and B copied row-major, then one of the above
//   otherwise                         non-row-major operands copied, then the tiled kernel
//                                     (out[i, j] = fused chain over p) or, for outputs whose rows
//                                     are not unit-stride, the row updates
// Row updates skip coefficients that are exactly zero, so a zero of A never
// turns an infinity or NaN of B into NaN there; the tiled kernel multiplies
// them like any other term. Large products (m >= 64 and m * k * n >= 262144)
// run on the process-wide executor; parallel and sequential runs give the
// same bits. The output must own its storage window, fit it and not alias
// itself ("matmul output ..." storage errors).

#include <cstdint>

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"

namespace kavo_ops {

struct MatmulRoute {
  std::uint64_t m = 0, k = 0, n = 0;
  std::int64_t a_row_stride = 0, a_col_stride = 0;
  std::int64_t b_row_stride = 0, b_col_stride = 0;
  std::int64_t out_row_stride = 0, out_col_stride = 0;
  std::uint64_t a_offset = 0, b_offset = 0, out_offset = 0;
};

template <class T>
kavo::Expected<MatmulRoute> route_matmul(const kavo::View<T, 2>& a, const kavo::View<T, 2>& b,
                                         const kavo::MutView<T, 2>& out);

template <class T>
kavo::Expected<void> matmul_routed(const kavo::View<T, 2>& a, const kavo::View<T, 2>& b,
                                   const kavo::MutView<T, 2>& out, bool accumulate);

template <class T>
kavo::Expected<void> matmul_into(const kavo::View<T, 2>& a, const kavo::View<T, 2>& b,
                                 const kavo::MutView<T, 2>& out);

// The size rule: small products stay on the calling thread.
bool is_large_product(std::uint64_t m, std::uint64_t k, std::uint64_t n) noexcept;

// The tiled route's own rule, stricter: its kernels are fast enough that a
// second core pays for waking only from about 2^23 float32 (2^22 float64)
// multiply-adds on. Measured on a two-core Xeon (AVX-512): after a pause
// that parks the workers, 192^3 float32 took 122 us on one thread and
// 170 us on two, 256^3 297 us against 249 us; in a tight loop the split
// paid from 128^3. Element for element the same bits either way.
template <class T>
bool is_large_tiled_product(std::uint64_t m, std::uint64_t k, std::uint64_t n) noexcept {
  constexpr std::uint64_t threshold = sizeof(T) >= 8 ? std::uint64_t{1} << 22 : std::uint64_t{1} << 23;
  std::uint64_t mk = 0, mkn = 0;
  const bool saturated = __builtin_mul_overflow(m, k, &mk) || __builtin_mul_overflow(mk, n, &mkn);
  return m >= 64 && (saturated || mkn >= threshold);
}

}  // namespace kavo_ops
