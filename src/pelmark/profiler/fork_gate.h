#pragma once
// ForkGate: keeps the profiler's process-wide tables and fork() apart. Every
// use of the tables passes the gate (shared); the forking thread closes it
// across fork(), so no other thread is inside the tables (holding a shard
// lock or walking a stack) at that moment, and the child finds no lock taken
// by a thread it lacks.
//
// The gate prefers the forking thread: once it has asked to close, threads
// arriving at the gate wait behind it instead of joining those still inside,
// so a fork waits only for the uses already under way (each a stack capture
// and a few hash-table operations), however many threads keep allocating.
// A reader-preferring lock would let a steady stream of overlapping
// allocations hold a fork off indefinitely.
//
// Not reentrant: a thread inside must not pass the gate again (the
// profiler's in-profiler flag sees to that).

#include <atomic>
#include <cstdint>

namespace pelmark::profiler {

class ForkGate {
 public:
  constexpr ForkGate() noexcept = default;
  ForkGate(const ForkGate&) = delete;
  ForkGate& operator=(const ForkGate&) = delete;

  // Shared side: waits while the gate is closed or closing.
  void enter() noexcept;
  void leave() noexcept;

  // The forking thread: closes the gate to newcomers, then waits until the
  // threads inside have left. One closer at a time; a second waits its turn.
  void close() noexcept;
  // After fork() in the parent: reopens and wakes the waiting threads.
  void open() noexcept;
  // After fork() in the child: only the forking thread exists there, so
  // nobody is inside or waiting; the gate starts over open.
  void reset_in_child() noexcept;

  // The shared side as a scope.
  class Passage {
   public:
    explicit Passage(ForkGate& gate) noexcept : gate_(gate) { gate_.enter(); }
    ~Passage() { gate_.leave(); }
    Passage(const Passage&) = delete;
    Passage& operator=(const Passage&) = delete;

   private:
    ForkGate& gate_;
  };

 private:
  // Bit 31: closing or closed (set by the closer). Bits 0-30: threads inside.
  // Entering is a compare-and-swap that fails once bit 31 is set, so the
  // count can only fall while a closer waits. Acquire on entry and release on
  // leaving order each use of the tables after the previous close and before
  // the next; the closer's acquire loads see every use before fork().
  static constexpr std::uint32_t kClosing = std::uint32_t{1} << 31;
  std::atomic<std::uint32_t> state_{0};
};

}  // namespace pelmark::profiler
