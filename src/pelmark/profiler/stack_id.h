#pragma once
// A StackId names one interned stack: the interner shard in bits 26-31, the
// slot in that shard's entry table in bits 0-25.

#include <cstdint>

namespace pelmark::profiler {

using StackId = std::uint32_t;

inline constexpr unsigned kStackSlotBits = 26;
inline constexpr std::uint32_t kStackSlotLimit = std::uint32_t{1} << kStackSlotBits;
inline constexpr std::uint32_t kStackShardCount = 64;

constexpr StackId make_stack_id(std::uint32_t shard, std::uint32_t slot) noexcept {
  return (shard << kStackSlotBits) | slot;
}
constexpr std::uint32_t stack_id_shard(StackId id) noexcept { return id >> kStackSlotBits; }
constexpr std::uint32_t stack_id_slot(StackId id) noexcept { return id & (kStackSlotLimit - 1); }

}  // namespace pelmark::profiler
