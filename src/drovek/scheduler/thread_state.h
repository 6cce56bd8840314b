#pragma once
// ThreadState: what the scheduler keeps per thread (worker threads and any
// thread that submits or makes parallel calls). Only the owning thread reads
// or writes it.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace drovek {

struct SchedulerCore;

struct ThreadState {
  // Set by worker threads at start: the scheduler they serve and their index.
  const SchedulerCore* worker_of = nullptr;
  std::size_t worker_index = 0;
  // The indexed region of parallel calls (nesting detection).
  bool region_active = false;
  std::uint64_t region_depth = 0;
  // Submission round-robin counter.
  std::uint64_t round_robin = 0;
  // Victim-choice xorshift state; 0 until first use.
  std::uint64_t victim_random = 0;
  // When this thread last ran the allocator's thread-local collection.
  bool collected_before = false;
  std::chrono::steady_clock::time_point last_collection{};

  bool is_worker() const noexcept { return worker_of != nullptr; }
  bool is_worker_of(const SchedulerCore& core) const noexcept { return worker_of == &core; }
};

ThreadState& this_thread_state() noexcept;

// Next value of the thread's xorshift generator (x ^= x << 13; x ^= x >> 7;
// x ^= x << 17), seeded from the address of a thread-local byte, never 0.
std::uint64_t next_victim_random() noexcept;

}  // namespace drovek
