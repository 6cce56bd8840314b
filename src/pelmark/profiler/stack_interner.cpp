#include "pelmark/profiler/stack_interner.h"

#include <algorithm>
#include <limits>
#include <string>
#include <utility>

#include "platform/invariant_failure.h"

namespace pelmark::profiler {

StackInterner::~StackInterner() {
  for (Shard& shard : shards_) destroy_on_process_heap(shard.tables);
}

StackInterner::Tables& StackInterner::tables_of(Shard& shard) {
  if (shard.tables == nullptr) shard.tables = create_on_process_heap<Tables>();
  return *shard.tables;
}

std::optional<StackId> StackInterner::add_reference_if_interned(Tables& tables,
                                                                std::span<const std::uintptr_t> frames) {
  const auto found = tables.forward.find(frames);
  if (found == tables.forward.end()) return std::nullopt;
  const StackId id = found->second;
  const std::uint32_t slot = stack_id_slot(id);
  platform::ensure(slot < tables.entries.size() && !tables.entries[slot].stack.empty(),
                   "invariant: stack interner forward map points at a live entry");
  Entry& entry = tables.entries[slot];
  platform::ensure(entry.reference_count != std::numeric_limits<std::uint64_t>::max(),
                   "invariant: stack interner reference count overflow");
  ++entry.reference_count;
  return id;
}

StackId StackInterner::intern(std::span<const std::uintptr_t> frames) {
  const auto shard_index = static_cast<std::uint32_t>(stack_hash(frames) % kStackShardCount);
  Shard& shard = shards_[shard_index];
  {
    std::lock_guard lock(shard.mutex);
    if (auto id = add_reference_if_interned(tables_of(shard), frames)) return *id;
  }
  // The block is built with no lock held; another thread may intern the same
  // stack meanwhile, so the lookup is repeated. A losing block is dropped
  // after the unlock (declared before the lock).
  SharedStack block = SharedStack::create(frames);
  std::lock_guard lock(shard.mutex);
  Tables& tables = tables_of(shard);
  if (auto id = add_reference_if_interned(tables, frames)) return *id;
  std::uint32_t slot;
  Entry entry{block, frames.size(), 1};
  if (!tables.free_slots.empty()) {
    slot = tables.free_slots.back();
    tables.free_slots.pop_back();
    tables.entries[slot] = std::move(entry);
  } else {
    platform::ensure(tables.entries.size() < kStackSlotLimit,
                     "invariant: stack interner shard id count exceeds its bit budget");
    slot = static_cast<std::uint32_t>(tables.entries.size());
    tables.entries.push_back(std::move(entry));
  }
  const StackId id = make_stack_id(shard_index, slot);
  tables.forward.emplace(std::move(block), id);
  return id;
}

void StackInterner::release(StackId id) {
  const std::uint32_t slot = stack_id_slot(id);
  Shard& shard = shards_[stack_id_shard(id)];
  // Both references to the block are let go after the unlock.
  SharedStack taken_entry;
  ForwardMap::node_type taken_key;
  {
    std::lock_guard lock(shard.mutex);
    Tables* tables = shard.tables;
    if (tables == nullptr || slot >= tables->entries.size() || tables->entries[slot].stack.empty()) return;
    Entry& entry = tables->entries[slot];
    if (entry.reference_count >= 2) {
      --entry.reference_count;
      return;
    }
    taken_entry = std::move(entry.stack);
    entry = Entry{};
    const auto key = tables->forward.find(taken_entry.frames());
    platform::ensure(key != tables->forward.end(), "invariant: live stack entry must have a forward-map key");
    if (key->second != id) {
      platform::fail_invariant("invariant: stack interner forward map points at a different id (forward map " +
                               std::to_string(key->second) + ", released " + std::to_string(id) + ")");
    }
    taken_key = tables->forward.extract(key);
    tables->free_slots.push_back(slot);
  }
}

std::optional<InternedStack> StackInterner::find(StackId id) const {
  const std::uint32_t slot = stack_id_slot(id);
  const Shard& shard = shards_[stack_id_shard(id)];
  std::lock_guard lock(shard.mutex);
  const Tables* tables = shard.tables;
  if (tables == nullptr || slot >= tables->entries.size() || tables->entries[slot].stack.empty()) return std::nullopt;
  const Entry& entry = tables->entries[slot];
  const auto frames = entry.stack.frames();
  return InternedStack{{frames.begin(), frames.end()}, entry.reference_count};
}

std::vector<std::uint32_t> StackInterner::free_slots(std::uint32_t shard_index) const {
  const Shard& shard = shards_[shard_index];
  std::lock_guard lock(shard.mutex);
  if (shard.tables == nullptr) return {};
  return {shard.tables->free_slots.begin(), shard.tables->free_slots.end()};
}

std::size_t StackInterner::stack_count() const {
  std::size_t count = 0;
  for (const Shard& shard : shards_) {
    std::lock_guard lock(shard.mutex);
    if (shard.tables != nullptr) count += shard.tables->forward.size();
  }
  return count;
}

}  // namespace pelmark::profiler
