#include "kavo_ops/matrix/small_batched_products.h"

#include "fyrel/gemm/gemm_kernels.h"
#include "kavo/layout/contiguity.h"
#include "kavo/layout/shape_arithmetic.h"

namespace kavo_ops {
namespace {

template <class Layout>
bool compact_inside(const Layout& layout, std::uint64_t len) {
  return kavo::is_c_contiguous(layout) && kavo::check_storage(layout, len).has_value();
}

template <class View>
const auto* batch_origin(const View& view, std::uint64_t t) noexcept {
  const std::uint64_t index = view.layout.shape[0] == 1 ? 0 : t;
  return view.data + view.layout.offset + index * view.layout.shape[1] * view.layout.shape[2];
}

}  // namespace

template <class T>
bool small_batched_products_apply(const kavo::View<T, 3>& a, const kavo::View<T, 3>& b,
                                  const kavo::MutView<T, 3>& out) noexcept {
  const std::uint64_t m = out.layout.shape[1], n = out.layout.shape[2], k = a.layout.shape[2];
  if (m < 2 || n < 2 || k < 2) return false;
  if (m > kSmallBatchedExtent || n > kSmallBatchedExtent || k > kSmallBatchedExtent) return false;
  if (out.shares_window) return false;
  return compact_inside(a.layout, a.len) && compact_inside(b.layout, b.len) && compact_inside(out.layout, out.len);
}

template <class T>
void small_batched_products(const kavo::View<T, 3>& a, const kavo::View<T, 3>& b, const kavo::MutView<T, 3>& out,
                            std::uint64_t first, std::uint64_t end) noexcept {
  if (first >= end) return;
  const std::uint64_t m = out.layout.shape[1], n = out.layout.shape[2], k = a.layout.shape[2];
  const std::uint64_t a_step = a.layout.shape[0] == 1 ? 0 : m * k;
  const std::uint64_t b_step = b.layout.shape[0] == 1 ? 0 : k * n;
  fyrel::active_gemm_kernels<T>().small_products(end - first, batch_origin(a, first), a_step, batch_origin(b, first),
                                                 b_step, out.data + out.layout.offset + first * m * n, m, n, k);
}

template bool small_batched_products_apply<float>(const kavo::View<float, 3>&, const kavo::View<float, 3>&,
                                                  const kavo::MutView<float, 3>&) noexcept;
template bool small_batched_products_apply<double>(const kavo::View<double, 3>&, const kavo::View<double, 3>&,
                                                   const kavo::MutView<double, 3>&) noexcept;
template void small_batched_products<float>(const kavo::View<float, 3>&, const kavo::View<float, 3>&,
                                            const kavo::MutView<float, 3>&, std::uint64_t, std::uint64_t) noexcept;
template void small_batched_products<double>(const kavo::View<double, 3>&, const kavo::View<double, 3>&,
                                             const kavo::MutView<double, 3>&, std::uint64_t, std::uint64_t) noexcept;

}  // namespace kavo_ops
