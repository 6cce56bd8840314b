#include "drovek/scheduler/deque_storage.h"

#include <bit>

#include "pelmark/allocator.h"
#include "platform/invariant_failure.h"

namespace drovek {
namespace {
// A job slot array never shares a line pair with anything else.
constexpr std::size_t kSlotAlignment = 128;
}  // namespace

DequeStorage::DequeStorage(std::uint64_t capacity, std::uint64_t start_position)
    : capacity_(capacity), mask_(capacity - 1) {
  platform::ensure(std::has_single_bit(capacity), "assertion failed: capacity.is_power_of_two()");
  platform::ensure(capacity < kDequeCapacityLimit, "invariant: deque capacity has a valid allocation layout");
  slots_ = static_cast<Job*>(pelmark::allocate(capacity * sizeof(Job), kSlotAlignment));
  stamps_ = new std::atomic<std::uint64_t>[capacity];
  const std::uint64_t base = start_position & ~mask_;
  const std::uint64_t first_slot = start_position & mask_;
  for (std::uint64_t i = 0; i < capacity; ++i) {
    stamps_[i].store(base + i + (i < first_slot ? capacity : 0), std::memory_order_relaxed);
  }
}

DequeStorage::~DequeStorage() {
  pelmark::deallocate(slots_);
  delete[] stamps_;
}

}  // namespace drovek
