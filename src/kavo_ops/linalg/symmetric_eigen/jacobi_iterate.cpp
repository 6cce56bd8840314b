#include "kavo_ops/linalg/symmetric_eigen/jacobi_iterate.h"

#include <limits>
#include <vector>

#include "kavo_ops/linalg/symmetric_eigen/jacobi_rotation.h"
#include "platform/interrupt.h"

namespace kavo_ops {

std::uint64_t jacobi_rotation_limit(std::uint64_t n) noexcept {
  std::uint64_t square = 0;
  std::uint64_t limit = 0;
  if (__builtin_mul_overflow(n, n, &square) || __builtin_mul_overflow(square, std::uint64_t{32}, &limit)) {
    return std::numeric_limits<std::uint64_t>::max();
  }
  return limit == 0 ? 1 : limit;
}

JacobiRun jacobi_iterate(double* a, double* vt, std::uint64_t n, double floor, std::uint64_t limit,
                         JacobiSearch search) {
  const bool tracked = search == JacobiSearch::tracked;
  JacobiPivotTracker tracker(tracked ? n : 0, floor);
  std::vector<double> roots(tracked ? 0 : n);
  if (tracked) tracker.reset(a);
  auto next_pivot = [&] { return tracked ? tracker.pivot() : jacobi_full_scan(a, n, floor, roots.data()); };

  JacobiRun run;
  while (run.steps < limit) {
    platform::throw_if_interrupted();
    const JacobiPivot pivot = next_pivot();
    if (!pivot.found) {
      run.converged = true;
      mirror_upper_triangle(a, n);
      return run;
    }
    ++run.steps;
    const std::uint64_t p = pivot.p;
    const std::uint64_t q = pivot.q;
    if (a[p * n + q] == 0.0) continue;
    jacobi_rotate(a, vt, n, p, q, jacobi_angle(a[p * n + p], a[q * n + q], a[p * n + q]));
    if (tracked) tracker.rotated(a, p, q);
  }
  run.last = next_pivot();
  run.converged = !run.last.found;
  mirror_upper_triangle(a, n);
  return run;
}

}  // namespace kavo_ops
