#pragma once
// A 64-byte-aligned, uninitialised scratch buffer of float32 or float64
// elements from the segment allocator, sized in 64-byte multiples (so a
// vector loop may run to the end of the last cache line). One owner; moving
// transfers the memory, destruction releases it.
//
// Requests of up to 16 KiB come from the calling thread's page heap without
// locks; larger ones are huge mappings. A count whose byte size cannot be
// represented is an internal invariant failure ("Capacity overflow"); a
// refused allocation throws std::bad_alloc.

#include <cstddef>
#include <cstdint>
#include <span>
#include <type_traits>

namespace fyrel {

inline constexpr std::size_t kBufferAlignment = 64;

template <typename T>
class AlignedBuffer {
  static_assert(std::is_same_v<T, float> || std::is_same_v<T, double>);

 public:
  AlignedBuffer() noexcept = default;
  AlignedBuffer(AlignedBuffer&& other) noexcept;
  AlignedBuffer& operator=(AlignedBuffer&& other) noexcept;
  AlignedBuffer(const AlignedBuffer&) = delete;
  AlignedBuffer& operator=(const AlignedBuffer&) = delete;
  ~AlignedBuffer() { release(); }

  // A buffer of `count` elements; 0 elements hold no memory.
  static AlignedBuffer with_len(std::size_t count);
  // Returns the memory to the allocator; the buffer is then empty.
  void release();

  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return count_; }
  std::span<T> span() noexcept { return {data_, count_}; }
  std::span<const T> span() const noexcept { return {data_, count_}; }

 private:
  // Ownership flag: 0 means the memory came from the allocator (the only kind
  // this system makes).
  std::uint8_t ownership_ = 0;
  // An empty buffer points at the alignment itself: a well-aligned address
  // that is never dereferenced.
  T* data_ = reinterpret_cast<T*>(kBufferAlignment);
  std::size_t count_ = 0;
  std::size_t alignment_ = kBufferAlignment;
};

// Bytes requested from the allocator for `count` elements of `element_size`
// bytes: max(bytes, 64) rounded up to a multiple of 64. Raises the invariant
// failures described above.
std::size_t aligned_request_bytes(std::size_t count, std::size_t element_size);

extern template class AlignedBuffer<float>;
extern template class AlignedBuffer<double>;

}  // namespace fyrel
