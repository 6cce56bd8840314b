#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <new>
#include <string>
#include <utility>

#include "fyrel/aligned_buffer.h"
#include "pelmark/block_release.h"
#include "pelmark/segment_header.h"
#include "platform/invariant_failure.h"

namespace fyrel {
namespace {

std::string invariant_message(void (*action)()) {
  try {
    action();
  } catch (const platform::InvariantFailure& failure) {
    return failure.message();
  }
  return "no failure";
}

TEST(AlignedBuffer, RequestsAreWholeCacheLines) {
  const struct {
    std::size_t count, element_size, bytes;
  } cases[] = {
      {1, 8, 64},      {8, 8, 64},       {9, 8, 128},  {1, 4, 64},   {16, 4, 64},   {17, 4, 128},
      {2048, 8, 16384},  // the largest class request
      {2049, 8, 16448},  // a huge allocation
  };
  for (const auto& c : cases) {
    EXPECT_EQ(aligned_request_bytes(c.count, c.element_size), c.bytes) << c.count << " x " << c.element_size;
  }
}

template <typename T>
void check_buffers_of_type() {
  for (std::size_t count : {1, 7, 9, 100, 2048, 2049, 5000, 300000}) {
    auto buffer = AlignedBuffer<T>::with_len(count);
    ASSERT_EQ(buffer.size(), count);
    EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()) % kBufferAlignment, 0u);
    const std::size_t request = aligned_request_bytes(count, sizeof(T));
    EXPECT_GE(pelmark::usable_size(buffer.data()), request);
    // The whole rounded request is usable.
    auto* bytes = reinterpret_cast<unsigned char*>(buffer.data());
    bytes[0] = 1;
    bytes[request - 1] = 2;
    buffer.release();
    EXPECT_EQ(buffer.size(), 0u);
  }
}

TEST(AlignedBuffer, BuffersAreAlignedAndHoldTheRoundedRequest) {
  check_buffers_of_type<float>();
  check_buffers_of_type<double>();
  // Small requests land in the 64-byte-multiple classes, not the nearest one.
  auto one = AlignedBuffer<double>::with_len(1);
  auto nine = AlignedBuffer<double>::with_len(9);
  EXPECT_EQ(pelmark::usable_size(one.data()), 64u);
  EXPECT_EQ(pelmark::usable_size(nine.data()), 128u);
}

TEST(AlignedBuffer, EmptyBufferHoldsNoMemory) {
  auto buffer = AlignedBuffer<float>::with_len(0);
  EXPECT_EQ(buffer.size(), 0u);
  EXPECT_EQ(reinterpret_cast<std::uintptr_t>(buffer.data()), kBufferAlignment);
  buffer.release();
  EXPECT_TRUE(buffer.span().empty());
}

TEST(AlignedBuffer, OwnershipMovesAndReleaseReturnsTheBlock) {
  auto first = AlignedBuffer<double>::with_len(4);
  double* data = first.data();
  const pelmark::PageRecord& page = pelmark::segment_of(data)->pages[pelmark::page_slot_of(data)];
  const std::uint32_t used = page.used;
  AlignedBuffer<double> second = std::move(first);
  EXPECT_EQ(second.data(), data);
  EXPECT_EQ(first.size(), 0u);
  first.release();  // nothing to release
  EXPECT_EQ(page.used, used);
  second = AlignedBuffer<double>::with_len(0);
  EXPECT_EQ(page.used, used - 1);
}

TEST(AlignedBuffer, UnrepresentableSizesAreInvariantFailures) {
  // Largest counts whose byte size fits a signed 64-bit value, and one more.
  EXPECT_EQ(invariant_message([] { AlignedBuffer<double>::with_len(std::size_t{1} << 60); }), "Capacity overflow");
  EXPECT_EQ(invariant_message([] { AlignedBuffer<float>::with_len(std::size_t{1} << 61); }), "Capacity overflow");
  const std::string layout = "align is power-of-2, size validated by checked_mul: LayoutError";
  EXPECT_EQ(invariant_message([] { AlignedBuffer<double>::with_len((std::size_t{1} << 60) - 1); }), layout);
  EXPECT_EQ(invariant_message([] { AlignedBuffer<float>::with_len((std::size_t{1} << 61) - 1); }), layout);
  // 2^63 - 1 - 56 bytes is the last size that can be rounded to 64.
  EXPECT_EQ(invariant_message([] { aligned_request_bytes((INT64_MAX - 56) / 8 + 1, 8); }), layout);
  EXPECT_EQ(aligned_request_bytes((INT64_MAX - 56) / 8, 8), std::size_t{INT64_MAX} - 63);
}

// The count comes from the caller's input, so the caller gets the refusal and
// the allocator stays usable.
TEST(AlignedBuffer, RefusedMemoryThrowsBadAllocAndLeavesTheAllocatorUsable) {
  EXPECT_THROW(AlignedBuffer<double>::with_len(std::size_t{1} << 58), std::bad_alloc);
  AlignedBuffer<double> after = AlignedBuffer<double>::with_len(1000);
  after.data()[999] = 1.0;
  EXPECT_EQ(after.data()[999], 1.0);
}

}  // namespace
}  // namespace fyrel
