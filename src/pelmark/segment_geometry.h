#pragma once
// Sizes that fix where everything lives. A segment is 2 MiB and 2 MiB
// aligned, so any block address with its low 21 bits cleared is the start of
// its segment, whose first 64 KiB page holds the segment header. Pages are
// 64 KiB, so bits 16-20 of a block address are its page slot.

#include <cstddef>
#include <cstdint>

namespace pelmark {

inline constexpr std::size_t kSegmentSize = std::size_t{2} << 20;
inline constexpr std::size_t kPageSize = std::size_t{64} << 10;
inline constexpr std::uint32_t kPageShift = 16;
inline constexpr std::uint32_t kPagesPerSegment = 32;  // slot 0: header; 1..31: blocks
inline constexpr std::uint32_t kFirstBlockSlot = 1;
// An arena segment is cut from a 4 MiB mapping: the 2 MiB-aligned 2 MiB
// inside it is kept, the rest decommitted.
inline constexpr std::size_t kArenaMappingSize = std::size_t{4} << 20;
// NUMA nodes share pools by number modulo this count.
inline constexpr std::uint32_t kNodeSlots = 16;
// Pool links and remote-free heads pack an address into 48 bits.
inline constexpr std::uint64_t kAddressMask = (std::uint64_t{1} << 48) - 1;

inline constexpr std::uintptr_t kSegmentMask = kSegmentSize - 1;

}  // namespace pelmark
