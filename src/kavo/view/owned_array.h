#pragma once
// An owned array: a zero-initialised buffer with a row-major layout from
// offset 0 (every array the system creates has that form).

#include "kavo/layout/layout.h"
#include "kavo/storage/buffer.h"
#include "kavo/view/view.h"

namespace kavo {

template <class T, std::size_t Rank = dynamic_rank>
class OwnedArray {
 public:
  OwnedArray(Buffer<T> buffer, Layout<Rank> layout)
      : buffer_(std::move(buffer)), layout_(std::move(layout)) {}

  const Layout<Rank>& layout() const noexcept { return layout_; }
  T* data() noexcept { return buffer_.data(); }
  const T* data() const noexcept { return buffer_.data(); }
  std::uint64_t storage_len() const noexcept { return buffer_.size(); }

  View<T, Rank> view() const noexcept { return {buffer_.data(), buffer_.size(), layout_}; }
  MutView<T, Rank> mut_view() noexcept { return {buffer_.data(), buffer_.size(), layout_, false}; }

  Buffer<T>& buffer() noexcept { return buffer_; }
  Buffer<T> take_buffer() && noexcept { return std::move(buffer_); }

 private:
  Buffer<T> buffer_;
  Layout<Rank> layout_;
};

}  // namespace kavo
