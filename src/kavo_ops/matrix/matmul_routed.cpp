#include <optional>

#include "kavo/assign/to_row_major.h"
#include "kavo/layout/contiguity.h"
#include "kavo_ops/matrix/dot_outer_kernels.h"
#include "kavo_ops/matrix/generic_kernel.h"
#include "kavo_ops/matrix/matmul.h"
#include "kavo_ops/matrix/output_fill.h"
#include "kavo_ops/matrix/row_update.h"

namespace kavo_ops {
namespace {

template <class T>
const T* origin(const kavo::View<T, 2>& view) {
  return view.data + view.layout.offset;
}

// A row-major copy of `view`, or an Overflow when its element count does not fit.
template <class T>
kavo::Expected<kavo::OwnedArray<T, 2>> row_major_copy(const kavo::View<T, 2>& view) {
  if (auto count = kavo::checked_size(view.layout); !count) return std::unexpected(std::move(count.error()));
  return kavo::to_row_major_owned(view);
}

template <class T>
kavo::Expected<void> run_dot(const kavo::View<T, 2>& a, const kavo::View<T, 2>& b, const kavo::MutView<T, 2>& out,
                             bool accumulate) {
  auto route = route_matmul(a, b, out);
  if (!route) return std::unexpected(std::move(route.error()));
  dot_kernel(*route, origin(a), origin(b), out.data + out.layout.offset, accumulate,
             is_large_product(route->m, route->k, route->n));
  return {};
}

template <class T>
kavo::Expected<void> run_outer(const kavo::View<T, 2>& a, const kavo::View<T, 2>& b,
                               const kavo::MutView<T, 2>& out, bool accumulate) {
  auto route = route_matmul(a, b, out);
  if (!route) return std::unexpected(std::move(route.error()));
  outer_kernel(*route, origin(a), origin(b), out, accumulate, is_large_product(route->m, route->k, route->n));
  return {};
}

}  // namespace

template <class T>
kavo::Expected<void> matmul_routed(const kavo::View<T, 2>& a, const kavo::View<T, 2>& b,
                                   const kavo::MutView<T, 2>& out, bool accumulate) {
  auto route = route_matmul(a, b, out);
  if (!route) return std::unexpected(std::move(route.error()));
  const bool a_row = kavo::is_c_contiguous(a.layout), a_col = kavo::is_f_contiguous(a.layout);
  const bool b_row = kavo::is_c_contiguous(b.layout), b_col = kavo::is_f_contiguous(b.layout);
  const bool out_row = kavo::is_c_contiguous(out.layout);

  if (out_row && a_row && b_col) return run_dot(a, b, out, accumulate);
  if (out_row && a_col && b_row) return run_outer(a, b, out, accumulate);
  if (out_row && a_col && b_col) {
    // Copy only the smaller operand.
    if (route->m * route->k <= route->k * route->n) {
      auto a_copy = row_major_copy(a);
      if (!a_copy) return std::unexpected(std::move(a_copy.error()));
      return run_dot(a_copy->view(), b, out, accumulate);
    }
    auto b_copy = row_major_copy(b);
    if (!b_copy) return std::unexpected(std::move(b_copy.error()));
    return run_outer(a, b_copy->view(), out, accumulate);
  }

  std::optional<kavo::OwnedArray<T, 2>> a_copy, b_copy;
  if (!a_row) {
    auto copy = row_major_copy(a);
    if (!copy) return std::unexpected(std::move(copy.error()));
    a_copy.emplace(std::move(*copy));
  }
  if (!b_row) {
    auto copy = row_major_copy(b);
    if (!copy) return std::unexpected(std::move(copy.error()));
    b_copy.emplace(std::move(*copy));
  }
  const kavo::View<T, 2> a_rm = a_copy ? a_copy->view() : a;
  const kavo::View<T, 2> b_rm = b_copy ? b_copy->view() : b;
  auto rm_route = a_copy || b_copy ? route_matmul(a_rm, b_rm, out) : route;
  if (!rm_route) return std::unexpected(std::move(rm_route.error()));

  const MatmulRoute& r = *rm_route;
  T* out_origin = out.data + out.layout.offset;
  const bool unit_columns = r.out_col_stride == 1 && r.b_col_stride == 1;
  if (unit_columns && r.m > 1 && r.k > 0 && r.n > 0) {
    // The kernels zero their own rows, in parallel for large products.
    if (is_large_tiled_product<T>(r.m, r.k, r.n)) {
      parallel_generic_kernel(r, origin(a_rm), origin(b_rm), out_origin, !accumulate);
    } else {
      generic_kernel(r, origin(a_rm), origin(b_rm), out_origin, 0, r.m, kMatmulRowBlock, !accumulate);
    }
  } else {
    if (!accumulate) fill_output_zero(out);
    row_update_rows(r, origin(a_rm), origin(b_rm), out_origin, 0, r.m);
  }
  return {};
}

template kavo::Expected<void> matmul_routed<float>(const kavo::View<float, 2>&, const kavo::View<float, 2>&,
                                                   const kavo::MutView<float, 2>&, bool);
template kavo::Expected<void> matmul_routed<double>(const kavo::View<double, 2>&, const kavo::View<double, 2>&,
                                                    const kavo::MutView<double, 2>&, bool);

}  // namespace kavo_ops
