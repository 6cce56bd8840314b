#include "fyrel/aligned_buffer.h"

#include <cstdint>
#include <new>
#include <utility>

#include "pelmark/allocator.h"
#include "platform/invariant_failure.h"

namespace fyrel {

namespace {

constexpr std::size_t kLargestSize = INT64_MAX;  // sizes stay representable as signed 64-bit

}  // namespace

std::size_t aligned_request_bytes(std::size_t count, std::size_t element_size) {
  if (count > kLargestSize / element_size) platform::fail_invariant("Capacity overflow");
  const std::size_t bytes = count * element_size;
  // Rounding up to the alignment must stay representable.
  if (bytes > kLargestSize - (kBufferAlignment - 8)) {
    platform::fail_invariant("align is power-of-2, size validated by checked_mul: LayoutError");
  }
  const std::size_t at_least_one_line = bytes < kBufferAlignment ? kBufferAlignment : bytes;
  return (at_least_one_line + kBufferAlignment - 1) & ~(kBufferAlignment - 1);
}

template <typename T>
AlignedBuffer<T>::AlignedBuffer(AlignedBuffer&& other) noexcept
    : ownership_(other.ownership_),
      data_(std::exchange(other.data_, reinterpret_cast<T*>(kBufferAlignment))),
      count_(std::exchange(other.count_, 0)),
      alignment_(other.alignment_) {}

template <typename T>
AlignedBuffer<T>& AlignedBuffer<T>::operator=(AlignedBuffer&& other) noexcept {
  if (this != &other) {
    release();
    ownership_ = other.ownership_;
    data_ = std::exchange(other.data_, reinterpret_cast<T*>(kBufferAlignment));
    count_ = std::exchange(other.count_, 0);
    alignment_ = other.alignment_;
  }
  return *this;
}

template <typename T>
AlignedBuffer<T> AlignedBuffer<T>::with_len(std::size_t count) {
  AlignedBuffer buffer;
  if (count == 0) return buffer;
  const std::size_t bytes = aligned_request_bytes(count, sizeof(T));
  // Sized by the caller's input: a refusal is the caller's MemoryError.
  void* block = pelmark::try_allocate(bytes, kBufferAlignment);
  if (block == nullptr) throw std::bad_alloc();
  buffer.data_ = static_cast<T*>(block);
  buffer.count_ = count;
  return buffer;
}

template <typename T>
void AlignedBuffer<T>::release() {
  if (count_ == 0) return;
  aligned_request_bytes(count_, sizeof(T));  // the recorded count must still be valid
  pelmark::deallocate(data_);
  data_ = reinterpret_cast<T*>(kBufferAlignment);
  count_ = 0;
}

template class AlignedBuffer<float>;
template class AlignedBuffer<double>;

}  // namespace fyrel
