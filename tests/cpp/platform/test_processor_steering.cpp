// Steering a thread off one processor and back to floating freely.

#include <gtest/gtest.h>

#include <thread>

#include "platform/allowed_processors.h"
#include "platform/processor_steering.h"

namespace platform {
namespace {

TEST(ProcessorSteering, MovesTheThreadOffItsProcessorAndBack) {
  // A thread of its own, so that the test runner's affinity is never touched.
  std::thread([] {
    const std::optional<std::uint64_t> allowed = allowed_processor_count();
    ASSERT_TRUE(allowed);
    const std::optional<std::uint32_t> here = current_processor_id();
    ASSERT_TRUE(here);
    if (*allowed < 2) {
      EXPECT_FALSE(steer_current_thread_off(*here));  // nowhere else to go
      EXPECT_EQ(allowed_processor_count(), allowed);
      return;
    }
    ASSERT_TRUE(steer_current_thread_off(*here));
    const std::optional<std::uint32_t> moved_to = current_processor_id();
    ASSERT_TRUE(moved_to);
    EXPECT_NE(moved_to, here);
    // A second steering starts from the original processors, not the
    // narrowed ones: with two, it moves the thread back where it was.
    ASSERT_TRUE(steer_current_thread_off(*moved_to));
    EXPECT_NE(current_processor_id(), moved_to);
    if (*allowed == 2) {
      EXPECT_EQ(current_processor_id(), here);
    }
    end_current_thread_steering();
    end_current_thread_steering();  // not steered: nothing happens
    EXPECT_TRUE(steer_current_thread_off(*here));
    end_current_thread_steering();
  }).join();
}

TEST(ProcessorSteering, ProcessorsBeyondTheSetAreNeverSteeredOff) {
  std::thread([] {
    const std::optional<std::uint64_t> allowed = allowed_processor_count();
    EXPECT_FALSE(steer_current_thread_off(1u << 20));
    EXPECT_EQ(allowed_processor_count(), allowed);
  }).join();
}

}  // namespace
}  // namespace platform
