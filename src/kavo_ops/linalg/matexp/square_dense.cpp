#include "kavo_ops/linalg/matexp/square_dense.h"

#include "kavo/constructors/constructors.h"
#include "kavo/iter/element_iter.h"
#include "kavo_ops/matrix/matmul.h"

namespace kavo_ops::square_dense {
namespace {

kavo::OwnedArray<double, 2> wrap(std::uint64_t n, kavo::Buffer<double> buffer, const char* what) {
  return kavo::expect_valid(kavo::from_vector<double, 2>({n, n}, std::move(buffer)), what);
}

template <class Op>
kavo::OwnedArray<double, 2> elementwise(const kavo::OwnedArray<double, 2>& x, const kavo::OwnedArray<double, 2>& y,
                                        const char* what, Op op) {
  const std::uint64_t n = x.layout().shape[0];
  const std::uint64_t count = n * n;
  platform::ensure(x.storage_len() == count && y.storage_len() == count, "square operands of one order");
  kavo::Buffer<double> out(count);
  const double* xs = x.data();
  const double* ys = y.data();
  for (std::uint64_t k = 0; k < count; ++k) out[k] = op(xs[k], ys[k]);
  return wrap(n, std::move(out), what);
}

}  // namespace

kavo::OwnedArray<double, 2> identity(std::uint64_t n) {
  kavo::Buffer<double> out(n * n);
  for (std::uint64_t k = 0; k < n; ++k) out[k * n + k] = 1.0;
  return wrap(n, std::move(out), "identity square storage matches shape");
}

kavo::OwnedArray<double, 2> scaled(const kavo::View<double, 2>& x, double c) {
  const std::uint64_t n = x.layout.shape[0];
  kavo::Buffer<double> out(n * n);
  auto walk = kavo::elements(x);
  for (std::uint64_t k = 0; k < n * n; ++k) out[k] = *walk.next() * c;
  return wrap(n, std::move(out), "scaled storage matches shape");
}

kavo::OwnedArray<double, 2> sum(const kavo::OwnedArray<double, 2>& x, const kavo::OwnedArray<double, 2>& y) {
  return elementwise(x, y, "sum storage matches shape", [](double u, double v) { return u + v; });
}

kavo::OwnedArray<double, 2> difference(const kavo::OwnedArray<double, 2>& x, const kavo::OwnedArray<double, 2>& y) {
  return elementwise(x, y, "difference storage matches shape", [](double u, double v) { return u - v; });
}

kavo::OwnedArray<double, 2> product(const kavo::OwnedArray<double, 2>& x, const kavo::OwnedArray<double, 2>& y) {
  const std::uint64_t n = x.layout().shape[0];
  kavo::OwnedArray<double, 2> out = wrap(n, kavo::Buffer<double>(n * n), "product storage matches shape");
  kavo::expect_valid(matmul_into(x.view(), y.view(), out.mut_view()), "square product operands are valid");
  return out;
}

}  // namespace kavo_ops::square_dense
