#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/hessenberg/hessenberg.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

kavo::Expected<HessenbergFactors> hessenberg_factors(const kavo::View<double, 2>& a) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::uint64_t n = *order;
  auto form = reduce_owned_to_hessenberg(kavo::to_row_major_owned(a), true);
  if (!form) return std::unexpected(std::move(form.error()));
  const kavo::Extents<2> square{n, n};
  platform::ensure(form->q->layout().shape == square && form->q->storage_len() == n * n, "Q shape matches storage");
  platform::ensure(form->h.layout().shape == square && form->h.storage_len() == n * n, "H shape matches storage");
  return HessenbergFactors{std::move(*form->q), std::move(form->h)};
}

}  // namespace kavo_ops
