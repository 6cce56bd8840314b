#pragma once
// DequeStorage: the slot array of one WorkDeque generation, with a sequence
// stamp per slot. Position p lives in slot p & mask. Stamp value p means the
// slot is ready for position p (free to be written at p, or holding the
// element at p while p < bottom); the complement ~p means an operation on
// position p has the slot locked.
//
// Stamps are locked by sequentially consistent compare-and-swap (owner and
// thieves alike) and unlocked by release stores; whoever locks next
// acquires them and so sees the job bytes the previous holder wrote.
//
// The job slots come from the system allocator (pelmark), 128-byte aligned so
// that a job never straddles a line pair; the stamps from the general heap
// (queue_array.h). Either refused throws QueueMemoryRefused (nothing is kept).

#include <atomic>
#include <cstdint>

#include "drovek/scheduler/job.h"

namespace drovek {

// Capacities must stay below this so that the slot array's byte size (and the
// stamp arithmetic) cannot overflow.
inline constexpr std::uint64_t kDequeCapacityLimit = std::uint64_t{1} << 56;

class DequeStorage {
 public:
  // A storage of `capacity` slots (a power of two below 2^56) ready for
  // positions start_position ... start_position + capacity - 1: slot i gets
  // stamp base + i + (capacity if i < start_position mod capacity), with base
  // = start_position rounded down to a multiple of capacity.
  DequeStorage(std::uint64_t capacity, std::uint64_t start_position);
  ~DequeStorage();
  DequeStorage(const DequeStorage&) = delete;
  DequeStorage& operator=(const DequeStorage&) = delete;

  std::uint64_t capacity() const noexcept { return capacity_; }
  Job& slot(std::uint64_t position) noexcept { return slots_[position & mask_]; }
  std::atomic<std::uint64_t>& stamp(std::uint64_t position) noexcept { return stamps_[position & mask_]; }

 private:
  std::uint64_t capacity_;  // also the lap stride
  std::uint64_t mask_;
  Job* slots_;
  std::atomic<std::uint64_t>* stamps_;
};

}  // namespace drovek
