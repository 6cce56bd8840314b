#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <set>
#include <thread>
#include <vector>

#include "pelmark/segment_pool.h"
#include "pelmark/thread_node.h"
#include "private_arena.h"

namespace pelmark {
namespace {

using pelmark_test::PrivateArena;

TEST(PoolConcurrency, EverySegmentIsHeldByExactlyOneThreadAtATime) {
  PrivateArena fixture;
  constexpr int kSegments = 6;
  std::vector<SegmentHeader*> segments;
  for (int i = 0; i < kSegments; ++i) segments.push_back(fixture.arena->acquire_segment().segment);

  SegmentPool pool;
  for (SegmentHeader* segment : segments) pool.push(segment);
  // Each thread takes a segment, marks it as held, checks nobody else holds
  // it, and gives it back; chains of two go back in one push.
  std::vector<std::uint8_t> held(kSegments, 0);
  const auto index_of = [&](SegmentHeader* segment) {
    return std::find(segments.begin(), segments.end(), segment) - segments.begin();
  };
  std::atomic<int> double_holds{0}, foreign{0};
  std::vector<std::thread> threads;
  for (int t = 0; t < 4; ++t) {
    threads.emplace_back([&] {
      for (int round = 0; round < 3000; ++round) {
        SegmentHeader* a = pool.pop();
        SegmentHeader* b = pool.pop();
        for (SegmentHeader* s : {a, b}) {
          if (s == nullptr) continue;
          const auto i = index_of(s);
          if (i == kSegments) { foreign.fetch_add(1); continue; }
          if (std::atomic_ref(held[i]).exchange(1) != 0) double_holds.fetch_add(1);
        }
        for (SegmentHeader* s : {a, b}) {
          if (s != nullptr && index_of(s) != kSegments) std::atomic_ref(held[index_of(s)]).store(0);
        }
        if (a != nullptr && b != nullptr) {
          a->pool_link = pool_link_of(b);
          pool.push_chain(a, b, 2);
        } else {
          if (a != nullptr) pool.push(a);
          if (b != nullptr) pool.push(b);
        }
      }
    });
  }
  for (std::thread& thread : threads) thread.join();
  EXPECT_EQ(double_holds.load(), 0);
  EXPECT_EQ(foreign.load(), 0);
  EXPECT_EQ(pool.count(), static_cast<std::uint64_t>(kSegments));

  std::set<SegmentHeader*> drained;
  while (SegmentHeader* segment = pool.pop()) drained.insert(segment);
  EXPECT_EQ(drained, std::set<SegmentHeader*>(segments.begin(), segments.end()));
  for (SegmentHeader* segment : segments) fixture.arena->release_segment(segment);
}

TEST(PoolConcurrency, BoundedPushRespectsTheLimit) {
  PrivateArena fixture;
  SegmentHeader* segment = fixture.arena->acquire_segment().segment;
  SegmentPool pool;
  EXPECT_EQ(pool.try_push_below(segment, 0, 64), BoundedPush::kFull);
  EXPECT_EQ(pool.try_push_below(segment, 1, 64), BoundedPush::kPushed);
  EXPECT_EQ(pool.pop(), segment);
  fixture.arena->release_segment(segment);
}

TEST(ThreadNode, UnknownOrOutOfRangeProcessorsUseNodeZero) {
  const struct {
    bool known;
    std::uint32_t processor, node, pool;
  } cases[] = {{false, 3, 2, 0}, {true, 3, 2, 2}, {true, 32767, 5, 5}, {true, 32768, 5, 0},
               {true, 1, 1023, 1023 % 16}, {true, 1, 1024, 0}, {true, 1, 17, 1}};
  for (const auto& c : cases) {
    EXPECT_EQ(pool_node_from(c.known, c.processor, c.node), c.pool) << c.processor << "/" << c.node;
  }
  EXPECT_LT(thread_node(), kNodeSlots);
}

}  // namespace
}  // namespace pelmark
