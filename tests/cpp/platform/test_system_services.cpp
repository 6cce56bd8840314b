// The platform layer against the running system, the same cases on every
// system: what each service promises in its header, observed through the
// real calls (futex or WaitOnAddress, mmap or VirtualAlloc, ...).

#include <gtest/gtest.h>

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <cstring>
#include <optional>
#include <span>
#include <string>
#include <thread>

#include "platform/address_wait.h"
#include "platform/allowed_processors.h"
#include "platform/environment.h"
#include "platform/process_heap.h"
#include "platform/stack_capture.h"
#include "platform/system_time.h"
#include "platform/thread_exit_slot.h"
#include "platform/threads.h"
#include "platform/virtual_memory.h"
#include "support/environment_variable.h"

namespace {

TEST(AddressWait, TimedWaitEndsWithoutAWakeAndAWakeEndsAWait) {
  std::atomic<std::uint32_t> word{0};
  EXPECT_FALSE(platform::wait_on_address_for(word, 0, 1));
  // A word that no longer holds the expected value does not sleep at all.
  EXPECT_TRUE(platform::wait_on_address_for(word, 1, 60'000));

  std::atomic<std::uint32_t> handoffs{0};
  std::thread partner([&] {
    for (std::uint32_t round = 0; round < 1000; ++round) {
      while (word.load() != 2 * round + 1) platform::wait_on_address(word, 2 * round);
      word.store(2 * round + 2);
      platform::wake_by_address_single(word);
      handoffs.fetch_add(1);
    }
  });
  for (std::uint32_t round = 0; round < 1000; ++round) {
    word.store(2 * round + 1);
    platform::wake_by_address_all(word);
    while (word.load() != 2 * round + 2) platform::wait_on_address(word, 2 * round + 1);
  }
  partner.join();
  EXPECT_EQ(handoffs.load(), 1000u);
}

TEST(VirtualMemory, MapsZeroedMemoryDecommitsPartsAndUnmaps) {
  constexpr std::size_t kBytes = std::size_t{4} << 20;
  EXPECT_EQ(platform::map_memory(0), nullptr);
  auto* base = static_cast<unsigned char*>(platform::map_memory(kBytes));
  ASSERT_NE(base, nullptr);
  EXPECT_EQ(base[0], 0);
  EXPECT_EQ(base[kBytes - 1], 0);
  std::memset(base, 0xAB, kBytes);
  EXPECT_TRUE(platform::decommit_memory(base, std::size_t{2} << 20));
  EXPECT_EQ(base[kBytes - 1], 0xAB);  // the rest stays as written
  EXPECT_TRUE(platform::unmap_memory(base, kBytes));
}

TEST(Threads, NamedBeforeTheBodyRunsAndJoined) {
  std::string seen;
  auto thread = platform::spawn_thread("kavo-probe-3", std::size_t{2} << 20,
                                       [&seen] { seen = platform::current_thread_name(); });
  ASSERT_TRUE(thread.has_value());
  EXPECT_TRUE(thread->joinable());
  thread->join();
  EXPECT_FALSE(thread->joinable());
  EXPECT_EQ(seen, "kavo-probe-3");
}

TEST(ThreadExitSlot, EachThreadHasItsOwnValueAndItsExitCallbackSeesIt) {
  static std::atomic<std::uintptr_t> seen_at_exit{0};
  int marker = 0;
  void* const main_value = platform::thread_exit_slot();
  auto thread = platform::spawn_thread("kavo-slot", std::size_t{1} << 20, [&marker] {
    if (platform::thread_exit_slot() != nullptr) return;
    platform::set_thread_exit_slot(&marker, [](void* value) {
      seen_at_exit.store(reinterpret_cast<std::uintptr_t>(value));
    });
  });
  ASSERT_TRUE(thread.has_value());
  thread->join();
  EXPECT_EQ(seen_at_exit.load(), reinterpret_cast<std::uintptr_t>(&marker));
  EXPECT_EQ(platform::thread_exit_slot(), main_value);
}

TEST(Environment, ReadsWhatWasSetOfAnyLengthAndNothingOnceRemoved) {
  constexpr char kName[] = "KAVO_PLATFORM_TEST_VARIABLE";
  test_support::unset_environment_variable(kName);
  EXPECT_EQ(platform::environment_variable(kName), std::nullopt);
  for (const std::string& value : {std::string("7"), std::string(5000, 'x')}) {
    test_support::set_environment_variable(kName, value.c_str());
    EXPECT_EQ(platform::environment_variable(kName), value);
  }
  test_support::unset_environment_variable(kName);
  EXPECT_EQ(platform::environment_variable(kName), std::nullopt);
}

TEST(SystemServices, AnswersThatHoldOnAnyRunningMachine) {
  const std::optional<std::uint64_t> allowed = platform::allowed_processor_count();
  ASSERT_TRUE(allowed.has_value());
  EXPECT_GE(*allowed, 1u);

  constexpr std::uint64_t k2020InNanoseconds = 1'577'836'800'000'000'000ull;
  EXPECT_GT(platform::nanoseconds_since_unix_epoch(), k2020InNanoseconds);

  void* block = platform::process_heap_allocate(0);
  ASSERT_NE(block, nullptr);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(block) % alignof(std::max_align_t), 0u);
  platform::process_heap_release(block);
  platform::process_heap_release(nullptr);
}

[[gnu::noinline]] std::size_t capture_from_here(std::span<std::uintptr_t> frames) {
  const std::size_t count = platform::capture_stack(frames);
  asm volatile("" ::: "memory");  // keeps the call from becoming a tail call
  return count;
}

TEST(StackCapture, WalksThroughItsCallersAndStopsAtTheLimit) {
  std::uintptr_t frames[32] = {};
  const std::size_t count = capture_from_here(frames);
  // capture_stack itself, capture_from_here, this test body and GoogleTest's
  // frames beneath it.
  EXPECT_GE(count, 4u);
  EXPECT_LE(count, 32u);
  for (std::size_t i = 0; i < count; ++i) EXPECT_NE(frames[i], 0u);
  std::uintptr_t two[2] = {};
  EXPECT_EQ(capture_from_here(two), 2u);
  // The same two innermost frames: inside capture_stack, inside capture_from_here.
  EXPECT_EQ(two[0], frames[0]);
  EXPECT_EQ(two[1], frames[1]);
  EXPECT_EQ(platform::capture_stack({}), 0u);
}

}  // namespace
