#include "kavo_ops/linalg/matexp/matexp.h"

#include <cmath>
#include <utility>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_ops/linalg/matexp/pade_coefficients.h"
#include "kavo_ops/linalg/matexp/square_dense.h"

namespace kavo_ops {
namespace {

kavo::OwnedArray<double, 2> square_array(std::uint64_t n, kavo::Buffer<double> buffer, const char* what) {
  return kavo::expect_valid(kavo::from_vector<double, 2>({n, n}, std::move(buffer)), what);
}

}  // namespace

// From this order on the products run on the executor (the router waits
// until about 161): the exponential's products come back to back, so the
// workers are still awake from the last one. Measured on two cores: 100 and
// 128 gained 5-17 %, 64 lost 20 %, 80 was even; a machine whose cores are
// busy with other work loses at all of them.
std::uint64_t matexp_parallel_order() { return 96; }

kavo::Expected<kavo::OwnedArray<double, 2>> matexp(const kavo::View<double, 2>& a) {
  return matexp(a, matexp_parallel_order());
}

kavo::Expected<kavo::OwnedArray<double, 2>> matexp(const kavo::View<double, 2>& a, std::uint64_t parallel_order) {
  using namespace square_dense;
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::uint64_t n = *order;
  if (!all_finite(a)) {
    return kavo::storage_error("matrix exponential requires finite entries", kavo::FailureKind::non_finite_input);
  }
  if (n == 0) {
    return kavo::expect_valid(kavo::from_vector<double, 2>({0, 0}, kavo::Buffer<double>()),
                              "empty shape matches empty vec");
  }
  auto halvings = matexp_scaling_exponent(a);
  if (!halvings) return std::unexpected(std::move(halvings.error()));
  const int s = *halvings;
  const std::array<double, 7> c = pade6_coefficients();

  // Four n x n buffers carry every intermediate; each operation overwrites
  // a buffer whose contents are no longer needed.
  const std::uint64_t count = n * n;
  kavo::Buffer<double> b = kavo::Buffer<double>::uninitialized(count);
  kavo::Buffer<double> b2 = kavo::Buffer<double>::uninitialized(count);
  kavo::Buffer<double> b4 = kavo::Buffer<double>::uninitialized(count);
  kavo::Buffer<double> b6 = kavo::Buffer<double>::uninitialized(count);
  scaled_into(a, std::pow(2.0, -s), b.data());
  product_into(b.data(), b.data(), b2.data(), n, parallel_order);
  product_into(b2.data(), b2.data(), b4.data(), n, parallel_order);
  product_into(b2.data(), b4.data(), b6.data(), n, parallel_order);
  pade_parts_in_place(b2.data(), b4.data(), b6.data(), c.data(), n);  // even in b6, odd factor in b4
  product_into(b.data(), b4.data(), b2.data(), n, parallel_order);      // odd part in b2
  numerator_denominator_in_place(b6.data(), b2.data(), n);             // N in b2, D in b6

  auto lu = lu_decompose_owned(square_array(n, std::move(b6), "denominator storage matches shape"));
  if (!lu) return std::unexpected(std::move(lu.error()));
  lu_inverse_into(*lu, b.data());
  kavo::Buffer<double> r = std::move(b4);
  kavo::Buffer<double> spare = std::move(b);
  product_into(spare.data(), b2.data(), r.data(), n, parallel_order);  // D^-1 N
  for (int k = 0; k < s; ++k) {
    product_into(r.data(), r.data(), spare.data(), n, parallel_order);
    std::swap(r, spare);
  }
  return square_array(n, std::move(r), "product storage matches shape");
}

}  // namespace kavo_ops
