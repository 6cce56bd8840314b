#include "pelmark/profiler/shared_stack.h"

#include <new>

#include "pelmark/profiler/process_heap_allocator.h"
#include "platform/process_heap.h"

namespace pelmark::profiler {

struct SharedStack::Block {
  std::atomic<std::uint32_t> holders;
  std::uint32_t frame_count;
  // The frames follow the header in the same block.
  std::uintptr_t* frames() noexcept { return reinterpret_cast<std::uintptr_t*>(this + 1); }
};

SharedStack SharedStack::create(std::span<const std::uintptr_t> frames) {
  static_assert(sizeof(Block) % alignof(std::uintptr_t) == 0);
  const std::size_t size = sizeof(Block) + frames.size() * sizeof(std::uintptr_t);
  auto* block = new (process_heap_block(size)) Block{{1}, static_cast<std::uint32_t>(frames.size())};
  for (std::size_t i = 0; i < frames.size(); ++i) block->frames()[i] = frames[i];
  return SharedStack(block);
}

SharedStack::SharedStack(const SharedStack& other) noexcept : block_(other.block_) {
  if (block_ != nullptr) block_->holders.fetch_add(1, std::memory_order_relaxed);
}

SharedStack::~SharedStack() {
  if (block_ != nullptr && block_->holders.fetch_sub(1, std::memory_order_acq_rel) == 1) {
    block_->~Block();
    platform::process_heap_release(block_);
  }
}

std::span<const std::uintptr_t> SharedStack::frames() const noexcept {
  if (block_ == nullptr) return {};
  return {block_->frames(), block_->frame_count};
}

}  // namespace pelmark::profiler
