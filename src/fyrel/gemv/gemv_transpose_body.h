#pragma once
// gemv_transpose of the vector tiers, compiled by each with its own target
// flags over its float64 lanes L (fyrel/lanes), L lanes per vector. y is
// updated in column chunks, each loaded once, carried down all m rows and
// stored once, so every y[j] is the chain fma(x[i], A[i, j], y[j]) over
// ascending i, as on every other tier:
//   4L columns  four vectors of y hold the chunk; rows two at a time, x[i]
//               and x[i+1] broadcast (eight independent fmas per step hide
//               the latency)
//    L columns  one vector of y; rows four at a time
//   tail        the last n mod L columns: masked loads and a masked store,
//               so nothing outside the window is read or written
// Include only from a tier source: everything here has internal linkage.

#include <cstddef>

#include "fyrel/gemv/gemv_lengths.h"

namespace fyrel {
namespace {

constexpr std::size_t kChunkVectors = 4;

// y[0 .. 4L) += sum_i x[i] * (row i of the window starting at a).
template <class L>
void four_vector_columns(const double* a, std::size_t s, const double* x, std::size_t m, double* y) noexcept {
  constexpr std::size_t lanes = L::lanes;
  typename L::Reg acc[kChunkVectors];
  for (std::size_t v = 0; v < kChunkVectors; ++v) acc[v] = L::load(y + v * lanes);
  std::size_t i = 0;
  for (; i + 2 <= m; i += 2) {
    const double* r0 = a + i * s;
    const double* r1 = r0 + s;
    const auto x0 = L::splat(x[i]);
    const auto x1 = L::splat(x[i + 1]);
    for (std::size_t v = 0; v < kChunkVectors; ++v) acc[v] = L::fma(x0, L::load(r0 + v * lanes), acc[v]);
    for (std::size_t v = 0; v < kChunkVectors; ++v) acc[v] = L::fma(x1, L::load(r1 + v * lanes), acc[v]);
  }
  if (i < m) {
    const double* r0 = a + i * s;
    const auto x0 = L::splat(x[i]);
    for (std::size_t v = 0; v < kChunkVectors; ++v) acc[v] = L::fma(x0, L::load(r0 + v * lanes), acc[v]);
  }
  for (std::size_t v = 0; v < kChunkVectors; ++v) L::store(y + v * lanes, acc[v]);
}

// y[0 .. L) += sum_i x[i] * (row i of the window starting at a), every
// vector through `load`.
template <class L, class Load>
typename L::Reg one_vector_column_sums(const double* a, std::size_t s, const double* x, std::size_t m,
                                       typename L::Reg acc, Load load) noexcept {
  std::size_t i = 0;
  for (; i + 4 <= m; i += 4) {
    const double* r = a + i * s;
    acc = L::fma(L::splat(x[i]), load(r), acc);
    acc = L::fma(L::splat(x[i + 1]), load(r + s), acc);
    acc = L::fma(L::splat(x[i + 2]), load(r + 2 * s), acc);
    acc = L::fma(L::splat(x[i + 3]), load(r + 3 * s), acc);
  }
  for (; i < m; ++i) acc = L::fma(L::splat(x[i]), load(a + i * s), acc);
  return acc;
}

template <class L>
bool gemv_transpose_body(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                         std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept {
  if (!gemv_transpose_lengths_fit(a_len, x_len, y_len, m, n, s)) return false;
  if (m == 0 || n == 0) return true;
  constexpr std::size_t lanes = L::lanes;
  std::size_t j = 0;
  for (; j + kChunkVectors * lanes <= n; j += kChunkVectors * lanes) four_vector_columns<L>(a + j, s, x, m, y + j);
  const auto whole = [](const double* p) { return L::load(p); };
  for (; j + lanes <= n; j += lanes) L::store(y + j, one_vector_column_sums<L>(a + j, s, x, m, L::load(y + j), whole));
  if (j < n) {
    const auto mask = L::first_lanes(n - j);
    const auto masked = [mask](const double* p) { return L::masked_load(p, mask); };
    L::masked_store(y + j, one_vector_column_sums<L>(a + j, s, x, m, L::masked_load(y + j, mask), masked), mask);
  }
  return true;
}

}  // namespace
}  // namespace fyrel
