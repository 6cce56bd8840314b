#include <algorithm>
#include <vector>

#include "kavo_ops/linalg/schur/bulge_panel.h"
#include "kavo_ops/linalg/schur/francis_steps.h"
#include "kavo_ops/parallel/for_each_part.h"
#include "kavo_ops/parallel/executor_loops.h"

namespace kavo_ops::francis {
namespace {

// Where a window's recorded reflectors still have to go once its steps have
// crossed the rows and columns near the diagonal.
struct WindowRest {
  std::size_t k0;           // the window's first step (and first row)
  std::size_t rows_end;     // its reflected rows are k0 .. rows_end-1
  std::size_t right_begin;  // H's columns right of the near block: right_begin ..
  std::size_t right_end;    // .. right_end-1 (the left update's last column + 1)
  std::size_t top_begin;    // H's rows above the near block: top_begin .. k0-1
  std::size_t columns_end;  // the columns k0 .. columns_end-1 the right updates reach
};

// Rows [b, e) of H above the window, columns k0 .. columns_end-1, through
// this thread's scratch.
void reflect_rows_above(ActiveMatrix& mat, const WindowRest& rest, const std::vector<RecordedBulgeStep>& steps,
                        std::size_t b, std::size_t e) {
  thread_local std::vector<double> scratch;
  const std::size_t columns = rest.columns_end - rest.k0;
  const std::size_t size = bulge_right_scratch(columns);
  if (scratch.size() < size) scratch.resize(size);
  apply_bulge_steps_right(mat.h + b * mat.n + rest.k0, mat.n, e - b, rest.k0, columns, steps.data(), steps.size(),
                          scratch.data());
}

void apply_window_rest(ActiveMatrix& mat, const WindowRest& rest, const std::vector<RecordedBulgeStep>& steps) {
  if (steps.empty()) return;
  const std::size_t n = mat.n;
  double* right_panel = mat.h + rest.k0 * n + rest.right_begin;
  double* z_panel = mat.zt ? mat.zt + rest.k0 * n : nullptr;
  const std::size_t right_width = rest.right_end - rest.right_begin;
  const std::size_t z_width = mat.zt ? n : 0;
  const std::size_t top_rows = rest.k0 - rest.top_begin;
  const std::uint64_t elements = std::uint64_t{steps.size()} * 3 * (right_width + z_width + top_rows);
  if (elements < mat.split.parallel_elements) {
    apply_bulge_steps(right_panel, n, rest.k0, right_width, steps.data(), steps.size(), BulgeRounding::as_recorded);
    if (z_panel) apply_bulge_steps(z_panel, n, rest.k0, n, steps.data(), steps.size(), BulgeRounding::three_term);
    if (top_rows != 0) reflect_rows_above(mat, rest, steps, rest.top_begin, rest.k0);
    return;
  }
  // Each thread takes the same share of every panel window after window
  // (for_each_part.h), so the panels stay in its core's cache.
  const std::uint64_t parts = part_count(right_width + z_width + top_rows, mat.split.piece);
  for_each_index(parts, [&](std::uint64_t part) {
    const PartRange right = part_range(right_width, parts, part);
    apply_bulge_steps(right_panel + right.begin, n, rest.k0, right.end - right.begin, steps.data(), steps.size(),
                      BulgeRounding::as_recorded);
    if (z_panel) {
      const PartRange z = part_range(z_width, parts, part);
      apply_bulge_steps(z_panel + z.begin, n, rest.k0, z.end - z.begin, steps.data(), steps.size(),
                        BulgeRounding::three_term);
    }
    const PartRange top = part_range(top_rows, parts, part);
    if (top.end > top.begin) reflect_rows_above(mat, rest, steps, rest.top_begin + top.begin, rest.top_begin + top.end);
  });
}

// The generation and the direct writes of step k; none when no reflector
// is needed.
std::optional<BulgeReflector> step_reflector(ActiveMatrix& mat, std::size_t lo, std::size_t hi,
                                             const BulgeStart& start, std::size_t k) {
  const std::size_t m = start.m;
  const std::size_t r = std::min<std::size_t>(3, hi - k + 1);
  double x[3];
  if (k == m) {
    x[0] = start.v[0];
    x[1] = start.v[1];
    x[2] = start.v[2];
  } else {
    for (std::size_t i = 0; i < r; ++i) x[i] = mat.at(k + i, k - 1);
  }
  const auto p = bulge_reflector(x, r);
  if (!p) return p;
  if (k > m) {
    mat.at(k, k - 1) = p->beta;
    mat.at(k + 1, k - 1) = 0.0;
    if (r == 3) mat.at(k + 2, k - 1) = 0.0;
  } else if (m > lo) {
    // The start reflector also scales the entry left of the bulge, which
    // the start test judged negligible only against its neighbours
    // (DLAHQR keeps it as h(k,k-1)·(1 - τ)).
    mat.at(k, k - 1) *= (1.0 - p->tau);
  }
  return p;
}

}  // namespace

void chase_bulge(ActiveMatrix& mat, std::size_t lo, std::size_t hi, const BulgeStart& start) {
  const std::size_t m = start.m;
  const std::size_t n = mat.n;
  const std::size_t last_column = mat.full ? n : hi + 1;  // exclusive
  const std::size_t first_row = mat.full ? 0 : lo;
  if (last_column - first_row < mat.split.windowed_from) {
    // Small: each step's reflector across its whole rows and columns.
    for (std::size_t k = m; k < hi; ++k) {
      const std::size_t r = std::min<std::size_t>(3, hi - k + 1);
      const auto p = step_reflector(mat, lo, hi, start, k);
      if (!p) continue;
      reflect_bulge_left(mat.h, n, k, r, k, last_column, *p);
      reflect_bulge_right(mat.h, n, first_row, std::min(k + 3, hi), k, r, *p);
      if (mat.zt) reflect_bulge_transposed(mat.zt, n, k, r, *p);
    }
    return;
  }
  const std::size_t window = std::max<std::size_t>(1, mat.split.window);
  std::vector<RecordedBulgeStep> steps;
  steps.reserve(std::min(window, hi - m));
  for (std::size_t k0 = m; k0 < hi; k0 += window) {
    const std::size_t k1 = std::min(hi, k0 + window);
    // The near block: rows k0 .. min(k1+2, hi), columns k0 .. near_end-1,
    // every element the window's steps reach there; the steps' reflectors
    // are generated from it alone.
    const std::size_t near_end = std::min(k1 + 2, last_column);
    steps.clear();
    for (std::size_t k = k0; k < k1; ++k) {
      const std::size_t r = std::min<std::size_t>(3, hi - k + 1);
      const auto p = step_reflector(mat, lo, hi, start, k);
      if (!p) continue;
      const bool fused = last_column - k > kWorkRowAbove;
      reflect_bulge_left_part(mat.h, n, k, r, k, near_end, *p, fused);
      reflect_bulge_right(mat.h, n, std::max(first_row, k0), std::min(k + 3, hi), k, r, *p);
      steps.push_back({k, r, p->v1, p->v2, p->tau, fused});
    }
    const WindowRest rest{k0, std::min(k1 + 1, hi) + 1, near_end, last_column, first_row,
                          std::min(k1 + 2, hi + 1)};
    apply_window_rest(mat, rest, steps);
  }
}

}  // namespace kavo_ops::francis
