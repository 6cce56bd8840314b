#pragma once
// Reads the cache records out of a Windows processor information buffer
// (GetLogicalProcessorInformationEx with RelationCache): a sequence of
// variable-length SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX records, each
//
//   byte  0  Relationship  u32   (2 = RelationCache)
//   byte  4  Size          u32   (bytes of this record, header included)
//   byte  8  Level         u8
//   byte 10  LineSize      u16
//   byte 12  CacheSize     u32
//   byte 16  Type          u32   (PROCESSOR_CACHE_TYPE)
//   byte 38  GroupCount    u16
//   byte 40  GroupCount x GROUP_AFFINITY { Mask u64, Group u16, 6 reserved }
//
// all little-endian. A buffer whose record chain is broken anywhere (a
// header cut short, a Size below 8, above 1 MiB or past the end) is refused
// whole: its records cannot be told apart from the bytes around them, so
// none of them is trusted. Within a sound chain, records of other
// relationships, cache records shorter than one group entry (56 bytes), and
// cache records whose GroupCount is 0, above 64 or does not fit in Size are
// passed over. Which of the remaining records describe usable caches is
// decided by vendral's cache_descriptors(). The walk is portable code, so
// it is tested on every system; the Windows topology source feeds it the
// buffer the system wrote.

#include <cstddef>
#include <optional>
#include <span>
#include <vector>

#include "platform/topology_source.h"

namespace platform {

// The largest buffer and the largest single record accepted; a system that
// needs more than this to describe its caches is not believed.
inline constexpr std::size_t kMaxProcessorInformationBytes = 1 << 20;

// Absent when the buffer is refused.
std::optional<std::vector<CacheRecord>> walk_cache_relationships(
    std::span<const std::byte> buffer);

}  // namespace platform
