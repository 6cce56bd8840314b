#pragma once
// gemv of the vector tiers, compiled by each with its own target flags over
// its float64 lanes L (fyrel/lanes), L lanes per vector:
//   acc0..acc3  partial sums of four rows; lane l of acc_k sums row k's
//               columns j = l (mod L), fused, from zero in ascending j
//   x0, x1      the two column vectors of x that the four rows share, so x
//               is read once per four rows
// Columns go two vectors at a time, then one, then a masked vector of the
// last n mod L (masked-off lanes are not read, so nothing outside the row is
// touched; they load as zero, and fma(0, 0, acc) leaves acc exact). Each
// accumulator is then reduced by adding its upper half onto its lower half
// until one lane is left, and added to its y[i]. Rows left over below a
// multiple of four go one at a time through the same columns.
// Include only from a tier source: everything here has internal linkage.

#include <cstddef>

#include "fyrel/gemv/gemv_lengths.h"

namespace fyrel {
namespace {

constexpr std::size_t kGemvRows = 4;

// y[0 .. 4) += the four rows starting at a (stride s) times x.
template <class L>
void four_rows(const double* a, std::size_t s, const double* x, std::size_t n, typename L::Mask tail,
               double* y) noexcept {
  constexpr std::size_t lanes = L::lanes;
  const double* r[kGemvRows];
  typename L::Reg acc[kGemvRows];
  for (std::size_t k = 0; k < kGemvRows; ++k) {
    r[k] = a + k * s;
    acc[k] = L::zero();
  }
  std::size_t j = 0;
  for (; j + 2 * lanes <= n; j += 2 * lanes) {
    const auto x0 = L::load(x + j);
    const auto x1 = L::load(x + j + lanes);
    for (std::size_t k = 0; k < kGemvRows; ++k) acc[k] = L::fma(L::load(r[k] + j), x0, acc[k]);
    for (std::size_t k = 0; k < kGemvRows; ++k) acc[k] = L::fma(L::load(r[k] + j + lanes), x1, acc[k]);
  }
  if (j + lanes <= n) {
    const auto x0 = L::load(x + j);
    for (std::size_t k = 0; k < kGemvRows; ++k) acc[k] = L::fma(L::load(r[k] + j), x0, acc[k]);
    j += lanes;
  }
  if (j < n) {
    const auto x0 = L::masked_load(x + j, tail);
    for (std::size_t k = 0; k < kGemvRows; ++k) acc[k] = L::fma(L::masked_load(r[k] + j, tail), x0, acc[k]);
  }
  for (std::size_t k = 0; k < kGemvRows; ++k) y[k] = y[k] + L::sum_lanes(acc[k]);
}

// y[0] += the row at a times x, with the column scheme of four_rows.
template <class L>
void one_row(const double* a, const double* x, std::size_t n, typename L::Mask tail, double* y) noexcept {
  constexpr std::size_t lanes = L::lanes;
  auto acc = L::zero();
  std::size_t j = 0;
  for (; j + 2 * lanes <= n; j += 2 * lanes) {
    acc = L::fma(L::load(a + j), L::load(x + j), acc);
    acc = L::fma(L::load(a + j + lanes), L::load(x + j + lanes), acc);
  }
  if (j + lanes <= n) {
    acc = L::fma(L::load(a + j), L::load(x + j), acc);
    j += lanes;
  }
  if (j < n) acc = L::fma(L::masked_load(a + j, tail), L::masked_load(x + j, tail), acc);
  y[0] = y[0] + L::sum_lanes(acc);
}

template <class L>
bool gemv_body(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y, std::size_t y_len,
               std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_lengths_fit(a_len, x_len, y_len, m, n, s)) return false;
  if (m == 0 || n == 0) return true;
  const auto tail = L::first_lanes(n % L::lanes);
  std::size_t i = 0;
  for (; i + kGemvRows <= m; i += kGemvRows) four_rows<L>(a + i * s, s, x, n, tail, y + i);
  for (; i < m; ++i) one_row<L>(a + i * s, x, n, tail, y + i);
  return true;
}

}  // namespace
}  // namespace fyrel
