#pragma once
// The 52 block sizes of the page layer. Five runs of geometric-ish steps keep
// internal waste below about 20% above 128 bytes while every block size stays
// a multiple of 16, so every block is 16-byte aligned:
//   classes  0-7    16 ..   128  step   16
//   classes  8-19  160 ..   512  step   32
//   classes 20-31  640 ..  2048  step  128
//   classes 32-43 2560 ..  8192  step  512
//   classes 44-51 9216 .. 16384  step 1024
// A page of class c holds floor(65536 / B(c)) blocks, laid out from the page
// start, so block i of a page is aligned to the largest power of two dividing
// B(c) (capped at the page size).

#include <array>
#include <cstddef>
#include <cstdint>

#include "pelmark/segment_geometry.h"

namespace pelmark {

inline constexpr std::uint32_t kClassCount = 52;
inline constexpr std::uint32_t kNoClass = kClassCount;  // served by the huge path
inline constexpr std::size_t kLargestClassSize = 16384;

namespace size_class_detail {

constexpr std::array<std::uint32_t, kClassCount> make_block_sizes() {
  std::array<std::uint32_t, kClassCount> sizes{};
  std::uint32_t c = 0;
  const auto run = [&](std::uint32_t first, std::uint32_t step, std::uint32_t count) {
    for (std::uint32_t i = 0; i < count; ++i) sizes[c++] = first + step * i;
  };
  run(16, 16, 8);
  run(160, 32, 12);
  run(640, 128, 12);
  run(2560, 512, 12);
  run(9216, 1024, 8);
  return sizes;
}

inline constexpr std::array<std::uint32_t, kClassCount> kBlockSizes = make_block_sizes();

constexpr std::array<std::uint32_t, kClassCount> make_blocks_per_page() {
  std::array<std::uint32_t, kClassCount> counts{};
  for (std::uint32_t c = 0; c < kClassCount; ++c) counts[c] = static_cast<std::uint32_t>(kPageSize / kBlockSizes[c]);
  return counts;
}

// A table, not a division: the bump path of every allocation reads it.
inline constexpr std::array<std::uint32_t, kClassCount> kBlocksPerPage = make_blocks_per_page();

// Class of every size in 16-byte steps: index (size + 15) / 16.
constexpr std::array<std::uint8_t, kLargestClassSize / 16 + 1> make_class_by_granule() {
  std::array<std::uint8_t, kLargestClassSize / 16 + 1> table{};
  std::uint32_t c = 0;
  for (std::uint32_t granule = 0; granule < table.size(); ++granule) {
    while (kBlockSizes[c] < granule * 16) ++c;
    table[granule] = static_cast<std::uint8_t>(c);
  }
  return table;
}

inline constexpr auto kClassByGranule = make_class_by_granule();

}  // namespace size_class_detail

constexpr std::uint32_t class_block_size(std::uint32_t size_class) {
  return size_class_detail::kBlockSizes[size_class];
}

constexpr std::uint32_t class_blocks_per_page(std::uint32_t size_class) {
  return size_class_detail::kBlocksPerPage[size_class];
}

// Without popcnt in the baseline instruction set, std::has_single_bit would
// be a library call on the allocation fast path.
constexpr bool is_power_of_two(std::size_t value) { return value != 0 && (value & (value - 1)) == 0; }

// Smallest class whose block holds `size` bytes at `alignment` (a power of
// two; values up to 16 need nothing beyond the 16-byte granule), or kNoClass
// when no class can serve the request.
constexpr std::uint32_t size_class_for(std::size_t size, std::size_t alignment) {
  if (size > kLargestClassSize) return kNoClass;
  std::uint32_t c = size_class_detail::kClassByGranule[(size + 15) / 16];
  if (alignment > 16) {
    const std::size_t misalignment = alignment - 1;
    while (c < kClassCount && (class_block_size(c) & misalignment) != 0) ++c;
  }
  return c;
}

}  // namespace pelmark
