#pragma once
// A private arena per test, over the system's mappings with a switch that
// refuses maps or unmaps on demand, so that tests neither see nor disturb
// the process-wide allocator.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>

#include "pelmark/arena.h"
#include "pelmark/memory_service.h"
#include "pelmark/segment_geometry.h"
#include "pelmark/settings.h"
#include "pelmark/statistics.h"

namespace pelmark_test {

class RefusingMemory final : public pelmark::MemoryService {
 public:
  void* map(std::size_t bytes) noexcept override {
    if (refuse_maps.load() > 0) {
      refuse_maps.fetch_sub(1);
      return nullptr;
    }
    return pelmark::system_memory().map(bytes);
  }
  bool unmap(void* base, std::size_t bytes) noexcept override {
    if (refuse_unmaps.load()) return false;
    return pelmark::system_memory().unmap(base, bytes);
  }
  bool decommit(void* address, std::size_t bytes) noexcept override {
    return pelmark::system_memory().decommit(address, bytes);
  }

  std::atomic<int> refuse_maps{0};      // the next this many maps fail
  std::atomic<bool> refuse_unmaps{false};
};

struct PrivateArena {
  explicit PrivateArena(std::uint32_t max_retained_segments = pelmark::kMaxRetainedSegmentsLimit)
      : settings(pelmark::Settings{.max_retained_segments = max_retained_segments}),
        arena(std::make_unique<pelmark::Arena>(memory, statistics, settings)) {}

  pelmark::StatisticsSnapshot stats() const { return statistics.snapshot(); }

  RefusingMemory memory;
  pelmark::Statistics statistics;
  pelmark::SettingsRecord settings;
  std::unique_ptr<pelmark::Arena> arena;
};

inline constexpr std::uint64_t kArenaMapping = pelmark::kArenaMappingSize;

}  // namespace pelmark_test
