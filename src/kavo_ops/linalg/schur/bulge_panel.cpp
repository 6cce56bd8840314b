#include "kavo_ops/linalg/schur/bulge_panel.h"

#include <algorithm>

#include "platform/per_tier.h"

namespace kavo_ops::francis {
namespace {

constexpr platform::PerTier<BulgePanelKernels> bulge_panel_kernels{bulge_panel_tier_a, bulge_panel_tier_b,
                                                                   bulge_panel_tier_c};

}  // namespace

void apply_bulge_steps(double* panel, std::size_t row_stride, std::size_t first_row, std::size_t width,
                       const RecordedBulgeStep* steps, std::size_t count, BulgeRounding rounding) noexcept {
  if (width == 0 || count == 0) return;
  bulge_panel_kernels.active().apply(panel, row_stride, first_row, width, steps, count,
                                     rounding == BulgeRounding::three_term);
}

std::size_t bulge_right_scratch(std::size_t columns) noexcept {
  std::size_t group = 0;
  for (const BulgePanelKernels* k : {&bulge_panel_tier_a, &bulge_panel_tier_b, &bulge_panel_tier_c}) {
    group = std::max(group, k->right_group);
  }
  return group * columns;
}

void apply_bulge_steps_right(double* block, std::size_t row_stride, std::size_t rows, std::size_t first_column,
                             std::size_t columns, const RecordedBulgeStep* steps, std::size_t count,
                             double* scratch) noexcept {
  if (rows == 0 || count == 0) return;
  bulge_panel_kernels.active().apply_right(block, row_stride, rows, first_column, columns, steps, count, scratch);
}

}  // namespace kavo_ops::francis
