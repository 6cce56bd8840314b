#pragma once
// Reorders the axes of a matrix view without moving any element; the order
// (1, 0) is the transpose.

#include <array>
#include <cstddef>

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"

namespace kavo {

Expected<Layout<2>> permuted_axes(const Layout<2>& layout, std::array<std::size_t, 2> order);

template <class T>
Expected<View<T, 2>> permuted_axes(const View<T, 2>& view, std::array<std::size_t, 2> order) {
  auto layout = permuted_axes(view.layout, order);
  if (!layout) return std::unexpected(std::move(layout.error()));
  return View<T, 2>{view.data, view.len, *layout};
}

}  // namespace kavo
