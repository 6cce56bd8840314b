#include "drovek/scheduler/deque_storage.h"

#include <bit>
#include <new>
#include <type_traits>

#include "drovek/scheduler/queue_array.h"
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
  using Stamp = std::atomic<std::uint64_t>;
  stamps_ = static_cast<Stamp*>(allocate_queue_array(capacity, sizeof(Stamp), alignof(Stamp)));
  // Below 2^56 slots of 128 bytes: the size cannot overflow.
  slots_ = static_cast<Job*>(pelmark::try_allocate(capacity * sizeof(Job), kSlotAlignment));
  if (slots_ == nullptr) {
    free_queue_array(stamps_, alignof(Stamp));
    throw QueueMemoryRefused(capacity * sizeof(Job), kSlotAlignment);
  }
  const std::uint64_t base = start_position & ~mask_;
  const std::uint64_t first_slot = start_position & mask_;
  for (std::uint64_t i = 0; i < capacity; ++i) new (&stamps_[i]) Stamp(base + i + (i < first_slot ? capacity : 0));
}

DequeStorage::~DequeStorage() {
  pelmark::deallocate(slots_);
  static_assert(std::is_trivially_destructible_v<std::atomic<std::uint64_t>>);
  free_queue_array(stamps_, alignof(std::atomic<std::uint64_t>));
}

}  // namespace drovek
