#pragma once
// The stack interner: every distinct call stack the profiler records is kept
// once, under a 32-bit StackId with a reference count (one per live record
// naming it). A stack whose last reference goes is removed and its slot
// reused.
//
// 64 shards, chosen by the stack's hash, each on its own 128-byte line so
// that threads interning different stacks do not contend. A shard's tables
// are created on its first use and live on the C heap.

#include <algorithm>
#include <array>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <span>
#include <unordered_map>
#include <vector>

#include "pelmark/profiler/process_heap_allocator.h"
#include "pelmark/profiler/profiler_hashes.h"
#include "pelmark/profiler/shared_stack.h"
#include "pelmark/profiler/stack_id.h"

namespace pelmark::profiler {

struct InternedStack {
  std::vector<std::uintptr_t> frames;
  std::uint64_t reference_count = 0;
};

class StackInterner {
 public:
  constexpr StackInterner() noexcept = default;
  StackInterner(const StackInterner&) = delete;
  StackInterner& operator=(const StackInterner&) = delete;
  ~StackInterner();

  // The id of `frames` (1..kMaxStackFrames addresses) with one more
  // reference, interning them when new.
  StackId intern(std::span<const std::uintptr_t> frames);

  // Drops one reference of `id`; the last one removes the stack. An id that
  // names no stack is ignored.
  void release(StackId id);

  // Read-outs (each takes one shard lock at a time).
  std::optional<InternedStack> find(StackId id) const;
  std::vector<std::uint32_t> free_slots(std::uint32_t shard) const;
  std::size_t stack_count() const;

 private:
  struct Entry {
    SharedStack stack;  // empty while the slot is free
    std::uint64_t frame_count = 0;
    std::uint64_t reference_count = 0;
  };
  // The forward map is keyed by the shared block but looked up by plain
  // frame spans, so a lookup builds nothing.
  struct KeyHash {
    using is_transparent = void;
    std::size_t operator()(std::span<const std::uintptr_t> frames) const noexcept { return stack_hash(frames); }
    std::size_t operator()(const SharedStack& key) const noexcept { return stack_hash(key.frames()); }
  };
  struct KeyEqual {
    using is_transparent = void;
    static std::span<const std::uintptr_t> view(std::span<const std::uintptr_t> frames) noexcept { return frames; }
    static std::span<const std::uintptr_t> view(const SharedStack& key) noexcept { return key.frames(); }
    template <typename A, typename B>
    bool operator()(const A& a, const B& b) const noexcept {
      const auto x = view(a);
      const auto y = view(b);
      return x.size() == y.size() && std::equal(x.begin(), x.end(), y.begin());
    }
  };
  using ForwardMap = std::unordered_map<SharedStack, StackId, KeyHash, KeyEqual,
                                        ProcessHeapAllocator<std::pair<const SharedStack, StackId>>>;
  struct Tables {
    std::vector<Entry, ProcessHeapAllocator<Entry>> entries;
    std::vector<std::uint32_t, ProcessHeapAllocator<std::uint32_t>> free_slots;  // LIFO
    ForwardMap forward;
  };
  struct alignas(128) Shard {
    mutable std::mutex mutex;
    Tables* tables = nullptr;
  };

  static Tables& tables_of(Shard& shard);
  static std::optional<StackId> add_reference_if_interned(Tables& tables, std::span<const std::uintptr_t> frames);

  std::array<Shard, kStackShardCount> shards_{};
};

}  // namespace pelmark::profiler
