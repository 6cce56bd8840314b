// Exceptions escaping pieces of a parallel call: whichever thread ran the
// failing piece, the caller sees the same exception once every task is done,
// and the lowest-numbered failing task decides.

#include <gtest/gtest.h>

#include <atomic>
#include <exception>
#include <functional>
#include <new>
#include <string>
#include <thread>
#include <vector>

#include "drovek/parallel/parallel_call.h"
#include "platform/invariant_failure.h"
#include "support/test_jobs.h"

namespace drovek {
namespace {

using testing_support::CountingSource;
using testing_support::make_executor;

struct CallersOwnError {
  int code;
};

enum class Thrown { BadAlloc, OwnType, Invariant };

void throw_kind(Thrown kind) {
  switch (kind) {
    case Thrown::BadAlloc:
      throw std::bad_alloc();
    case Thrown::OwnType:
      throw CallersOwnError{42};
    case Thrown::Invariant:
      platform::fail_invariant("invariant: piece failed");
  }
}

enum class Entry { Index, UnitRange, Mut };

// Runs `pieces` pieces through `entry` (one piece per unit); `piece(p)` is
// called for each.
void call_entry(Entry entry, ExecutorSource source, std::size_t pieces, const std::function<void(std::size_t)>& piece) {
  using Piece = std::function<void(std::size_t)>;
  void* context = const_cast<Piece*>(&piece);
  switch (entry) {
    case Entry::Index:
      for_each_index_on(source, pieces, context, [](void* c, std::size_t i) { (*static_cast<Piece*>(c))(i); });
      return;
    case Entry::UnitRange:
      // A unit cost above 65536 makes every item its own unit.
      for_each_unit_task_range_on(source, pieces, 65537, context,
                                  [](void* c, std::size_t start, std::size_t) { (*static_cast<Piece*>(c))(start); });
      return;
    case Entry::Mut: {
      std::vector<float> buffer(pieces * kMutUnitElements);
      for_each_unit_task_mut_on(source, buffer.data(), buffer.size(), context,
                                [](void* c, std::size_t first, void*, std::size_t) {
                                  (*static_cast<Piece*>(c))(first / kMutUnitElements);
                                });
      return;
    }
  }
}

void wait_until(const std::atomic<bool>& flag) {
  while (!flag.load()) std::this_thread::yield();
}

// What the caller saw.
std::string outcome_of(const std::function<void()>& call) {
  try {
    call();
  } catch (const std::bad_alloc&) {
    return "bad_alloc";
  } catch (const CallersOwnError& error) {
    return "own error " + std::to_string(error.code);
  } catch (const platform::InvariantFailure& failure) {
    return failure.message();
  }
  return "no failure";
}

// 3 workers, 12 pieces: 4 tasks of 3, [0,3) on the caller and [3,6) [6,9)
// [9,12) submitted to the workers.
constexpr std::size_t kPieces = 12;
constexpr std::size_t kPiecesPerTask = 3;

const Entry kEntries[] = {Entry::Index, Entry::UnitRange, Entry::Mut};
const char* entry_name(Entry entry) {
  switch (entry) {
    case Entry::Index:
      return "for_each_index_with";
    case Entry::UnitRange:
      return "for_each_unit_task_range_with";
    case Entry::Mut:
      return "for_each_unit_task_mut_with";
  }
  return "";
}

TEST(PieceExceptionTest, TheCallerGetsTheExceptionWhicheverThreadRanThePiece) {
  Executor executor = make_executor(3);
  CountingSource source{&executor};
  struct Case {
    Thrown kind;
    std::string expected;
  };
  const Case cases[] = {{Thrown::BadAlloc, "bad_alloc"}, {Thrown::OwnType, "own error 42"}};
  const std::thread::id caller = std::this_thread::get_id();
  for (Entry entry : kEntries) {
    for (const Case& c : cases) {
      // Piece 6 belongs to a worker's task, piece 0 to the caller's own.
      for (std::size_t failing : {std::size_t{6}, std::size_t{0}}) {
        SCOPED_TRACE(::testing::Message() << entry_name(entry) << ", " << c.expected << ", piece " << failing);
        std::vector<std::atomic<int>> ran(kPieces);
        std::atomic<bool> failed_on_caller{false};
        std::atomic<bool> failing_entered{false};
        auto piece = [&](std::size_t p) {
          // The caller holds its own first piece until a worker has started
          // the failing one: a caller done with its share would otherwise
          // take back and run tasks that no worker has reached yet.
          if (p == 0 && failing != 0) wait_until(failing_entered);
          if (p == failing) {
            failing_entered.store(true);
            failed_on_caller.store(std::this_thread::get_id() == caller);
            throw_kind(c.kind);
          }
          ran[p].fetch_add(1);
        };
        EXPECT_EQ(outcome_of([&] { call_entry(entry, source.source(), kPieces, piece); }), c.expected);
        EXPECT_EQ(failed_on_caller.load(), failing == 0);
        // The failing task stopped at its failed piece; every other task ran.
        for (std::size_t p = 0; p < kPieces; ++p) {
          const bool in_failing_task = p / kPiecesPerTask == failing / kPiecesPerTask;
          EXPECT_EQ(ran[p].load(), in_failing_task ? 0 : 1) << p;
        }
      }
    }
  }
  // The pool is intact afterwards.
  std::vector<std::atomic<int>> ran(kPieces);
  call_entry(Entry::Index, source.source(), kPieces, [&](std::size_t p) { ran[p].fetch_add(1); });
  for (std::size_t p = 0; p < kPieces; ++p) EXPECT_EQ(ran[p].load(), 1) << p;
}

TEST(PieceExceptionTest, TheLowestNumberedFailingTaskDecides) {
  Executor executor = make_executor(3);
  CountingSource source{&executor};
  struct Failure {
    std::size_t piece;
    Thrown kind;
  };
  struct Case {
    Failure first;
    Failure second;
    std::string expected;
  };
  const std::string panicked = "drovek global executor: for_each_index_with: SpawnFailed(Panicked)";
  const Case cases[] = {
      {{3, Thrown::OwnType}, {9, Thrown::BadAlloc}, "own error 42"},
      {{3, Thrown::BadAlloc}, {9, Thrown::OwnType}, "bad_alloc"},
      {{6, Thrown::Invariant}, {9, Thrown::BadAlloc}, panicked},
      {{3, Thrown::BadAlloc}, {6, Thrown::Invariant}, "bad_alloc"},
      {{0, Thrown::OwnType}, {3, Thrown::Invariant}, "own error 42"},
      {{0, Thrown::Invariant}, {3, Thrown::OwnType}, panicked},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(::testing::Message() << "pieces " << c.first.piece << " and " << c.second.piece);
    auto piece = [&](std::size_t p) {
      if (p == c.first.piece) throw_kind(c.first.kind);
      if (p == c.second.piece) throw_kind(c.second.kind);
    };
    EXPECT_EQ(outcome_of([&] { call_entry(Entry::Index, source.source(), kPieces, piece); }), c.expected);
  }
}

}  // namespace
}  // namespace drovek
