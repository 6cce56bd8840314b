// Queue storage the executor cannot allocate: reported through the
// allocation-failure abort (never an exception out of Executor::create), with
// an overflowing byte size reported as SIZE_MAX.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "drovek/executor/executor.h"
#include "drovek/scheduler/queue_array.h"

namespace drovek {
namespace {

constexpr std::size_t kSizeMax = std::numeric_limits<std::size_t>::max();

TEST(QueueArrayBytesTest, MultipliesOrSaturatesOnOverflow) {
  struct Case {
    std::uint64_t count;
    std::size_t element_bytes;
    std::size_t expected;
  };
  const Case cases[] = {
      {0, 144, 0},
      {16, 144, 2304},
      {std::uint64_t{1} << 56, 144, std::size_t{9} << 60},
      {std::uint64_t{1} << 62, 144, kSizeMax},
      {std::uint64_t{1} << 61, 8, kSizeMax},
      {kSizeMax / 8, 8, kSizeMax / 8 * 8},
      {std::numeric_limits<std::uint64_t>::max(), 2, kSizeMax},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(queue_array_bytes(c.count, c.element_bytes), c.expected) << c.count << " x " << c.element_bytes;
  }
}

void create_executor(std::uint64_t workers, std::uint64_t admission_total) {
  ExecutorConfig config;
  config.worker_count = workers;
  config.admission_capacity_total = admission_total;
  // Whatever happens must be the abort: an exception or an error value
  // would let the process go on.
  try {
    (void)Executor::create(config);
  } catch (...) {
  }
}

TEST(QueueAllocationFailureDeathTest, AnAdmissionRingTooLargeToAllocateEndsTheProcessWithTheReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // 2^62 slots of 144 bytes overflow the byte size.
  EXPECT_DEATH(create_executor(1, std::uint64_t{1} << 62),
               "memory allocation of " + std::to_string(kSizeMax) + " bytes with alignment 16 failed");
  // 2^56 slots fit the size type but not any machine. The sanitizers' heaps
  // end the process themselves on such a request, before we can report it.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
  EXPECT_DEATH(create_executor(1, std::uint64_t{1} << 56), "allocation-size-too-big");
#else
  EXPECT_DEATH(create_executor(1, std::uint64_t{1} << 56),
               "memory allocation of " + std::to_string(std::size_t{9} << 60) + " bytes with alignment 16 failed");
#endif
}

TEST(QueueAllocationFailureDeathTest, AWorkerTableTooLargeToAllocateEndsTheProcessWithTheReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  // 2^61 workers with 4 admission slots each: the table of worker records
  // cannot even be sized.
  EXPECT_DEATH(create_executor(std::uint64_t{1} << 61, std::numeric_limits<std::uint64_t>::max()),
               "memory allocation of " + std::to_string(kSizeMax) + " bytes");
}

}  // namespace
}  // namespace drovek
