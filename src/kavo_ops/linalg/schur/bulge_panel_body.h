#pragma once
// The chunked bulge-step loop every tier compiles with its own target flags
// (included by one source per tier, inside an anonymous namespace there).

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <utility>

#include "fyrel/lanes/lane_vector.h"
#include "kavo_ops/linalg/schur/bulge_panel.h"

namespace kavo_ops::francis {
namespace {

// Vectors of columns that go through the window together: a step depends on
// the one before it (they share two rows), so only the columns' independent
// chains, sixteen of them, can hide each step's latency.
constexpr std::size_t kBulgeChunkVectors = 16;

// `vectors` (at most kBulgeChunkVectors) vectors of `V` (LaneVector or the
// scalar one) from column 0 of the panel.
template <class V>
void bulge_chunk(double* panel, std::size_t row_stride, std::size_t first_row, const RecordedBulgeStep* steps,
                 std::size_t count, bool three_term, std::size_t vectors) noexcept {
  using Reg = typename V::Reg;
  constexpr std::size_t lanes = V::lanes;
  for (std::size_t t = 0; t < count; ++t) {
    const RecordedBulgeStep& s = steps[t];
    double* r0 = panel + (s.row - first_row) * row_stride;
    double* r1 = r0 + row_stride;
    double* r2 = r1 + row_stride;
    const bool three = s.r == 3;
    if (!three_term && s.fused) {
      const Reg one = V::splat(1.0), minus_one = V::splat(-1.0), zero = V::zero();
      const Reg v1 = V::splat(s.v1), v2 = V::splat(s.v2), minus_v1 = V::splat(-s.v1), minus_v2 = V::splat(-s.v2);
      const Reg tau = V::splat(s.tau);
      for (std::size_t u = 0; u < vectors; ++u) {
        const std::size_t j = u * lanes;
        const Reg x0 = V::load(r0 + j);
        const Reg x1 = V::load(r1 + j);
        Reg sum = V::fma(one, x0, zero);
        sum = V::fma(v1, x1, sum);
        if (three) {
          const Reg x2 = V::load(r2 + j);
          sum = V::fma(v2, x2, sum);
          sum = sum * tau;
          V::store(r2 + j, V::fma(minus_v2, sum, x2));
        } else {
          sum = sum * tau;
        }
        V::store(r0 + j, V::fma(minus_one, sum, x0));
        V::store(r1 + j, V::fma(minus_v1, sum, x1));
      }
    } else {
      const double v1 = s.v1, v2 = s.v2, tau = s.tau;
      for (std::size_t u = 0; u < vectors; ++u) {
        const std::size_t j = u * lanes;
        const Reg x0 = V::load(r0 + j);
        const Reg x1 = V::load(r1 + j);
        Reg sum = x0 + v1 * x1;
        if (three) {
          const Reg x2 = V::load(r2 + j);
          sum = sum + v2 * x2;
          sum = tau * sum;
          V::store(r2 + j, x2 - v2 * sum);
        } else {
          sum = tau * sum;
        }
        V::store(r0 + j, x0 - sum);
        V::store(r1 + j, x1 - v1 * sum);
      }
    }
  }
}

template <std::size_t Lanes>
void apply_bulge_steps_body(double* panel, std::size_t row_stride, std::size_t first_row, std::size_t width,
                            const RecordedBulgeStep* steps, std::size_t count, bool three_term) noexcept {
  using V = fyrel::LaneVector<double, Lanes>;
  using Scalar = fyrel::LaneVector<double, 1>;
  const std::size_t whole = width / Lanes;
  for (std::size_t v = 0; v < whole; v += kBulgeChunkVectors) {
    bulge_chunk<V>(panel + v * Lanes, row_stride, first_row, steps, count, three_term,
                   std::min(kBulgeChunkVectors, whole - v));
  }
  const std::size_t j = whole * Lanes;
  if (j < width) bulge_chunk<Scalar>(panel + j, row_stride, first_row, steps, count, three_term, width - j);
}

// Block transposes over L×L entries held in L registers (register i: L
// consecutive entries of row i), as log2 L rounds of swapping the
// off-diagonal blocks of G×G entries; afterwards register i holds column i.
template <std::size_t L, std::size_t G, class Reg, std::size_t... I>
[[gnu::always_inline]] inline Reg low_blocks(Reg a, Reg b, std::index_sequence<I...>) noexcept {
  return __builtin_shufflevector(a, b, ((I / G) % 2 == 0 ? I : I - G + L)...);
}
template <std::size_t L, std::size_t G, class Reg, std::size_t... I>
[[gnu::always_inline]] inline Reg high_blocks(Reg a, Reg b, std::index_sequence<I...>) noexcept {
  return __builtin_shufflevector(a, b, ((I / G) % 2 == 0 ? I + G : I + L)...);
}
template <std::size_t L, std::size_t G, class Reg>
[[gnu::always_inline]] inline void transpose_lanes(Reg* r) noexcept {
  if constexpr (G < L) {
    for (std::size_t i = 0; i < L; ++i) {
      if ((i / G) % 2 != 0) continue;
      const Reg a = r[i];
      const Reg b = r[i + G];
      r[i] = low_blocks<L, G>(a, b, std::make_index_sequence<L>());
      r[i + G] = high_blocks<L, G>(a, b, std::make_index_sequence<L>());
    }
    transpose_lanes<L, G * 2>(r);
  }
}

// Copies `rows` rows × `columns` columns of row-major `block` (row stride
// `row_stride`) into `scratch` transposed (column c at scratch + c *
// scratch_stride), or back when `back`: L×L blocks through registers, the
// ragged edges entry by entry.
template <std::size_t Lanes>
void transpose_rows(double* block, std::size_t row_stride, std::size_t rows, std::size_t columns, double* scratch,
                    std::size_t scratch_stride, bool back) noexcept {
  using V = fyrel::LaneVector<double, Lanes>;
  using Reg = typename V::Reg;
  const std::size_t whole_rows = rows / Lanes * Lanes;
  const std::size_t whole_columns = columns / Lanes * Lanes;
  for (std::size_t r0 = 0; r0 < whole_rows; r0 += Lanes) {
    for (std::size_t c0 = 0; c0 < whole_columns; c0 += Lanes) {
      Reg reg[Lanes];
      if (back) {
        for (std::size_t i = 0; i < Lanes; ++i) reg[i] = V::load(scratch + (c0 + i) * scratch_stride + r0);
        transpose_lanes<Lanes, 1>(reg);
        for (std::size_t i = 0; i < Lanes; ++i) V::store(block + (r0 + i) * row_stride + c0, reg[i]);
      } else {
        for (std::size_t i = 0; i < Lanes; ++i) reg[i] = V::load(block + (r0 + i) * row_stride + c0);
        transpose_lanes<Lanes, 1>(reg);
        for (std::size_t i = 0; i < Lanes; ++i) V::store(scratch + (c0 + i) * scratch_stride + r0, reg[i]);
      }
    }
  }
  for (std::size_t r = 0; r < rows; ++r) {
    const std::size_t c_begin = r < whole_rows ? whole_columns : 0;
    for (std::size_t c = c_begin; c < columns; ++c) {
      double& entry = block[r * row_stride + c];
      double& copy = scratch[c * scratch_stride + r];
      if (back) {
        entry = copy;
      } else {
        copy = entry;
      }
    }
  }
}

// The steps from the right over columns first_column .. of `rows` rows of
// row-major `block` (its column 0 is column first_column), three-term:
// groups of rows go through `scratch` transposed, so that each reflection
// runs down contiguous columns.
template <std::size_t Lanes>
void apply_bulge_steps_right_body(double* block, std::size_t row_stride, std::size_t rows, std::size_t first_column,
                                  std::size_t columns, const RecordedBulgeStep* steps, std::size_t count,
                                  double* scratch) noexcept {
  using V = fyrel::LaneVector<double, Lanes>;
  using Scalar = fyrel::LaneVector<double, 1>;
  constexpr std::size_t group = kBulgeChunkVectors * Lanes;
  for (std::size_t r0 = 0; r0 < rows; r0 += group) {
    const std::size_t n = std::min(group, rows - r0);
    double* part = block + r0 * row_stride;
    transpose_rows<Lanes>(part, row_stride, n, columns, scratch, group, false);
    const std::size_t whole = n / Lanes * Lanes;
    if (whole != 0) bulge_chunk<V>(scratch, group, first_column, steps, count, true, whole / Lanes);
    if (whole < n) bulge_chunk<Scalar>(scratch + whole, group, first_column, steps, count, true, n - whole);
    transpose_rows<Lanes>(part, row_stride, n, columns, scratch, group, true);
  }
}

}  // namespace
}  // namespace kavo_ops::francis
