#include <algorithm>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/qr/qr.h"

namespace kavo_ops {

kavo::OwnedArray<double, 2> qr_form_r(const QrDecomposition& qr) {
  const std::uint64_t m = qr.m;
  const std::uint64_t n = qr.n;
  kavo::Buffer<double> r(m * n);  // zero-filled
  const double* packed = qr.packed.data();
  for (std::uint64_t l = 0; l < std::min(m, n); ++l) {
    std::copy(packed + l * n + l, packed + (l + 1) * n, r.data() + l * n + l);
  }
  return kavo::expect_valid(kavo::from_vector<double, 2>({m, n}, std::move(r)), "R shape matches storage");
}

}  // namespace kavo_ops
