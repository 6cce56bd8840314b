#pragma once
// Counters of the allocator's contact with the system, and the per-class
// allocation counters. All are plain event counts: nothing is published
// through them, so every update and read is relaxed.

#include <array>
#include <atomic>
#include <cstddef>
#include <cstdint>

#include "pelmark/size_classes.h"

namespace pelmark {

struct StatisticsSnapshot {
  std::uint64_t bytes_mapped = 0;
  std::uint64_t peak_bytes_mapped = 0;
  std::uint64_t map_calls = 0;
  std::uint64_t release_calls = 0;
  std::uint64_t decommit_calls = 0;
  std::uint64_t bytes_decommitted = 0;
};

class Statistics {
 public:
  void record_map(std::uint64_t bytes) noexcept;
  void record_unmap(std::uint64_t bytes) noexcept;
  void record_decommit(std::uint64_t bytes) noexcept;
  StatisticsSnapshot snapshot() const noexcept;

  // Per-class counters fed in batches by the thread heaps. A batch counts
  // only if it was started in the current epoch; begin_epoch zeroes the
  // counters and makes every batch still pending in a thread stale.
  void add_class_batch(std::uint32_t size_class, std::uint64_t allocations, std::uint64_t bytes,
                       std::uint64_t epoch) noexcept;
  std::uint64_t epoch() const noexcept { return epoch_.load(std::memory_order_relaxed); }
  void begin_epoch() noexcept;
  std::uint64_t class_allocations(std::uint32_t size_class) const noexcept;
  std::uint64_t class_bytes(std::uint32_t size_class) const noexcept;

 private:
  std::atomic<std::uint64_t> bytes_mapped_{0};
  std::atomic<std::uint64_t> peak_bytes_mapped_{0};
  std::atomic<std::uint64_t> map_calls_{0};
  std::atomic<std::uint64_t> release_calls_{0};
  std::atomic<std::uint64_t> decommit_calls_{0};
  std::atomic<std::uint64_t> bytes_decommitted_{0};
  std::atomic<std::uint64_t> epoch_{1};
  std::array<std::atomic<std::uint64_t>, kClassCount> class_allocations_{};
  std::array<std::atomic<std::uint64_t>, kClassCount> class_bytes_{};
};

}  // namespace pelmark
