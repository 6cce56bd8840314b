#include "kavo_ops/linalg/svd/bidiagonal_qr/chase.h"

#include <cmath>

#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

// d[i] = 0: row i's entry e[i] is rotated into rows i+1 .. hi and out.
void chase_right(const QrState& state, std::size_t i, std::size_t hi) {
  double g = state.e[i];
  state.d[i] = 0.0;
  state.e[i] = 0.0;
  for (std::size_t j = i + 1; j <= hi; ++j) {
    const Rotation rotation = make_rotation(state.d[j], g);
    state.d[j] = rotation.r;
    state.rotate_u(j, i, rotation.c, rotation.s);
    if (j < hi) {
      g = -rotation.s * state.e[j];
      state.e[j] = rotation.c * state.e[j];
    }
  }
}

// d[hi] = 0: column hi's entry e[hi-1] is rotated into columns hi-1 .. lo and out.
void chase_up(const QrState& state, std::size_t lo, std::size_t hi) {
  double g = state.e[hi - 1];
  state.d[hi] = 0.0;
  state.e[hi - 1] = 0.0;
  for (std::size_t j = hi; j-- > lo;) {
    const Rotation rotation = make_rotation(state.d[j], g);
    state.d[j] = rotation.r;
    state.rotate_v(j, hi, rotation.c, rotation.s);
    if (j == lo) break;
    g = -rotation.s * state.e[j - 1];
    state.e[j - 1] = rotation.c * state.e[j - 1];
  }
}

}  // namespace

bool chase_negligible_diagonal(const QrState& state, std::size_t lo, std::size_t hi) {
  platform::ensure(hi > lo, "invariant: an oriented block has at least two rows");
  for (std::size_t i = lo; i < hi; ++i) {
    double s = std::fabs(state.e[i]);
    if (i > lo) s += std::fabs(state.e[i - 1]);
    if (s + std::fabs(state.d[i]) == s) {
      chase_right(state, i, hi);
      return true;
    }
  }
  const double above = std::fabs(state.e[hi - 1]);
  if (above + std::fabs(state.d[hi]) == above) {
    chase_up(state, lo, hi);
    return true;
  }
  return false;
}

}  // namespace kavo_ops
