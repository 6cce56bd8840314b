#pragma once
// Matrix-vector products in float64 over a row-major m x n window A whose
// row i starts at a + i * s (s >= n, so A may be a window of a larger
// matrix; elements between the rows are never read).
//
//   gemv            y[i] += sum_j A[i, j] * x[j]   for i < m, j < n
//   gemv_transpose  y[j] += sum_i x[i] * A[i, j]   for j < n, i < m
//
// Lengths: a_len >= n + s * (m - 1) (computed without overflow; nothing is
// needed of a when m = 0) and s >= n; gemv needs x_len >= n and y_len >= m,
// gemv_transpose x_len >= m and y_len >= n. When a check fails nothing
// happens. Only y[0 .. m) (gemv) or y[0 .. n) (gemv_transpose) is written;
// an empty sum (m = 0 or n = 0) leaves y exactly as it was.
//
// Rounding, which callers may rely on:
//  - gemv_transpose makes every y[j] the chain y[j] = fma(x[i], A[i, j], y[j])
//    over i = 0 .. m - 1 in ascending order, so its result is the same on
//    every processor tier, bit for bit.
//  - gemv splits each row over L lanes (L = 8 on tier A, 4 on tiers B and C):
//    lane l sums the columns j = l (mod L) from zero by fused multiply-adds in
//    ascending j; the lanes are combined by adding the upper half onto the
//    lower half until one is left (L = 4: (l0 + l2) + (l1 + l3)), and that
//    sum is added to y[i] with one rounding. Tiers B and C therefore agree
//    bit for bit; tier A differs from them in the last bits. To first order
//    the error is at most (ceil(n / L) + log2 L + 1) * 2^-53 *
//    (sum_j |A[i, j] x[j]| + |y[i]|), the usual bound for that summation tree.
//
// Costs: 2mn flops; A is read once. gemv keeps four rows' partial sums in
// registers and reads x once per four rows; gemv_transpose keeps a chunk of y
// in registers across all m rows (up to 32 columns), so it reads y and
// writes it once, and reads x once per chunk. Runs on the calling thread and
// allocates nothing.

#include <cstddef>

namespace fyrel {

void gemv(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y, std::size_t y_len,
          std::size_t m, std::size_t n, std::size_t s) noexcept;

void gemv_transpose(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                    std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept;

}  // namespace fyrel
