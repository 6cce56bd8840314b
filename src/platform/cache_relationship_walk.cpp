#include "platform/cache_relationship_walk.h"

#include <cstdint>

namespace platform {
namespace {

constexpr std::uint32_t kRelationCache = 2;
constexpr std::size_t kHeaderBytes = 8;
constexpr std::size_t kGroupsOffset = 40;
constexpr std::size_t kGroupAffinityBytes = 16;
constexpr std::size_t kMaxGroupCount = 64;

template <typename Unsigned>
Unsigned read_little_endian(std::span<const std::byte> bytes, std::size_t offset) {
  Unsigned value = 0;
  for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
    value |= static_cast<Unsigned>(static_cast<Unsigned>(bytes[offset + i]) << (8 * i));
  }
  return value;
}

// `record` is one whole record of at least 56 bytes with Relationship 2.
std::optional<CacheRecord> read_cache_record(std::span<const std::byte> record) {
  const std::size_t group_count = read_little_endian<std::uint16_t>(record, 38);
  if (group_count == 0 || group_count > kMaxGroupCount) return std::nullopt;
  if (kGroupsOffset + kGroupAffinityBytes * group_count > record.size()) return std::nullopt;

  CacheRecord cache;
  cache.level = read_little_endian<std::uint8_t>(record, 8);
  cache.line_size = read_little_endian<std::uint16_t>(record, 10);
  cache.size_bytes = read_little_endian<std::uint32_t>(record, 12);
  cache.type = static_cast<CacheType>(read_little_endian<std::uint32_t>(record, 16));
  cache.groups.reserve(group_count);
  for (std::size_t i = 0; i < group_count; ++i) {
    const std::size_t entry = kGroupsOffset + kGroupAffinityBytes * i;
    cache.groups.push_back({read_little_endian<std::uint64_t>(record, entry),
                            read_little_endian<std::uint16_t>(record, entry + 8)});
  }
  return cache;
}

}  // namespace

std::optional<std::vector<CacheRecord>> walk_cache_relationships(
    std::span<const std::byte> buffer) {
  if (buffer.size() > kMaxProcessorInformationBytes) return std::nullopt;
  std::vector<CacheRecord> records;
  std::size_t offset = 0;
  while (offset < buffer.size()) {
    const std::size_t remaining = buffer.size() - offset;
    if (remaining < kHeaderBytes) return std::nullopt;
    const std::uint32_t relationship = read_little_endian<std::uint32_t>(buffer, offset);
    const std::size_t size = read_little_endian<std::uint32_t>(buffer, offset + 4);
    if (size < kHeaderBytes || size > kMaxProcessorInformationBytes || size > remaining) return std::nullopt;
    if (relationship == kRelationCache && size >= kGroupsOffset + kGroupAffinityBytes) {
      if (auto cache = read_cache_record(buffer.subspan(offset, size))) records.push_back(std::move(*cache));
    }
    offset += size;
  }
  return records;
}

}  // namespace platform
