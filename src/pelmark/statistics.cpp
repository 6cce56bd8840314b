#include "pelmark/statistics.h"

namespace pelmark {

void Statistics::record_map(std::uint64_t bytes) noexcept {
  map_calls_.fetch_add(1, std::memory_order_relaxed);
  const std::uint64_t now = bytes_mapped_.fetch_add(bytes, std::memory_order_relaxed) + bytes;
  std::uint64_t peak = peak_bytes_mapped_.load(std::memory_order_relaxed);
  while (peak < now && !peak_bytes_mapped_.compare_exchange_weak(peak, now, std::memory_order_relaxed)) {
  }
}

void Statistics::record_unmap(std::uint64_t bytes) noexcept {
  release_calls_.fetch_add(1, std::memory_order_relaxed);
  bytes_mapped_.fetch_sub(bytes, std::memory_order_relaxed);
}

void Statistics::record_decommit(std::uint64_t bytes) noexcept {
  decommit_calls_.fetch_add(1, std::memory_order_relaxed);
  bytes_decommitted_.fetch_add(bytes, std::memory_order_relaxed);
}

StatisticsSnapshot Statistics::snapshot() const noexcept {
  StatisticsSnapshot s;
  s.bytes_mapped = bytes_mapped_.load(std::memory_order_relaxed);
  s.peak_bytes_mapped = peak_bytes_mapped_.load(std::memory_order_relaxed);
  s.map_calls = map_calls_.load(std::memory_order_relaxed);
  s.release_calls = release_calls_.load(std::memory_order_relaxed);
  s.decommit_calls = decommit_calls_.load(std::memory_order_relaxed);
  s.bytes_decommitted = bytes_decommitted_.load(std::memory_order_relaxed);
  return s;
}

void Statistics::add_class_batch(std::uint32_t size_class, std::uint64_t allocations, std::uint64_t bytes,
                                 std::uint64_t epoch) noexcept {
  if (epoch != epoch_.load(std::memory_order_relaxed)) return;
  class_allocations_[size_class].fetch_add(allocations, std::memory_order_relaxed);
  class_bytes_[size_class].fetch_add(bytes, std::memory_order_relaxed);
}

void Statistics::begin_epoch() noexcept {
  epoch_.fetch_add(1, std::memory_order_relaxed);
  for (std::uint32_t c = 0; c < kClassCount; ++c) {
    class_allocations_[c].store(0, std::memory_order_relaxed);
    class_bytes_[c].store(0, std::memory_order_relaxed);
  }
}

std::uint64_t Statistics::class_allocations(std::uint32_t size_class) const noexcept {
  return class_allocations_[size_class].load(std::memory_order_relaxed);
}

std::uint64_t Statistics::class_bytes(std::uint32_t size_class) const noexcept {
  return class_bytes_[size_class].load(std::memory_order_relaxed);
}

}  // namespace pelmark
