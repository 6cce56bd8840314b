#include "kavo_ops/linalg/svd/bidiagonal_qr/rotation.h"
#include "kavo_ops/linalg/svd/bidiagonal_qr/sweep.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

void zero_shift_sweep(const QrState& state, std::size_t lo, std::size_t hi, bool top_down) {
  platform::ensure(hi > lo, "invariant: an oriented block has at least two rows");
  const std::span<double> d = state.d;
  const std::span<double> e = state.e;
  double cs = 1.0, sn = 0.0, old_cs = 1.0, old_sn = 0.0;
  if (top_down) {
    for (std::size_t i = lo; i < hi; ++i) {
      const Rotation right = make_rotation(cs * d[i], e[i]);
      cs = right.c, sn = right.s;
      if (i > lo) e[i - 1] = old_sn * right.r;
      const Rotation left = make_rotation(old_cs * right.r, sn * d[i + 1]);
      old_cs = left.c, old_sn = left.s, d[i] = left.r;
      state.rotate_v(i, i + 1, cs, sn);
      state.rotate_u(i, i + 1, old_cs, old_sn);
    }
    const double h = cs * d[hi];
    d[hi] = old_cs * h;
    e[hi - 1] = old_sn * h;
    return;
  }
  for (std::size_t i = hi; i > lo; --i) {
    const Rotation left = make_rotation(cs * d[i], e[i - 1]);
    cs = left.c, sn = left.s;
    if (i < hi) e[i] = old_sn * left.r;
    const Rotation right = make_rotation(old_cs * left.r, sn * d[i - 1]);
    old_cs = right.c, old_sn = right.s, d[i] = right.r;
    state.rotate_u(i, i - 1, cs, sn);
    state.rotate_v(i, i - 1, old_cs, old_sn);
  }
  const double h = cs * d[lo];
  d[lo] = old_cs * h;
  e[lo] = old_sn * h;
}

}  // namespace kavo_ops
