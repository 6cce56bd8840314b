#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "kavo_ops/slice_kernels/axpy_slice.h"
#include "kavo_ops/slice_kernels/dot_slice.h"
#include "kavo_ops/slice_kernels/elementwise_slice.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

struct PreconditionCase {
  std::string message;  // the fixed text, then both lengths
  std::function<void()> call;
};

TEST(SlicePreconditions, MismatchedLengthsAreInvariantFailuresNamingBothLengths) {
  std::vector<float> f3(3), f4(4), f5(5);
  std::vector<double> d3(3), d4(4);
  const std::vector<PreconditionCase> cases = {
      {"add_slice: a.len() != b.len()\n  left: 3\n right: 4", [&] { add_slice(f3, f4, f3); }},
      {"add_slice: output length mismatch\n  left: 4\n right: 3", [&] { add_slice(f3, f3, f4); }},
      {"sub_slice: a.len() != b.len()\n  left: 4\n right: 3", [&] { sub_slice(f4, f3, f4); }},
      {"sub_slice: output length mismatch\n  left: 5\n right: 4", [&] { sub_slice(f4, f4, f5); }},
      {"mul_slice: a.len() != b.len()\n  left: 3\n right: 5", [&] { mul_slice(f3, f5, f3); }},
      {"mul_slice: output length mismatch\n  left: 3\n right: 5", [&] { mul_slice(f5, f5, f3); }},
      {"div_slice: a.len() != b.len()\n  left: 5\n right: 3", [&] { div_slice(f5, f3, f5); }},
      {"div_slice: output length mismatch\n  left: 4\n right: 3", [&] { div_slice(f3, f3, f4); }},
      {"axpy_slice: x.len() != out.len()\n  left: 3\n right: 4", [&] { axpy_slice(1.0f, f3, f4); }},
      {"axpy_slice: x.len() != out.len()\n  left: 4\n right: 3", [&] { axpy_slice(1.0, d4, d3); }},
      {"dot_slice: a.len() != b.len()\n  left: 3\n right: 4", [&] { dot_slice(std::span<const float>(f3), f4); }},
      {"dot_slice: a.len() != b.len()\n  left: 4\n right: 3", [&] { dot_slice(std::span<const double>(d4), d3); }},
  };
  for (const auto& c : cases) {
    try {
      c.call();
      ADD_FAILURE() << "no failure for: " << c.message;
    } catch (const platform::InvariantFailure& failure) {
      EXPECT_EQ(failure.message(), c.message);
    }
  }
}

// The first check wins when both inputs and the output disagree.
TEST(SlicePreconditions, InputLengthsAreCheckedBeforeTheOutput) {
  std::vector<float> f3(3), f4(4), f5(5);
  try {
    add_slice(f3, f4, f5);
    ADD_FAILURE() << "no failure";
  } catch (const platform::InvariantFailure& failure) {
    EXPECT_EQ(failure.message().rfind("add_slice: a.len() != b.len()", 0), 0u) << failure.message();
  }
}

}  // namespace
}  // namespace kavo_ops
