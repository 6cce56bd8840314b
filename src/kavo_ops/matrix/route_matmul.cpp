#include <limits>

#include "kavo/layout/shape_arithmetic.h"
#include "kavo_ops/map/validate_output.h"
#include "kavo_ops/matrix/matmul.h"

namespace kavo_ops {

template <class T>
kavo::Expected<MatmulRoute> route_matmul(const kavo::View<T, 2>& a, const kavo::View<T, 2>& b,
                                         const kavo::MutView<T, 2>& out) {
  const auto& a_shape = a.layout.shape;
  const auto& b_shape = b.layout.shape;
  const auto& out_shape = out.layout.shape;
  if (a_shape[1] != b_shape[0] || out_shape[0] != a_shape[0] || out_shape[1] != b_shape[1]) {
    return std::unexpected<kavo::ArrayError>(kavo::ShapeMismatch{{a_shape[0], a_shape[1]}, {b_shape[0], b_shape[1]}});
  }
  if (auto fits = kavo::check_storage(a.layout, a.len); !fits) return std::unexpected(std::move(fits.error()));
  if (auto fits = kavo::check_storage(b.layout, b.len); !fits) return std::unexpected(std::move(fits.error()));
  if (auto valid = validate_output(out, "matmul"); !valid) return std::unexpected(std::move(valid.error()));
  return MatmulRoute{a_shape[0],          a_shape[1],         b_shape[1],           a.layout.strides[0],
                     a.layout.strides[1], b.layout.strides[0], b.layout.strides[1], out.layout.strides[0],
                     out.layout.strides[1], a.layout.offset,    b.layout.offset,     out.layout.offset};
}

bool is_large_product(std::uint64_t m, std::uint64_t k, std::uint64_t n) noexcept {
  std::uint64_t mk = 0, mkn = 0;
  const bool saturated = __builtin_mul_overflow(m, k, &mk) || __builtin_mul_overflow(mk, n, &mkn);
  return m >= 64 && (saturated || mkn >= 262144);
}

template kavo::Expected<MatmulRoute> route_matmul<float>(const kavo::View<float, 2>&, const kavo::View<float, 2>&,
                                                         const kavo::MutView<float, 2>&);
template kavo::Expected<MatmulRoute> route_matmul<double>(const kavo::View<double, 2>&, const kavo::View<double, 2>&,
                                                          const kavo::MutView<double, 2>&);

}  // namespace kavo_ops
