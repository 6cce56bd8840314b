// The walk over Windows processor information buffers: which buffers are
// refused whole, which records are passed over, and what a read record holds.

#include <gtest/gtest.h>

#include <cstddef>
#include <cstdint>
#include <functional>
#include <vector>

#include "vendral/cache_descriptors.h"
#include "vendral/cache_policy.h"
#include "platform/cache_relationship_walk.h"
#include "vendral/processor_information_buffer.h"

namespace {

using platform::CacheRecord;
using platform::CacheType;
using platform::walk_cache_relationships;
using vendral_test::FabricatedCache;
using vendral_test::ProcessorInformationBuffer;

constexpr std::uint32_t kRelationProcessorCore = 0;
constexpr std::uint32_t kRelationNumaNode = 1;

const FabricatedCache kL1{.level = 1, .line_size = 64, .size_bytes = 48 << 10, .type = 2, .groups = {{0x1, 0}}};
const FabricatedCache kL3{.level = 3, .line_size = 64, .size_bytes = 32 << 20, .type = 0,
                          .groups = {{0xFFFF'FFFF'FFFF'FFFF, 0}, {0x3, 1}}};

const CacheRecord kL1Record{1, 64, 48 << 10, CacheType::data, {{0x1, 0}}};
const CacheRecord kL3Record{3, 64, 32 << 20, CacheType::unified, {{0xFFFF'FFFF'FFFF'FFFF, 0}, {0x3, 1}}};

TEST(CacheRelationshipWalk, ReadsCacheRecordsBetweenOtherRelationships) {
  ProcessorInformationBuffer buffer;
  buffer.other(kRelationProcessorCore, 48, 48)
      .cache(kL1)
      .other(kRelationNumaNode, 80, 80)
      .cache(kL3)
      .cache({.level = 1, .line_size = 0, .size_bytes = 32 << 10, .type = 1, .groups = {{0x2, 7}}});
  const auto records = walk_cache_relationships(buffer.bytes());
  ASSERT_TRUE(records);
  EXPECT_EQ(*records, (std::vector<CacheRecord>{
                          kL1Record, kL3Record, {1, 0, 32 << 10, CacheType::instruction, {{0x2, 7}}}}));
}

TEST(CacheRelationshipWalk, EmptyBufferHoldsNoRecords) {
  const auto records = walk_cache_relationships({});
  ASSERT_TRUE(records);
  EXPECT_TRUE(records->empty());
}

// Each case appends one fault after two good records; the whole buffer must
// then be refused.
struct BrokenChain {
  const char* name;
  std::function<void(ProcessorInformationBuffer&)> append_fault;
};

void PrintTo(const BrokenChain& c, std::ostream* out) { *out << c.name; }

class RefusedBuffer : public testing::TestWithParam<BrokenChain> {};

TEST_P(RefusedBuffer, DropsEvenTheGoodRecordsBeforeTheFault) {
  ProcessorInformationBuffer buffer;
  buffer.cache(kL1).cache(kL3);
  ASSERT_TRUE(walk_cache_relationships(buffer.bytes()));
  GetParam().append_fault(buffer);
  EXPECT_EQ(walk_cache_relationships(buffer.bytes()), std::nullopt);
}

INSTANTIATE_TEST_SUITE_P(
    CacheRelationshipWalk, RefusedBuffer,
    testing::Values(
        BrokenChain{"LastRecordRunsPastTheEnd", [](auto& b) { b.cache(kL1).truncate(1); }},
        BrokenChain{"SizeJustPastTheEnd", [](auto& b) { b.other(kRelationNumaNode, 65, 64); }},
        BrokenChain{"ShortTrailingHeader", [](auto& b) { b.other(0, 0, 7); }},
        BrokenChain{"SizeZero", [](auto& b) { b.other(kRelationNumaNode, 0, 64); }},
        BrokenChain{"SizeBelowTheHeader", [](auto& b) { b.other(kRelationNumaNode, 7, 64); }}),
    [](const testing::TestParamInfo<BrokenChain>& info) { return info.param.name; });

TEST(CacheRelationshipWalk, SizeOfExactlyTheHeaderIsASoundRecord) {
  ProcessorInformationBuffer buffer;
  buffer.other(kRelationNumaNode, 8, 8).cache(kL1);
  EXPECT_EQ(walk_cache_relationships(buffer.bytes()), (std::vector<CacheRecord>{kL1Record}));
}

TEST(CacheRelationshipWalk, BuffersUpToOneMebibyteAreRead) {
  ProcessorInformationBuffer buffer;
  for (int i = 0; i < 15; ++i) buffer.other(kRelationNumaNode, 1 << 16, 1 << 16);
  buffer.cache(kL1).other(kRelationNumaNode, (1 << 16) - 56, (1 << 16) - 56);
  ASSERT_EQ(buffer.bytes().size(), std::size_t{1} << 20);
  EXPECT_EQ(walk_cache_relationships(buffer.bytes()), (std::vector<CacheRecord>{kL1Record}));

  buffer.other(kRelationNumaNode, 8, 8);
  EXPECT_EQ(walk_cache_relationships(buffer.bytes()), std::nullopt);
}

// Each case: one cache record the walk must pass over while still reading
// the good record after it, or read (`kept`) when it sits on the sound side
// of a limit.
struct RecordCase {
  const char* name;
  std::function<void(ProcessorInformationBuffer&)> append;
  bool kept;
};

void PrintTo(const RecordCase& c, std::ostream* out) { *out << c.name; }

class CacheRecordShape : public testing::TestWithParam<RecordCase> {};

TEST_P(CacheRecordShape, PassedOverOrReadWithoutBreakingTheChain) {
  ProcessorInformationBuffer buffer;
  GetParam().append(buffer);
  buffer.cache(kL1);
  const auto records = walk_cache_relationships(buffer.bytes());
  ASSERT_TRUE(records);
  ASSERT_EQ(records->size(), GetParam().kept ? 2u : 1u);
  EXPECT_EQ(records->back(), kL1Record);
}

FabricatedCache with_groups(std::size_t count) {
  FabricatedCache cache = kL3;
  cache.groups.clear();
  for (std::size_t i = 0; i < count; ++i) cache.groups.push_back({1, static_cast<std::uint16_t>(i)});
  return cache;
}

INSTANTIATE_TEST_SUITE_P(
    CacheRelationshipWalk, CacheRecordShape,
    testing::Values(
        RecordCase{"GroupCountZero", [](auto& b) { b.cache(kL1, 0); }, false},
        RecordCase{"GroupCount64", [](auto& b) { b.cache(with_groups(64)); }, true},
        RecordCase{"GroupCount65", [](auto& b) { b.cache(with_groups(65)); }, false},
        RecordCase{"GroupsFillTheRecord", [](auto& b) { b.cache(with_groups(2), 2, 72); }, true},
        RecordCase{"GroupsOverrunTheRecord", [](auto& b) { b.cache(with_groups(2), 2, 71); }, false},
        RecordCase{"ShorterThanOneGroup", [](auto& b) { b.cache(kL1, 1, 55); }, false},
        RecordCase{"ExactlyOneGroup", [](auto& b) { b.cache(kL1, 1, 56); }, true},
        RecordCase{"OtherRelationshipWithCacheSize", [](auto& b) { b.other(kRelationProcessorCore, 56, 56); }, false}),
    [](const testing::TestParamInfo<RecordCase>& info) { return info.param.name; });

TEST(CacheRelationshipWalk, InstructionLevelFourAndGroupCountZeroRecordsLeaveTheDefaults) {
  ProcessorInformationBuffer buffer;
  buffer.cache({.level = 1, .line_size = 64, .size_bytes = 32 << 10, .type = 1, .groups = {{1, 0}}})
      .cache({.level = 4, .line_size = 128, .size_bytes = 128 << 20, .type = 0, .groups = {{1, 0}}})
      .cache({.level = 2, .line_size = 128, .size_bytes = 1 << 20, .type = 0, .groups = {{1, 0}}}, 0)
      .cache({.level = 3, .line_size = 128, .size_bytes = 8 << 20, .type = 3, .groups = {{1, 0}}});
  const auto records = walk_cache_relationships(buffer.bytes());
  ASSERT_TRUE(records);
  EXPECT_EQ(records->size(), 3u);
  const std::vector<vendral::CacheDescriptor> caches = vendral::cache_descriptors(*records);
  EXPECT_TRUE(caches.empty());
  EXPECT_EQ(vendral::summarize_caches(caches), vendral::CachePolicy{});
}

}  // namespace
