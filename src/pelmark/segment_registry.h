#pragma once
// What this allocator knows about every 2 MiB-aligned address: an arena
// segment it mapped, a huge mapping whose payload is handed out, or nothing.
// A free whose header might be gone (a huge block freed twice, its mapping
// already unmapped) asks here before touching the header, and releasing a
// huge block claims its entry atomically so that a second release traps.
//
// Process-wide, because a stale pointer names no arena that could be asked.
// Two bits per segment over the 48-bit address space: 32 MiB of zero-filled
// static storage, of which only the pages covering used addresses are ever
// touched.

#include <cstdint>

#include "pelmark/segment_header.h"

namespace pelmark {

enum class SegmentKind : std::uint8_t {
  kUnknown = 0,  // not mapped by this allocator, or a cached huge mapping
  kArenaSegment = 1,
  kLiveHuge = 2,  // huge mapping whose payload is handed out
};

SegmentKind registered_kind(const void* segment_start) noexcept;

// Records `kind` for a segment that has no entry; traps when it has one.
void register_segment(const SegmentHeader* segment, SegmentKind kind) noexcept;

// Clears the entry when it holds `kind`, atomically; false (and no change)
// when it holds anything else. Of two racing releases only one succeeds.
bool unregister_segment(const SegmentHeader* segment, SegmentKind kind) noexcept;

}  // namespace pelmark
