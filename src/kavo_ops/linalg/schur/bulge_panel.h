#pragma once
// The recorded reflectors of a window of bulge-chase steps, applied from the
// left to a panel of consecutive rows, column chunk by column chunk: the
// chunk stays in registers and the level-1 cache while every reflector of
// the window passes over it, where the plain chase sweeps each reflector
// across the whole width before the next. Columns are independent, so each
// element sees exactly the plain chase's operations in the same order, and
// any split into column ranges gives the same bits.
//
// A step reflects rows row .. row+r-1 (r = 2 or 3) by I - tau u u^T with
// u = (1, v1[, v2]); per column, with x_i the rows' entries:
//   fused       s = fma(1, x0, 0), s = fma(v1, x1, s)[, s = fma(v2, x2, s)],
//               s = s * tau, x0 = fma(-1, s, x0), x_i = fma(-v_i, s, x_i)
//               (the work-row rounding of reflect_bulge_left above 31 columns)
//   three-term  s = (x0 + v1 x1)[ + v2 x2], s = tau s, x0 = x0 - s,
//               x_i = x_i - v_i s (every product rounded: reflect_bulge_left
//               up to 31 columns, reflect_bulge_right, reflect_bulge_transposed)
// The same bits on every processor tier (the tiers differ only in how many
// columns a vector holds).

#include <cstddef>

namespace kavo_ops::francis {

struct RecordedBulgeStep {
  std::size_t row;  // the first reflected row, k
  std::size_t r;    // 2 or 3
  double v1, v2, tau;
  bool fused;  // the rounding of this step's left update of H
};

enum class BulgeRounding {
  as_recorded,  // each step's own (H's rows)
  three_term,   // every step three-term (columns of H through their transpose, Z)
};

// Panel row t is row first_row + t (row stride `row_stride`); columns
// [0, width). Every step's rows lie in the panel.
void apply_bulge_steps(double* panel, std::size_t row_stride, std::size_t first_row, std::size_t width,
                       const RecordedBulgeStep* steps, std::size_t count, BulgeRounding rounding) noexcept;

// The same steps from the right, three-term: to columns first_column .. of
// `rows` rows of row-major `block` (its column 0 being column first_column;
// `columns` columns, every step's within them). Groups of rows go through
// `scratch` (bulge_right_scratch(columns) entries) transposed, so that each
// reflection runs down contiguous columns.
std::size_t bulge_right_scratch(std::size_t columns) noexcept;
void apply_bulge_steps_right(double* block, std::size_t row_stride, std::size_t rows, std::size_t first_column,
                             std::size_t columns, const RecordedBulgeStep* steps, std::size_t count,
                             double* scratch) noexcept;

// One table per processor tier, defined by bulge_panel_tier_[abc].cpp.
struct BulgePanelKernels {
  void (*apply)(double* panel, std::size_t row_stride, std::size_t first_row, std::size_t width,
                const RecordedBulgeStep* steps, std::size_t count, bool three_term) noexcept;
  void (*apply_right)(double* block, std::size_t row_stride, std::size_t rows, std::size_t first_column,
                      std::size_t columns, const RecordedBulgeStep* steps, std::size_t count,
                      double* scratch) noexcept;
  std::size_t right_group;  // rows per transposed group
};
extern const BulgePanelKernels bulge_panel_tier_a, bulge_panel_tier_b, bulge_panel_tier_c;

}  // namespace kavo_ops::francis
