#include "kavo_ops/linalg/svd/bidiagonal_qr/bidiagonal_qr.h"

#include <algorithm>
#include <cmath>

#include "kavo_ops/linalg/svd/bidiagonal_qr/chase.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/deflation.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/shift.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/sweep.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/two_by_two.h"
#include "platform/interrupt.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

constexpr std::uint64_t kStepFloor = 4000;

void finish_logs(RotationLog* u, RotationLog* v) {
  if (u) u->flush();
  if (v) v->flush();
}

}  // namespace

std::uint64_t bidiagonal_qr_step_budget(std::uint64_t k) noexcept {
  // 6 k^2 cannot overflow for any k whose d fits in memory.
  return std::max(kStepFloor, 6 * k * k);
}

kavo::Expected<void> bidiagonal_qr(std::span<double> d, std::span<double> e, RotationLog* u, RotationLog* v,
                                   std::optional<std::uint64_t> budget) {
  const std::size_t k = d.size();
  if (k <= 1) return {};
  platform::ensure(e.size() + 1 >= k, "invariant: the superdiagonal has k - 1 entries");
  const std::uint64_t steps_allowed = budget.value_or(bidiagonal_qr_step_budget(k));
  QrState state{d, e.first(k - 1), u, v, deflation_threshold(d, e)};

  std::uint64_t steps = 0;
  bool have_direction = false;
  bool top_down = true;
  std::size_t previous_lo = 0, previous_hi = 0;
  std::size_t hi = k - 1;
  while (hi > 0) {
    platform::throw_if_interrupted();
    if (e[hi - 1] == 0.0) {
      --hi;
      continue;
    }
    const std::size_t lo = find_block_start(state, hi);
    if (lo == hi) continue;
    if (lo + 1 == hi) {
      const TwoByTwoSvd block = two_by_two_svd(d[lo], e[lo], d[hi]);
      d[lo] = block.ssmax;
      e[lo] = 0.0;
      d[hi] = block.ssmin;
      state.rotate_u(lo, hi, block.cl, block.sl);
      state.rotate_v(lo, hi, block.cr, block.sr);
      continue;
    }
    if (!have_direction || lo > previous_hi || hi < previous_lo) {
      top_down = std::fabs(d[lo]) >= std::fabs(d[hi]);
      have_direction = true;
    }
    if (split_converged(state, lo, hi, top_down)) continue;
    if (steps >= steps_allowed) {
      finish_logs(u, v);
      return kavo::storage_error("bidiagonal SVD QR failed to converge", kavo::FailureKind::no_convergence);
    }
    ++steps;
    previous_lo = lo;
    previous_hi = hi;
    if (chase_negligible_diagonal(state, lo, hi)) continue;
    const ShiftChoice shift = choose_shift(state, lo, hi, top_down);
    if (shift.zero_shift) {
      zero_shift_sweep(state, lo, hi, top_down);
    } else {
      shifted_sweep(state, lo, hi, top_down, shift.f, shift.g);
    }
  }
  finish_logs(u, v);
  return {};
}

}  // namespace kavo_ops
