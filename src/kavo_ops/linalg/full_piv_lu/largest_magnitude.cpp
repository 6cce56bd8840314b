#include "kavo_ops/linalg/full_piv_lu/largest_magnitude.h"

#include <cmath>
#include <cstring>

#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

// Two doubles per register on the baseline instruction set; the compiler's
// generic vectors keep this file free of intrinsics.
using Pair = double __attribute__((vector_size(16)));
using PairBits = std::uint64_t __attribute__((vector_size(16)));

constexpr std::size_t kPairs = 4;  // independent running maxima: 8 doubles per round

// Kept as a select so that a NaN candidate leaves the running maximum alone
// (this is exactly the max instruction's rule).
inline Pair keep_larger(Pair candidate, Pair best) { return candidate > best ? candidate : best; }
inline double keep_larger(double candidate, double best) { return candidate > best ? candidate : best; }

}  // namespace

// Max is exact, so splitting the scan into lanes cannot change the result.
double largest_magnitude(std::span<const double> values) {
  const double* x = values.data();
  const std::size_t count = values.size();
  const PairBits magnitude_mask = {~(std::uint64_t{1} << 63), ~(std::uint64_t{1} << 63)};
  Pair lane[kPairs];
  for (Pair& m : lane) m = Pair{-1.0, -1.0};
  std::size_t j = 0;
  for (; j + 2 * kPairs <= count; j += 2 * kPairs) {
    for (std::size_t p = 0; p < kPairs; ++p) {
      PairBits bits;
      std::memcpy(&bits, x + j + 2 * p, sizeof bits);
      lane[p] = keep_larger(reinterpret_cast<Pair>(bits & magnitude_mask), lane[p]);
    }
  }
  double best = -1.0;
  for (; j < count; ++j) best = keep_larger(std::fabs(x[j]), best);
  for (const Pair& m : lane) best = keep_larger(keep_larger(m[0], m[1]), best);
  return best;
}

std::uint64_t first_with_magnitude(std::span<const double> values, double magnitude) {
  for (std::size_t j = 0; j < values.size(); ++j) {
    if (std::fabs(values[j]) == magnitude) return j;
  }
  platform::fail_invariant("invariant: the pivot magnitude occurs in its row");
}

}  // namespace kavo_ops
