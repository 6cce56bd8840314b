#pragma once
// The pieces of one Bunch-Kaufman elimination step, apart so that each can
// be tested on the values that break the textbook forms.

#include <cstdint>

#include "kavo/error/array_error.h"

namespace kavo_ops {

// (1 + sqrt 17) / 8: minimises the growth bound per step.
inline constexpr double kBunchKaufmanAlpha = 0.6403882032022076;

// Whether the diagonal entry is an acceptable 1 x 1 pivot although it is
// smaller than alpha * colmax: absakk >= alpha * colmax^2 / rowmax.
// Requires 0 < colmax <= rowmax (rowmax includes colmax's mirror).
bool diagonal_pivot_holds(double absakk, double colmax, double rowmax);

// The inverse of the 2 x 2 pivot [[d, e], [e, f]] in a form scaled by the
// off-diagonal entry: inverse = t / e * [[f / e, -1], [-1, d / e]] with
// t = 1 / (d f / e^2 - 1). Requires e != 0.
struct TwoByTwoPivot {
  double e;
  double d_over_e;
  double t;
};

// StorageError "Bunch-Kaufman encountered a singular 2x2 pivot" when
// d f / e^2 rounds to exactly 1. The pivot rule keeps |d f| < alpha^2 e^2,
// so the elimination itself never meets it.
kavo::Expected<TwoByTwoPivot> two_by_two_pivot(double d, double e, double f);

// The multipliers (L[i][k], L[i][k+1]) of a row whose entries in the two
// pivot columns are o and r: [o, r] times the pivot's inverse. Every
// intermediate is bounded by the inputs or by the result.
struct TwoByTwoMultipliers {
  double first;
  double second;
};
TwoByTwoMultipliers two_by_two_multipliers(const TwoByTwoPivot& pivot, double f, double o, double r);

// Exchanges positions a < b of the symmetric working matrix w (n x n,
// row-major, lower triangle authoritative from column `from` on), rows a and
// b of l over its first `from` columns, and entries a and b of perm.
void symmetric_interchange(double* w, double* l, std::uint64_t* perm, std::uint64_t n, std::uint64_t from,
                           std::uint64_t a, std::uint64_t b);


}  // namespace kavo_ops
