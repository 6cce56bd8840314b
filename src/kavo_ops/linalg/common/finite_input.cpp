#include "kavo_ops/linalg/common/finite_input.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <string>

#include "fyrel/lanes/lane_vector.h"
#include "kavo/iter/element_iter.h"
#include "kavo/layout/contiguity.h"

namespace kavo_ops {
namespace {

// Chunks screened without a branch per value: v - v is 0 for a finite
// value and NaN for an infinity or a NaN, and a sum of such differences is
// NaN exactly when one of them is (two vectors of two values per step); the
// loop leaves at the first chunk that holds a non-finite value.
constexpr std::size_t kChunk = 256;

bool chunk_is_finite(const double* values, std::size_t count) noexcept {
  std::size_t i = 0;
  using Pair = fyrel::LaneVector<double, 2>;
  using Values2 = Pair::Reg;
  Values2 sum_a = {0, 0}, sum_b = {0, 0};
  for (; i + 4 <= count; i += 4) {
    const Values2 a = Pair::load(values + i), b = Pair::load(values + i + 2);
    sum_a += a - a;
    sum_b += b - b;
  }
  double sum = (sum_a[0] + sum_a[1]) + (sum_b[0] + sum_b[1]);
  for (; i < count; ++i) sum += values[i] - values[i];
  return sum == sum;
}

}  // namespace

bool all_finite(std::span<const double> values) noexcept {
  for (std::size_t start = 0; start < values.size(); start += kChunk) {
    const std::size_t count = std::min(kChunk, values.size() - start);
    if (!chunk_is_finite(values.data() + start, count)) return false;
  }
  return true;
}

bool all_finite(const kavo::View<double, 2>& a) {
  const kavo::Layout<2>& layout = a.layout;
  const std::uint64_t count = layout.shape[0] * layout.shape[1];
  if (kavo::is_c_contiguous(layout) && layout.offset <= a.len && count <= a.len - layout.offset) {
    return all_finite(std::span<const double>(a.data + layout.offset, count));
  }
  auto walk = kavo::elements(a);
  while (auto value = walk.next()) {
    if (!std::isfinite(*value)) return false;
  }
  return true;
}

kavo::Expected<void> require_finite(std::span<const double> values, const char* factorization) {
  if (all_finite(values)) return {};
  return kavo::storage_error(std::string(factorization) + " input contains a non-finite value",
                             kavo::FailureKind::non_finite_input);
}

}  // namespace kavo_ops
