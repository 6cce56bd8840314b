#pragma once
// One distinct call stack, stored once in an immutable C-heap block that the
// interner's entry and its forward-map key share; the block goes when the
// last holder lets go.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <span>

namespace pelmark::profiler {

inline constexpr std::size_t kMaxStackFrames = 32;

class SharedStack {
 public:
  SharedStack() noexcept = default;
  // Copies `frames` (1..kMaxStackFrames addresses) into a new block.
  static SharedStack create(std::span<const std::uintptr_t> frames);

  SharedStack(const SharedStack& other) noexcept;
  SharedStack(SharedStack&& other) noexcept : block_(other.block_) { other.block_ = nullptr; }
  SharedStack& operator=(SharedStack other) noexcept {
    std::swap(block_, other.block_);
    return *this;
  }
  ~SharedStack();

  bool empty() const noexcept { return block_ == nullptr; }
  std::span<const std::uintptr_t> frames() const noexcept;

 private:
  struct Block;
  explicit SharedStack(Block* block) noexcept : block_(block) {}
  Block* block_ = nullptr;
};

}  // namespace pelmark::profiler
