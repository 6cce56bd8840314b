#pragma once
// Scheduler tuning constants. The yield cadences trade latency on a briefly
// contended word against burning a time slice that the holder may need; the
// batch size and spin length bound how long an idle worker keeps a core.

#include <chrono>
#include <cstddef>
#include <cstdint>

namespace drovek {

// Cache-line pair: adjacent-line prefetch on x86 pulls lines in 128-byte
// pairs, so hot words sit alone on 128 bytes to avoid false sharing.
inline constexpr std::size_t kIsolationBytes = 128;

// Priority classes of the deques; parallel-for tasks use class 1.
inline constexpr std::size_t kPriorityClasses = 4;
inline constexpr std::uint8_t kParallelForPriority = 1;

// Consecutive failed slot locks, resize waits or ring retries before the
// thread yields its time slice: a holder finishes within a few hundred
// cycles unless it was descheduled, and then only yielding helps.
inline constexpr std::uint32_t kTriesBeforeYield = 64;
// Contended steal attempts before a yield; steals fail for benign reasons
// (another thief won) far more often than slot locks, hence the larger count.
inline constexpr std::uint32_t kStealRetriesBeforeYield = 1000;

// Jobs one successful steal moves: the first is run, the rest go to the
// thief's own deque, amortising the cross-core traffic of finding work.
inline constexpr std::uint32_t kStealBatch = 16;
// Below this many elements the owner's pop takes the fenced path that
// resolves races with thieves over the last elements.
inline constexpr std::uint64_t kNearEmptyZone = 16;

// How long an idle worker spins (pause hints, probing for work) before it
// parks: long enough to catch the next call of a tight loop of parallel
// calls without a sleep/wake round trip, short enough that a spinner does
// not hold a core for long that a caller or a woken worker could use. Time,
// not rounds: a pause lasts 10 ns on some processors and 40 ns on others.
inline constexpr std::chrono::microseconds kSpinTime{100};
// Spin rounds between two reads of the clock.
inline constexpr std::uint32_t kSpinClockInterval = 64;
// Every this many spin rounds a spinning worker probes others for work ...
inline constexpr std::uint32_t kSpinProbeInterval = 32;
// ... looking at up to this many consecutive workers.
inline constexpr std::uint32_t kSpinProbeWorkers = 8;

// Idle workers hand thread-local allocator memory back at most this often.
inline constexpr std::chrono::milliseconds kCollectionInterval{500};

// A waiting worker that found nothing for this many rounds sleeps on the
// completion signal for at most kHelpingSleepMs before helping again.
inline constexpr std::uint32_t kHelpingIdleRounds = 64;
inline constexpr std::uint32_t kHelpingSleepMs = 1;
// A waiting outside caller has already taken back every task no worker had
// started, so what it waits for runs on workers that have moved off its
// processor: spinning costs nobody a core. It spins this long before it
// sleeps on the completion signal, because a sleeping caller is woken late
// (tens of microseconds, more on a virtual machine) and a factorization
// makes hundreds of parallel calls in a row: 50 us made det at n = 1000
// 30 % slower than 1 ms (measured on a two-core Xeon).
inline constexpr std::chrono::microseconds kCallerSpinTime{1000};

// Worker thread stack reservation.
inline constexpr std::size_t kWorkerStackBytes = 2 * 1024 * 1024;

}  // namespace drovek
