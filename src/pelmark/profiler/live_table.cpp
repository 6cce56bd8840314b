#include "pelmark/profiler/live_table.h"

namespace pelmark::profiler {

LiveTable::~LiveTable() {
  for (Shard& shard : shards_) destroy_on_process_heap(shard.records);
}

std::optional<StackId> LiveTable::enter(std::uintptr_t address, LiveRecord record) {
  Shard& shard = shards_[shard_of(address)];
  std::lock_guard lock(shard.mutex);
  if (shard.records == nullptr) shard.records = create_on_process_heap<Records>();
  const auto [position, inserted] = shard.records->try_emplace(address, record);
  if (inserted) {
    shard.has_records.store(1, std::memory_order_relaxed);
    return std::nullopt;
  }
  const StackId replaced = position->second.stack;
  position->second = record;
  return replaced;
}

std::optional<LiveRecord> LiveTable::remove(std::uintptr_t address) {
  Shard& shard = shards_[shard_of(address)];
  std::lock_guard lock(shard.mutex);
  if (shard.records == nullptr) return std::nullopt;
  const auto position = shard.records->find(address);
  if (position == shard.records->end()) return std::nullopt;
  const LiveRecord record = position->second;
  shard.records->erase(position);
  if (shard.records->empty()) shard.has_records.store(0, std::memory_order_relaxed);
  return record;
}

std::size_t LiveTable::record_count() const {
  std::size_t count = 0;
  for (const Shard& shard : shards_) {
    std::lock_guard lock(shard.mutex);
    if (shard.records != nullptr) count += shard.records->size();
  }
  return count;
}

}  // namespace pelmark::profiler
