#include <algorithm>
#include <cmath>

#include "kavo_ops/linalg/schur/francis_steps.h"

namespace kavo_ops::francis {
namespace {

// The z test's margin: z below 4·ulp postpones the real/complex decision.
constexpr double kMultiple = 4.0;
// 2^⌊log₂(safmin/ulp)/2⌋ and its inverse: the rescaling step of the loop.
constexpr double kSafmn2 = 0x1p-485;
constexpr double kSafmx2 = 0x1p485;
constexpr int kRescalePasses = 20;

double sign_of(double magnitude, double sign) noexcept { return std::copysign(std::fabs(magnitude), sign); }

// LAPACK DLAPY2: √(x² + y²) without overflow.
double pythag(double x, double y) noexcept {
  const double xa = std::fabs(x);
  const double ya = std::fabs(y);
  const double w = std::max(xa, ya);
  const double z = std::min(xa, ya);
  if (z == 0.0 || w > std::numeric_limits<double>::max()) return w;
  const double ratio = z / w;
  return w * std::sqrt(1.0 + ratio * ratio);
}

}  // namespace

// LAPACK 3.x DLANV2 (with its rescaling loop), step for step.
StandardBlock standardize_block(double a, double b, double c, double d) noexcept {
  double cs = 1.0;
  double sn = 0.0;
  if (c == 0.0) {
  } else if (b == 0.0) {
    // Swap rows and columns.
    cs = 0.0;
    sn = 1.0;
    std::swap(a, d);
    b = -c;
    c = 0.0;
  } else if (a - d == 0.0 && std::signbit(b) != std::signbit(c)) {
  } else {
    double temp = a - d;
    double p = 0.5 * temp;
    const double bcmax = std::max(std::fabs(b), std::fabs(c));
    const double bcmis = std::min(std::fabs(b), std::fabs(c)) * sign_of(1.0, b) * sign_of(1.0, c);
    double scale = std::max(std::fabs(p), bcmax);
    double z = (p / scale) * p + (bcmax / scale) * bcmis;
    if (z >= kMultiple * kUlp) {
      // Real eigenvalues: compute a and d.
      z = p + sign_of(std::sqrt(scale) * std::sqrt(z), p);
      a = d + z;
      d = d - (bcmax / z) * bcmis;
      const double tau = pythag(c, z);
      cs = z / tau;
      sn = c / tau;
      b = b - c;
      c = 0.0;
    } else {
      // Complex or nearly equal real eigenvalues: make the diagonal equal.
      double sigma = b + c;
      for (int count = 1;; ++count) {
        scale = std::max(std::fabs(temp), std::fabs(sigma));
        if (scale >= kSafmx2) {
          sigma *= kSafmn2;
          temp *= kSafmn2;
          if (count <= kRescalePasses) continue;
        }
        if (scale <= kSafmn2) {
          sigma *= kSafmx2;
          temp *= kSafmx2;
          if (count <= kRescalePasses) continue;
        }
        break;
      }
      p = 0.5 * temp;
      double tau = pythag(sigma, temp);
      cs = std::sqrt(0.5 * (1.0 + std::fabs(sigma) / tau));
      sn = -(p / (tau * cs)) * sign_of(1.0, sigma);
      // [aa bb; cc dd] = [a b; c d]·[cs -sn; sn cs]
      const double aa = a * cs + b * sn;
      const double bb = -a * sn + b * cs;
      const double cc = c * cs + d * sn;
      const double dd = -c * sn + d * cs;
      // [a b; c d] = [cs sn; -sn cs]·[aa bb; cc dd]
      a = aa * cs + cc * sn;
      b = bb * cs + dd * sn;
      c = -aa * sn + cc * cs;
      d = -bb * sn + dd * cs;
      temp = 0.5 * (a + d);
      a = temp;
      d = temp;
      if (c != 0.0) {
        if (b != 0.0) {
          if (std::signbit(b) == std::signbit(c)) {
            // Real eigenvalues after all: reduce to upper triangular form.
            const double sab = std::sqrt(std::fabs(b));
            const double sac = std::sqrt(std::fabs(c));
            p = sign_of(sab * sac, c);
            tau = 1.0 / std::sqrt(std::fabs(b + c));
            a = temp + p;
            d = temp - p;
            b = b - c;
            c = 0.0;
            const double cs1 = sab * tau;
            const double sn1 = sac * tau;
            const double rotated = cs * cs1 - sn * sn1;
            sn = cs * sn1 + sn * cs1;
            cs = rotated;
          }
        } else {
          b = -c;
          c = 0.0;
          const double swapped = cs;
          cs = -sn;
          sn = swapped;
        }
      }
    }
  }
  StandardBlock out{a, b, c, d, a, 0.0, d, 0.0, cs, sn};
  if (c != 0.0) {
    out.rt1i = std::sqrt(std::fabs(b)) * std::sqrt(std::fabs(c));
    out.rt2i = -out.rt1i;
  }
  return out;
}

}  // namespace kavo_ops::francis
