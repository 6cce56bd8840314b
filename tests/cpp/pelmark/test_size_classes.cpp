#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>

#include "pelmark/size_classes.h"

namespace pelmark {
namespace {

TEST(SizeClasses, RunsAndPageCapacities) {
  struct Run {
    std::uint32_t first_class, last_class, first_size, step;
  };
  const Run runs[] = {{0, 7, 16, 16}, {8, 19, 160, 32}, {20, 31, 640, 128}, {32, 43, 2560, 512}, {44, 51, 9216, 1024}};
  std::uint32_t covered = 0;
  for (const Run& run : runs) {
    for (std::uint32_t c = run.first_class; c <= run.last_class; ++c, ++covered) {
      EXPECT_EQ(class_block_size(c), run.first_size + run.step * (c - run.first_class)) << "class " << c;
    }
  }
  EXPECT_EQ(covered, kClassCount);
  EXPECT_EQ(class_block_size(kClassCount - 1), kLargestClassSize);

  const struct {
    std::uint32_t block_size, blocks;
  } capacities[] = {{16, 4096}, {640, 102}, {1024, 64}, {1280, 51}, {16384, 4}};
  for (const auto& expected : capacities) {
    const std::uint32_t c = size_class_for(expected.block_size, 16);
    EXPECT_EQ(class_block_size(c), expected.block_size);
    EXPECT_EQ(class_blocks_per_page(c), expected.blocks) << expected.block_size;
  }
}

TEST(SizeClasses, EverySizeGetsTheSmallestFittingAlignedClass) {
  for (std::size_t alignment = 1; alignment <= 65536; alignment *= 2) {
    for (std::size_t size = 0; size <= kLargestClassSize + 1; ++size) {
      const std::uint32_t c = size_class_for(size, alignment);
      std::uint32_t expected = 0;
      while (expected < kClassCount &&
             (class_block_size(expected) < size || class_block_size(expected) % (alignment < 16 ? 16 : alignment) != 0)) {
        ++expected;
      }
      ASSERT_EQ(c, expected) << "size " << size << " alignment " << alignment;
    }
  }
}

TEST(SizeClasses, AlignedBufferRequests) {
  // Aligned buffers ask for 64-byte multiples at alignment 64.
  const struct {
    std::size_t size;
    std::uint32_t size_class;
  } cases[] = {
      {0, 3}, {1, 3}, {64, 3}, {65, 7}, {128, 7}, {129, 9}, {192, 9},
      {200, 11},  // rounds to 256: 224 would not keep the 64-byte alignment
      {256, 11}, {16320, 51}, {16384, 51}, {16400, kNoClass},
  };
  for (const auto& expected : cases) {
    EXPECT_EQ(size_class_for(expected.size, 64), expected.size_class) << expected.size;
  }
  EXPECT_EQ(size_class_for(200, 16), 10u);  // 224 bytes without the alignment demand
  EXPECT_EQ(size_class_for(64, 32768), kNoClass);
}

}  // namespace
}  // namespace pelmark
