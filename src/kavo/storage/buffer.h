#pragma once
// Buffer<T>: one owner of a heap block of T, zero-filled unless made with
// uninitialized(). Zero-filling through calloc lets large results start as
// untouched zero pages; blocks from 4 MiB on are advised onto huge pages so
// that filling them does not fault every 4 KiB. The block can be released to
// another owner (the Python keeper) together with the routine
// that frees it. Its size comes from the caller's input, so a refused
// allocation throws std::bad_alloc (MemoryError in Python) instead of ending
// the process.

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <span>
#include <utility>

#include "platform/huge_page_advice.h"

namespace kavo {

// From this size on a result is worth huge pages (the size NumPy also uses).
inline constexpr std::size_t kHugePageAdviceBytes = std::size_t{4} << 20;

template <class T>
class Buffer {
 public:
  using FreeRoutine = void (*)(void*);

  Buffer() = default;
  explicit Buffer(std::size_t count) : count_(count) {
    if (count == 0) return;
    data_ = static_cast<T*>(std::calloc(count, sizeof(T)));  // calloc checks count * size
    if (!data_) {
      count_ = 0;
      throw std::bad_alloc();
    }
    if (count * sizeof(T) >= kHugePageAdviceBytes) platform::advise_huge_pages(data_, count * sizeof(T));
  }
  // A block whose contents the caller overwrites before reading any of it:
  // no zero-filling, so a recycled heap block is not cleared only to be
  // written again.
  static Buffer uninitialized(std::size_t count) {
    Buffer buffer;
    if (count == 0) return buffer;
    if (count > SIZE_MAX / sizeof(T)) throw std::bad_alloc();
    buffer.data_ = static_cast<T*>(std::malloc(count * sizeof(T)));
    if (!buffer.data_) throw std::bad_alloc();
    buffer.count_ = count;
    if (count * sizeof(T) >= kHugePageAdviceBytes) platform::advise_huge_pages(buffer.data_, count * sizeof(T));
    return buffer;
  }
  Buffer(const Buffer&) = delete;
  Buffer& operator=(const Buffer&) = delete;
  Buffer(Buffer&& other) noexcept
      : data_(std::exchange(other.data_, nullptr)), count_(std::exchange(other.count_, 0)) {}
  Buffer& operator=(Buffer&& other) noexcept {
    if (this != &other) {
      std::free(data_);
      data_ = std::exchange(other.data_, nullptr);
      count_ = std::exchange(other.count_, 0);
    }
    return *this;
  }
  ~Buffer() { std::free(data_); }

  T* data() noexcept { return data_; }
  const T* data() const noexcept { return data_; }
  std::size_t size() const noexcept { return count_; }
  std::span<T> span() noexcept { return {data_, count_}; }
  std::span<const T> span() const noexcept { return {data_, count_}; }
  T& operator[](std::size_t i) noexcept { return data_[i]; }
  const T& operator[](std::size_t i) const noexcept { return data_[i]; }

  // Hands the block to a new owner, who frees it with `free_routine()`.
  T* release() noexcept {
    count_ = 0;
    return std::exchange(data_, nullptr);
  }
  static constexpr FreeRoutine free_routine() noexcept { return &std::free; }

 private:
  T* data_ = nullptr;
  std::size_t count_ = 0;
};

}  // namespace kavo
