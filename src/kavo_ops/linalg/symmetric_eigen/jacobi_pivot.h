#pragma once
// The classical Jacobi pivot: the largest significant off-diagonal entry of
// the upper triangle, ties to the first in row-major order. Entry (i, j) is
// significant when |a_ij| > ε·max(s_i·s_j, τ), s_i = √|a_ii|, τ the absolute
// floor ε·‖A‖_F; an entry that is not significant never competes.
//
// Two searches give the same pivot, bit for bit:
//  - jacobi_full_scan: the upper triangle row by row, O(n²) per call;
//  - JacobiPivotTracker: each row's best entry (largest significant, lowest
//    column on ties) kept between rotations. A rotation in the plane (p, q)
//    changes only entries in rows and columns p and q and the diagonal at p
//    and q, so rows p and q are rescanned, every row above q looks at its
//    entries in columns p and q (and is rescanned only when its best entry
//    sat there), and the pivot is the best of the row bests, lowest row on
//    ties: O(n) per rotation on average.

#include <cstdint>
#include <vector>

namespace kavo_ops {

struct JacobiPivot {
  bool found = false;
  std::uint64_t p = 0;
  std::uint64_t q = 0;
  double magnitude = 0.0;
};

// The significance test both searches share, so they round alike.
inline bool jacobi_significant(double magnitude, double s_i, double s_j, double floor) noexcept {
  const double product = s_i * s_j;
  const double t = product < floor ? floor : product;
  return magnitude > 0x1p-52 * t;
}

// a: row-major n x n, exactly symmetric; roots: n entries of scratch.
JacobiPivot jacobi_full_scan(const double* a, std::uint64_t n, double floor, double* roots);

class JacobiPivotTracker {
 public:
  JacobiPivotTracker(std::uint64_t n, double floor);

  // Rebuilds every row's best from scratch.
  void reset(const double* a);
  // After a rotation in the plane (p, q), p < q, has been applied to a.
  void rotated(const double* a, std::uint64_t p, std::uint64_t q);
  JacobiPivot pivot() const;

 private:
  void rescan_row(const double* a, std::uint64_t i);
  void offer(std::uint64_t i, std::uint64_t j, double magnitude);

  std::uint64_t n_;
  double floor_;
  std::vector<double> roots_;          // √|a_ii|
  std::vector<double> row_best_;       // 0 when the row has no significant entry
  std::vector<std::uint64_t> row_col_; // n when the row has no significant entry
  std::vector<std::uint64_t> revisit_; // scratch: rows a rotation may have changed
};

}  // namespace kavo_ops
