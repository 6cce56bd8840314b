#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "kavo_ops/linalg/schur/francis_steps.h"
#include "platform/interrupt.h"

namespace kavo_ops::francis {
namespace {

// The iteration limit per block (DLAHQR's ITMAX).
std::uint64_t iteration_limit(std::size_t n) noexcept { return 30 * std::max<std::uint64_t>(10, n); }

double smallest_relative_subdiagonal(const ActiveMatrix& m, std::size_t lo, std::size_t hi) noexcept {
  double smallest = std::numeric_limits<double>::infinity();
  for (std::size_t k = lo + 1; k <= hi; ++k) smallest = std::min(smallest, std::fabs(m.at(k, k - 1)) / neighbour_sum(m, k));
  return smallest;
}

}  // namespace

kavo::Expected<void> iterate_to_quasi_triangle(ActiveMatrix& m) {
  const double floor = deflation_floor(m.h, m.n);
  const std::uint64_t limit = iteration_limit(m.n);
  std::ptrdiff_t hi = static_cast<std::ptrdiff_t>(m.n) - 1;
  unsigned its = 0;
  while (hi > 0) {
    platform::throw_if_interrupted();
    const std::size_t top = static_cast<std::size_t>(hi);
    std::size_t lo = 0;
    for (std::size_t k = top; k >= 1; --k) {
      if (negligible_subdiagonal(m, k, floor, its > 19)) {
        m.at(k, k - 1) = 0.0;
        lo = k;
        break;
      }
    }
    if (lo == top) {
      hi -= 1;
      its = 0;
      continue;
    }
    if (lo + 1 == top) {
      hi -= 2;
      its = 0;
      continue;
    }
    ++its;
    if (its > limit) {
      return std::unexpected<kavo::ArrayError>(
          kavo::ConvergenceError{limit, smallest_relative_subdiagonal(m, lo, top), kUlp});
    }
    const Shifts shifts = francis_shifts(m, lo, top, its);
    chase_bulge(m, lo, top, bulge_start(m, lo, top, shifts));
  }
  return {};
}

}  // namespace kavo_ops::francis
