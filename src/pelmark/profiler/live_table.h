#pragma once
// The live table: for every recorded block still allocated, its address, the
// size that was asked for and the StackId of the allocating call stack.
//
// 64 shards, one 64-byte line each, chosen by bits 6-11 of the address. A
// shard's has-records flag is read without its lock by the free path, so
// frees of blocks in shards that never held a record cost one load.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <unordered_map>

#include "pelmark/profiler/process_heap_allocator.h"
#include "pelmark/profiler/profiler_hashes.h"
#include "pelmark/profiler/stack_id.h"

namespace pelmark::profiler {

struct LiveRecord {
  std::uint64_t requested_size = 0;
  StackId stack = 0;
  // Meant to live until the process ends: not a leak.
  bool process_lifetime = false;
};

class LiveTable {
 public:
  static constexpr std::uint32_t kShardCount = 64;

  constexpr LiveTable() noexcept = default;
  LiveTable(const LiveTable&) = delete;
  LiveTable& operator=(const LiveTable&) = delete;
  ~LiveTable();

  static constexpr std::uint32_t shard_of(std::uintptr_t address) noexcept {
    return static_cast<std::uint32_t>(address >> 6) & (kShardCount - 1);
  }

  bool shard_has_records(std::uint32_t shard) const noexcept {
    return shards_[shard].has_records.load(std::memory_order_relaxed) != 0;
  }

  // Enters `record` for `address`; when the address already had a record it
  // is replaced and its StackId returned (the caller releases it).
  std::optional<StackId> enter(std::uintptr_t address, LiveRecord record);

  // Removes and returns the record of `address`, if it has one.
  std::optional<LiveRecord> remove(std::uintptr_t address);

  // Calls visit(address, record) for every record of `shard`, holding the
  // shard's lock throughout.
  template <typename Visit>
  void visit_shard(std::uint32_t shard, Visit&& visit) const {
    const Shard& s = shards_[shard];
    std::lock_guard lock(s.mutex);
    if (s.records == nullptr) return;
    for (const auto& [address, record] : *s.records) visit(address, record);
  }

  std::size_t record_count() const;

 private:
  struct AddressHash {
    std::size_t operator()(std::uintptr_t address) const noexcept { return address_hash(address); }
  };
  using Records = std::unordered_map<std::uintptr_t, LiveRecord, AddressHash, std::equal_to<>,
                                     ProcessHeapAllocator<std::pair<const std::uintptr_t, LiveRecord>>>;
  struct alignas(64) Shard {
    mutable std::mutex mutex;
    Records* records = nullptr;  // created on the shard's first record
    std::atomic<std::uint8_t> has_records{0};
  };
  static_assert(sizeof(Shard) == 64, "a live-table shard is one cache line");

  std::array<Shard, kShardCount> shards_{};
};

}  // namespace pelmark::profiler
