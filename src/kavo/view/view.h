#pragma once
// Views lay a Layout over storage they do not own. A View is read-only and
// borrowed from an owned array or a NumPy buffer; it never outlives it.
//
// A MutView may carry the shared-window mark: views yielded by iterating the
// lanes of a parent address only their own elements, but carry the parent's
// whole storage window, which overlaps their siblings. Such a view must be
// written element by element through offset_of positions; asking it for its
// whole window as one slice is an invariant failure.

#include <cstdint>
#include <span>
#include <vector>

#include "kavo/layout/layout.h"
#include "platform/invariant_failure.h"

namespace kavo {

template <class T, std::size_t Rank = dynamic_rank>
struct View {
  const T* data = nullptr;
  std::uint64_t len = 0;  // storage length in elements
  Layout<Rank> layout;

  std::span<const T> window() const noexcept { return {data, static_cast<std::size_t>(len)}; }
};

template <class T, std::size_t Rank = dynamic_rank>
struct MutView {
  T* data = nullptr;
  std::uint64_t len = 0;
  Layout<Rank> layout;
  bool shares_window = false;  // set only on lane views of a parent

  std::span<T> whole_window() const {
    platform::ensure(!shares_window,
                     "window is shared with sibling lane/axis views; a whole-window slice would "
                     "alias their elements (use per-element access instead)");
    return {data, static_cast<std::size_t>(len)};
  }
  T& at(std::uint64_t position) const noexcept { return data[position]; }
  View<T, Rank> as_view() const noexcept { return {data, len, layout}; }
};

// The rows of a matrix as lane views: each addresses one row, each carries
// the whole parent window and so bears the shared-window mark.
template <class T>
std::vector<MutView<T, 1>> row_lanes(const MutView<T, 2>& parent) {
  std::vector<MutView<T, 1>> lanes;
  lanes.reserve(parent.layout.shape[0]);
  for (std::uint64_t row = 0; row < parent.layout.shape[0]; ++row) {
    auto start = static_cast<std::int64_t>(parent.layout.offset) +
                 static_cast<std::int64_t>(row) * parent.layout.strides[0];
    lanes.push_back(MutView<T, 1>{parent.data, parent.len,
                                  Layout<1>{{parent.layout.shape[1]}, {parent.layout.strides[1]},
                                            static_cast<std::uint64_t>(start)},
                                  true});
  }
  return lanes;
}

}  // namespace kavo
