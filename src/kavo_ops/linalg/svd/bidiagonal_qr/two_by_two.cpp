#include "kavo_ops/linalg/svd/bidiagonal_qr/two_by_two.h"

#include <cmath>
#include <utility>

namespace kavo_ops {
namespace {

constexpr double kCutoff = 0x1p-53;

double sign_of(double magnitude, double sign) noexcept { return std::copysign(std::fabs(magnitude), sign); }

}  // namespace

TwoByTwoSvd two_by_two_svd(double f, double g, double h) noexcept {
  double ft = f, fa = std::fabs(f);
  double ht = h, ha = std::fabs(h);
  // Which of f, g, h holds the largest magnitude decides the final signs.
  int largest = 1;
  const bool swap = ha > fa;
  if (swap) {
    largest = 3;
    std::swap(ft, ht);
    std::swap(fa, ha);
  }
  const double gt = g, ga = std::fabs(g);
  double ssmax, ssmin, clt, slt, crt, srt;
  if (ga == 0.0) {
    ssmin = ha;
    ssmax = fa;
    clt = 1.0, crt = 1.0, slt = 0.0, srt = 0.0;
  } else {
    bool g_small = true;
    if (ga > fa) {
      largest = 2;
      if (fa / ga < kCutoff) {
        // g dominates: the limits of the general formulas.
        g_small = false;
        ssmax = ga;
        ssmin = ha > 1.0 ? fa / (ga / ha) : (fa / ga) * ha;
        clt = 1.0;
        slt = ht / gt;
        srt = 1.0;
        crt = ft / gt;
      }
    }
    if (g_small) {
      const double d = fa - ha;
      double l = d == fa ? 1.0 : d / fa;  // copes with infinite f
      const double m = gt / ft;
      double t = 2.0 - l;
      const double mm = m * m;
      const double tt = t * t;
      const double s = std::sqrt(tt + mm);
      const double r = l == 0.0 ? std::fabs(m) : std::sqrt(l * l + mm);
      const double a = 0.5 * (s + r);
      ssmin = ha / a;
      ssmax = fa * a;
      if (mm == 0.0) {
        t = l == 0.0 ? sign_of(2.0, ft) * sign_of(1.0, gt) : gt / sign_of(d, ft) + m / t;
      } else {
        t = (m / (s + t) + m / (r + l)) * (1.0 + a);
      }
      l = std::sqrt(t * t + 4.0);
      crt = 2.0 / l;
      srt = t / l;
      clt = (crt + srt * m) / a;
      slt = (ht / ft) * srt / a;
    }
  }
  TwoByTwoSvd out;
  if (swap) {
    out.cl = srt, out.sl = crt, out.cr = slt, out.sr = clt;
  } else {
    out.cl = clt, out.sl = slt, out.cr = crt, out.sr = srt;
  }
  double tsign = 1.0;
  if (largest == 1) tsign = sign_of(1.0, out.cr) * sign_of(1.0, out.cl) * sign_of(1.0, f);
  if (largest == 2) tsign = sign_of(1.0, out.sr) * sign_of(1.0, out.cl) * sign_of(1.0, g);
  if (largest == 3) tsign = sign_of(1.0, out.sr) * sign_of(1.0, out.sl) * sign_of(1.0, h);
  out.ssmax = sign_of(ssmax, tsign);
  out.ssmin = sign_of(ssmin, tsign * sign_of(1.0, f) * sign_of(1.0, h));
  return out;
}

}  // namespace kavo_ops
