#include "kavo_ops/linalg/matexp/matexp.h"

#include <cmath>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_ops/linalg/matexp/pade_coefficients.h"
#include "kavo_ops/linalg/matexp/square_dense.h"

namespace kavo_ops {

kavo::Expected<kavo::OwnedArray<double, 2>> matexp(const kavo::View<double, 2>& a) {
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

  const kavo::OwnedArray<double, 2> b = scaled(a, std::pow(2.0, -s));
  // The powers and the two parts live only until N and D are formed.
  kavo::OwnedArray<double, 2> numerator = identity(0);
  kavo::OwnedArray<double, 2> denominator = identity(0);
  {
    const kavo::OwnedArray<double, 2> b2 = product(b, b);
    const kavo::OwnedArray<double, 2> b4 = product(b2, b2);
    const kavo::OwnedArray<double, 2> b6 = product(b2, b4);
    const kavo::OwnedArray<double, 2> eye = identity(n);
    kavo::OwnedArray<double, 2> even = sum(scaled(eye.view(), c[0]), scaled(b2.view(), c[2]));
    even = sum(even, scaled(b4.view(), c[4]));
    even = sum(even, scaled(b6.view(), c[6]));
    kavo::OwnedArray<double, 2> odd_factor = sum(scaled(eye.view(), c[1]), scaled(b2.view(), c[3]));
    odd_factor = sum(odd_factor, scaled(b4.view(), c[5]));
    const kavo::OwnedArray<double, 2> odd = product(b, odd_factor);
    numerator = sum(even, odd);
    denominator = difference(even, odd);
  }
  auto inverse = lu_inverse(denominator.view());
  if (!inverse) return std::unexpected(std::move(inverse.error()));
  kavo::OwnedArray<double, 2> r = product(*inverse, numerator);
  for (int k = 0; k < s; ++k) r = product(r, r);
  return r;
}

}  // namespace kavo_ops
