#pragma once
// The sampling countdown: requested bytes until the next sample, drawn from
// an exponential distribution whose mean is the sample interval, so that
// sampling is unbiased by allocation size and pattern.

#include <cstdint>

namespace pelmark::profiler {

inline constexpr std::uint64_t kSeedMix = 0x123456789abcdefu;

// A seed for a thread's generator: nanoseconds since 1970 xor kSeedMix.
std::uint64_t seed_from_clock() noexcept;

constexpr std::uint64_t xorshift64(std::uint64_t x) noexcept {
  x ^= x << 13;
  x ^= x >> 7;
  x ^= x << 17;
  return x;
}

// Advances `generator` (seeding it from the clock when 0) and returns the
// next countdown for `interval`: -ln(max(u, 1e-9)) * interval with u uniform
// in [0, 1), truncated; beyond 2^64-1 it is 2^64-1.
std::uint64_t draw_countdown(std::uint64_t& generator, std::uint64_t interval) noexcept;

// The countdown is signed (allocations subtract from it past zero). Draws
// above 2^63-1 saturate there: at one requested byte per nanosecond that is
// still about 292 years until the next sample.
constexpr std::int64_t countdown_from_draw(std::uint64_t draw) noexcept {
  constexpr auto kMax = static_cast<std::uint64_t>(INT64_MAX);
  return static_cast<std::int64_t>(draw > kMax ? kMax : draw);
}

// countdown - size without wrapping (size <= 2^63-1).
constexpr std::int64_t countdown_after(std::int64_t countdown, std::int64_t size) noexcept {
  std::int64_t left;
  if (__builtin_sub_overflow(countdown, size, &left)) return INT64_MIN;
  return left;
}

}  // namespace pelmark::profiler
