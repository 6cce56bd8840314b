#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/sweep.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

void shifted_sweep(const QrState& state, std::size_t lo, std::size_t hi, bool top_down, double f, double g) {
  platform::ensure(hi > lo, "invariant: an oriented block has at least two rows");
  const std::span<double> d = state.d;
  const std::span<double> e = state.e;
  if (top_down) {
    for (std::size_t i = lo; i < hi; ++i) {
      const Rotation right = make_rotation(f, g);
      if (i > lo) e[i - 1] = right.r;
      f = right.c * d[i] + right.s * e[i];
      e[i] = right.c * e[i] - right.s * d[i];
      g = right.s * d[i + 1];
      d[i + 1] = right.c * d[i + 1];
      state.rotate_v(i, i + 1, right.c, right.s);
      const Rotation left = make_rotation(f, g);
      d[i] = left.r;
      f = left.c * e[i] + left.s * d[i + 1];
      d[i + 1] = left.c * d[i + 1] - left.s * e[i];
      if (i + 1 < hi) {
        g = left.s * e[i + 1];
        e[i + 1] = left.c * e[i + 1];
      }
      state.rotate_u(i, i + 1, left.c, left.s);
    }
    e[hi - 1] = f;
    return;
  }
  for (std::size_t i = hi; i > lo; --i) {
    const Rotation left = make_rotation(f, g);
    if (i < hi) e[i] = left.r;
    f = left.c * d[i] + left.s * e[i - 1];
    e[i - 1] = left.c * e[i - 1] - left.s * d[i];
    g = left.s * d[i - 1];
    d[i - 1] = left.c * d[i - 1];
    state.rotate_u(i, i - 1, left.c, left.s);
    const Rotation right = make_rotation(f, g);
    d[i] = right.r;
    f = right.c * e[i - 1] + right.s * d[i - 1];
    d[i - 1] = right.c * d[i - 1] - right.s * e[i - 1];
    if (i > lo + 1) {
      g = right.s * e[i - 2];
      e[i - 2] = right.c * e[i - 2];
    }
    state.rotate_v(i, i - 1, right.c, right.s);
  }
  e[lo] = f;
}

}  // namespace kavo_ops
