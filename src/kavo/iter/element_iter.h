#pragma once
// Double-ended traversal of a view's elements in logical row-major order
// (last axis fastest). Dense row-major windows are walked with a plain
// pointer range; genuinely strided views use an odometer from each end. Both
// ends meet without yielding any element twice.

#include <cstdint>
#include <optional>

#include "kavo/layout/contiguity.h"
#include "kavo/layout/shape_arithmetic.h"
#include "kavo/view/view.h"

namespace kavo {

template <class T, std::size_t Rank = dynamic_rank>
class ElementIter {
 public:
  explicit ElementIter(const View<T, Rank>& view) : view_(view) {
    const Layout<Rank>& layout = view.layout;
    remaining_ = size(layout);
    if (is_c_contiguous(layout)) {
      dense_ = true;
      platform::ensure(remaining_ == 0 || (layout.offset <= view.len && remaining_ <= view.len - layout.offset),
                       "invariant: contiguous element window lies inside its storage");
      front_position_ = layout.offset;
      back_position_ = layout.offset + remaining_;  // one past the last
      return;
    }
    front_index_ = layout.shape;
    back_index_ = layout.shape;
    for (std::size_t axis = 0; axis < layout.rank(); ++axis) {
      front_index_[axis] = 0;
      back_index_[axis] = layout.shape[axis] == 0 ? 0 : layout.shape[axis] - 1;
    }
    if (remaining_ == 0) return;
    front_position_ = layout.offset;
    back_position_ = expect_valid(offset_of(layout, back_index_), "invariant: last index is valid");
  }

  std::uint64_t remaining() const noexcept { return remaining_; }

  std::optional<T> next() {
    if (remaining_ == 0) return std::nullopt;
    --remaining_;
    if (dense_) return view_.data[front_position_++];
    T value = view_.data[front_position_];
    if (remaining_ != 0) advance_front();
    return value;
  }

  std::optional<T> next_back() {
    if (remaining_ == 0) return std::nullopt;
    --remaining_;
    if (dense_) return view_.data[--back_position_];
    T value = view_.data[back_position_];
    if (remaining_ != 0) advance_back();
    return value;
  }

 private:
  void advance_front() {
    const Layout<Rank>& layout = view_.layout;
    for (std::size_t axis = layout.rank(); axis-- > 0;) {
      front_position_ += static_cast<std::uint64_t>(layout.strides[axis]);
      if (++front_index_[axis] < layout.shape[axis]) return;
      front_index_[axis] = 0;
      front_position_ -= static_cast<std::uint64_t>(layout.strides[axis]) * layout.shape[axis];
    }
  }

  void advance_back() {
    const Layout<Rank>& layout = view_.layout;
    for (std::size_t axis = layout.rank(); axis-- > 0;) {
      if (back_index_[axis] > 0) {
        --back_index_[axis];
        back_position_ -= static_cast<std::uint64_t>(layout.strides[axis]);
        return;
      }
      back_index_[axis] = layout.shape[axis] - 1;
      back_position_ += static_cast<std::uint64_t>(layout.strides[axis]) * (layout.shape[axis] - 1);
    }
  }

  View<T, Rank> view_;
  bool dense_ = false;
  std::uint64_t remaining_ = 0;
  Extents<Rank> front_index_{};
  Extents<Rank> back_index_{};
  std::uint64_t front_position_ = 0;
  std::uint64_t back_position_ = 0;
};

template <class T, std::size_t Rank>
ElementIter<T, Rank> elements(const View<T, Rank>& view) {
  return ElementIter<T, Rank>(view);
}

}  // namespace kavo
