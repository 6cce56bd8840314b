// Queue storage the executor cannot allocate: an error value of
// Executor::create (never an exception out of it, never the abort), with an
// overflowing byte size reported as SIZE_MAX.

#include <gtest/gtest.h>

#include <cstdint>
#include <limits>
#include <string>

#include "drovek/executor/executor.h"
#include "drovek/scheduler/queue_array.h"
#include "platform/threads.h"

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

// Queue storage that cannot be had fails the construction with an error value
// and starts no worker; sizes no system can serve are refused without asking.
TEST(QueueAllocationFailureTest, QueuesTooLargeToAllocateFailTheConstruction) {
  const struct {
    std::uint64_t workers;
    std::uint64_t admission_total;
    const char* what;
  } cases[] = {
      {1, std::uint64_t{1} << 62, "2^62 ring slots of 144 bytes overflow the byte size"},
      {1, std::uint64_t{1} << 56, "2^56 ring slots fit the size type but not any machine"},
      {std::uint64_t{1} << 61, std::numeric_limits<std::uint64_t>::max(), "the worker table cannot be sized"},
  };
  for (const auto& c : cases) {
    ExecutorConfig config;
    config.worker_count = c.workers;
    config.admission_capacity_total = c.admission_total;
    int spawned = 0;
    ConstructionHooks hooks;
    hooks.spawn_thread = [&](std::string name, std::size_t stack, std::move_only_function<void()> body) {
      ++spawned;
      return platform::spawn_thread(std::move(name), stack, std::move(body));
    };
    auto created = Executor::create(config, hooks);
    ASSERT_FALSE(created) << c.what;
    EXPECT_EQ(created.error(), ExecutorError::ResourceExhausted{kExecutorMemoryRefused}) << c.what;
    EXPECT_EQ(spawned, 0) << c.what;
  }
}

TEST(QueueAllocationFailureTest, ArraysTooLargeAreRefusedWithTheirRequest) {
  try {
    (void)allocate_queue_array(std::uint64_t{1} << 62, 144, 16);
    ADD_FAILURE() << "allocated";
  } catch (const QueueMemoryRefused& refused) {
    EXPECT_EQ(refused.bytes(), kSizeMax);
    EXPECT_EQ(refused.alignment(), 16u);
  }
}

// A deque that grows later has no caller to hand the refusal to.
TEST(QueueAllocationFailureDeathTest, ARefusalReportedLaterEndsTheProcessWithTheReport) {
  GTEST_FLAG_SET(death_test_style, "threadsafe");
  EXPECT_DEATH(QueueMemoryRefused(kSizeMax, 128).report(),
               "memory allocation of " + std::to_string(kSizeMax) + " bytes with alignment 128 failed");
}

}  // namespace
}  // namespace drovek
