#include "kavo_ops/linalg/matexp/square_dense.h"

#include "kavo_ops/matrix/generic_kernel.h"
#include "kavo_ops/matrix/matmul.h"
#include "platform/invariant_failure.h"

namespace kavo_ops::square_dense {

void scaled_into(const kavo::View<double, 2>& x, double c, double* out) {
  const std::uint64_t rows = x.layout.shape[0];
  const std::uint64_t cols = x.layout.shape[1];
  const double* origin = x.data + x.layout.offset;
  const std::int64_t row_stride = x.layout.strides[0];
  const std::int64_t col_stride = x.layout.strides[1];
  for (std::uint64_t i = 0; i < rows; ++i) {
    const double* row = origin + static_cast<std::int64_t>(i) * row_stride;
    double* to = out + i * cols;
    if (col_stride == 1) {
      for (std::uint64_t j = 0; j < cols; ++j) to[j] = row[j] * c;
    } else {
      for (std::uint64_t j = 0; j < cols; ++j) to[j] = row[static_cast<std::int64_t>(j) * col_stride] * c;
    }
  }
}

void product_into(const double* x, const double* y, double* out, std::uint64_t n, std::uint64_t parallel_order) {
  const kavo::Layout<2> square{{n, n}, {static_cast<std::int64_t>(n), 1}, 0};
  const kavo::View<double, 2> lhs{x, n * n, square};
  const kavo::View<double, 2> rhs{y, n * n, square};
  const kavo::MutView<double, 2> product{out, n * n, square, false};
  if (n >= parallel_order && n > 1) {
    // What the router does for a large product of these operands.
    auto route = route_matmul(lhs, rhs, product);
    platform::ensure(route.has_value(), "invariant: square product operands are valid");
    parallel_generic_kernel(*route, x, y, out, true);
    return;
  }
  platform::ensure(matmul_into(lhs, rhs, product).has_value(), "invariant: square product operands are valid");
}

void pade_parts_in_place(const double* b2, double* b4, double* b6, const double* c, std::uint64_t n) {
  for (std::uint64_t i = 0; i < n; ++i) {
    for (std::uint64_t j = 0; j < n; ++j) {
      const std::uint64_t k = i * n + j;
      const double eye = i == j ? 1.0 : 0.0;
      const double even = ((eye * c[0] + b2[k] * c[2]) + b4[k] * c[4]) + b6[k] * c[6];
      const double odd = (eye * c[1] + b2[k] * c[3]) + b4[k] * c[5];
      b6[k] = even;
      b4[k] = odd;
    }
  }
}

void numerator_denominator_in_place(double* even, double* odd, std::uint64_t n) {
  for (std::uint64_t k = 0; k < n * n; ++k) {
    const double e = even[k];
    const double o = odd[k];
    odd[k] = e + o;
    even[k] = e - o;
  }
}

}  // namespace kavo_ops::square_dense
