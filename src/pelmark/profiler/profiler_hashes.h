#pragma once
// The profiler's hashes (all arithmetic modulo 2^64). They pick shards and
// hash-table buckets, so they must mix well and be cheap; they need not
// match anything outside this process.

#include <cstdint>
#include <span>

namespace pelmark::profiler {

inline constexpr std::uint64_t kGoldenRatio64 = 0x9e3779b97f4a7c15u;

// The splitmix64 finaliser.
constexpr std::uint64_t fmix(std::uint64_t x) noexcept {
  x ^= x >> 30;
  x *= 0xbf58476d1ce4e5b9u;
  x ^= x >> 27;
  x *= 0x94d049bb133111ebu;
  x ^= x >> 31;
  return x;
}

constexpr std::uint64_t address_hash(std::uintptr_t address) noexcept {
  return fmix(static_cast<std::uint64_t>(address)) * kGoldenRatio64;
}

// Seeded by the frame count, then every byte of every frame, least
// significant byte first.
constexpr std::uint64_t stack_hash(std::span<const std::uintptr_t> frames) noexcept {
  std::uint64_t h = fmix(frames.size()) * kGoldenRatio64;
  for (std::uintptr_t frame : frames) {
    auto bits = static_cast<std::uint64_t>(frame);
    for (int byte = 0; byte < 8; ++byte) {
      h = (h * 109u) ^ (bits & 0xffu);
      bits >>= 8;
    }
  }
  return h;
}

}  // namespace pelmark::profiler
