// The rules shared by every source of cache records: which records describe
// a usable cache, how processors are named, and which descriptors count as
// the same.

#include <gtest/gtest.h>

#include <vector>

#include "vendral/cache_descriptors.h"

namespace {

using platform::CacheRecord;
using platform::CacheType;
using vendral::CacheDescriptor;
using vendral::cache_descriptors;

TEST(CacheDescriptors, KeepsOnlyDataAndUnifiedCachesOfLevelsOneToThree) {
  const std::vector<CacheRecord> records{
      {1, 64, 32768, CacheType::data, {{0x1, 0}}},
      {1, 64, 32768, CacheType::instruction, {{0x1, 0}}},
      {2, 64, 1 << 20, CacheType::trace, {{0x1, 0}}},
      {2, 64, 1 << 20, static_cast<CacheType>(7), {{0x1, 0}}},
      {0, 64, 1 << 20, CacheType::unified, {{0x1, 0}}},
      {4, 64, 1 << 20, CacheType::unified, {{0x1, 0}}},
      {3, 64, 0, CacheType::unified, {{0x1, 0}}},
      {3, 64, 8 << 20, CacheType::unified, {{0x1, 0}}},
  };
  EXPECT_EQ(cache_descriptors(records),
            (std::vector<CacheDescriptor>{{1, 32768, 64, {0}}, {3, 8 << 20, 64, {0}}}));
}

TEST(CacheDescriptors, NamesProcessorsGroupByGroupBelowTheIdLimit) {
  const std::vector<CacheRecord> records{
      // Groups in the order reported, not sorted; bits within a group rising.
      {3, 64, 8 << 20, CacheType::unified, {{0x8000'0000'0000'0001, 2}, {0x6, 0}}},
      // Group 511 holds ids 32704..32767; group 512 starts at the limit.
      {2, 64, 1 << 20, CacheType::unified, {{0xC000'0000'0000'0000, 511}, {0x1, 512}}},
      {2, 64, 1 << 20, CacheType::unified, {{0x1, 512}, {0xFFFF, 0xFFFF}}},
      {2, 64, 1 << 20, CacheType::unified, {}},
      {2, 64, 1 << 20, CacheType::unified, {{0, 0}}},
  };
  EXPECT_EQ(cache_descriptors(records), (std::vector<CacheDescriptor>{
                                            {3, 8 << 20, 64, {128, 191, 1, 2}},
                                            {2, 1 << 20, 64, {32766, 32767}},
                                        }));
}

TEST(CacheDescriptors, DropsOnlyDescriptorsEqualInEveryField) {
  const CacheRecord base{2, 64, 1 << 20, CacheType::unified, {{0x3, 0}}};
  auto changed = [&](auto change) {
    CacheRecord record = base;
    change(record);
    return record;
  };
  const std::vector<CacheRecord> records{
      base,
      changed([](CacheRecord& r) { r.type = CacheType::data; }),  // same descriptor: type is not kept
      changed([](CacheRecord& r) { r.level = 3; }),
      base,
      changed([](CacheRecord& r) { r.size_bytes = 2 << 20; }),
      changed([](CacheRecord& r) { r.line_size = 0; }),
      changed([](CacheRecord& r) { r.line_size = 128; }),
      changed([](CacheRecord& r) { r.groups = {{0x1, 0}, {0x2, 0}}; }),  // same processors, other groups
      changed([](CacheRecord& r) { r.groups = {{0x2, 0}, {0x1, 0}}; }),  // same processors, other order
      changed([](CacheRecord& r) { r.groups = {{0x1, 0}}; }),
      changed([](CacheRecord& r) { r.line_size = 0; }),
  };
  EXPECT_EQ(cache_descriptors(records), (std::vector<CacheDescriptor>{
                                            {2, 1 << 20, 64, {0, 1}},
                                            {3, 1 << 20, 64, {0, 1}},
                                            {2, 2 << 20, 64, {0, 1}},
                                            {2, 1 << 20, std::nullopt, {0, 1}},
                                            {2, 1 << 20, 128, {0, 1}},
                                            {2, 1 << 20, 64, {1, 0}},
                                            {2, 1 << 20, 64, {0}},
                                        }));
}

}  // namespace
