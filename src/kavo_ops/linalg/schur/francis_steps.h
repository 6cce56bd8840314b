#pragma once
// The steps of the Francis double-shift iteration behind schur.h, each in
// its own file. H is row-major n×n; Z is kept transposed (Zᵀ row-major), so
// that applying a reflector or rotation to columns of Z walks contiguous
// rows: every element sees exactly the operations of the column-wise update.

#include <complex>
#include <cstddef>
#include <cstdint>
#include <optional>

#include "kavo/error/array_error.h"

namespace kavo_ops::francis {

inline constexpr double kUlp = 0x1p-52;
inline constexpr double kSafmin = 0x1p-1022;

// How a sweep's bulge chase groups its steps. A window of `window` steps
// chases the bulge through the rows and columns it is crossing, recording
// each step's reflector; then the recorded reflectors pass together over
// the rest of those rows (to the right), the rest of those columns (above)
// and Z, chunk by chunk (bulge_panel.h). That rest goes on the executor in
// pieces of `piece` columns (or rows) once a window updates at least
// `parallel_elements` entries there. A sweep whose rows and columns span
// fewer than `windowed_from` entries applies each step across them at once.
// Only the order of independent work changes, never a bit; the defaults
// were measured on two cores, and tests force small ones.
struct ChaseSplit {
  std::size_t windowed_from = 128;
  std::size_t window = 32;
  std::uint64_t parallel_elements = std::uint64_t{1} << 16;
  std::size_t piece = 64;
};

struct ActiveMatrix {
  double* h;     // n×n, row-major, updated in place into T
  std::size_t n;
  double* zt;    // Zᵀ, n×n row-major, or null when Z is not wanted
  bool full;     // schur: whole rows and columns; eigenvalues: the active block only
  ChaseSplit split{};
  double at(std::size_t r, std::size_t c) const noexcept { return h[r * n + c]; }
  double& at(std::size_t r, std::size_t c) noexcept { return h[r * n + c]; }
};

// The absolute floor F below which a subdiagonal entry always deflates:
// max(safmin, 2^(E-c)·min(2^c·safmin·2^52, 2^-52)), E = ⌊log₂ max|h|⌋,
// c = ⌈log₂ n⌉; safmin for a zero or non-finite largest magnitude.
double deflation_floor(const double* h, std::size_t n) noexcept;

// s_k = |h(k-1,k-1)| + |h(k,k)| + |h(k-1,k-2)| (k ≥ 2) + |h(k+1,k)| (k+1 < n).
double neighbour_sum(const ActiveMatrix& m, std::size_t k) noexcept;

// Whether h(k, k-1) may be set to zero (DLAHQR's test; `relaxed` after 19
// iterations on one block: |h(k,k-1)| ≤ ulp·s_k).
bool negligible_subdiagonal(const ActiveMatrix& m, std::size_t k, double floor, bool relaxed) noexcept;

struct Shifts {
  double r1, i1, r2, i2;
};
// The two shifts for iteration `its` on the block lo..hi (exceptional ones
// when its is a multiple of 10).
Shifts francis_shifts(const ActiveMatrix& m, std::size_t lo, std::size_t hi, unsigned its) noexcept;

// Where the bulge starts (m, the first row the double shift touches) and the
// first column of (H - σ₁)(H - σ₂) at rows m..m+2, normalized.
struct BulgeStart {
  std::size_t m;
  double v[3];
};
BulgeStart bulge_start(const ActiveMatrix& m, std::size_t lo, std::size_t hi, const Shifts& shifts) noexcept;

// I - τ·u·uᵀ with u = (1, v1, v2) mapping x to (β, 0, 0).
struct BulgeReflector {
  double v1, v2, tau, beta;
};
// x holds `r` (2 or 3) entries; none when x₁ (and x₂) are exactly 0.
std::optional<BulgeReflector> bulge_reflector(const double* x, std::size_t r) noexcept;

// Widths above this go through a work row and the fused row kernel; narrower
// ones column by column (the three-term update is cheaper than the work
// row's setup there, DLAHQR's own split).
inline constexpr std::size_t kWorkRowAbove = 31;

// Rows k..k+r-1, columns [c0, c1) of row-major `a` from the left, rounded
// the work row's way (fused) when c1 - c0 > kWorkRowAbove.
void reflect_bulge_left(double* a, std::size_t row_stride, std::size_t k, std::size_t r, std::size_t c0,
                        std::size_t c1, const BulgeReflector& p) noexcept;
// The same over part [c0, c1) of a wider update whose rounding (`fused`)
// its full width chose: each column's operations do not depend on the others.
void reflect_bulge_left_part(double* a, std::size_t row_stride, std::size_t k, std::size_t r, std::size_t c0,
                             std::size_t c1, const BulgeReflector& p, bool fused) noexcept;
// Columns k..k+r-1 of rows [r0, r1] of row-major `a` from the right.
void reflect_bulge_right(double* a, std::size_t row_stride, std::size_t r0, std::size_t r1, std::size_t k,
                         std::size_t r, const BulgeReflector& p) noexcept;
// Columns k..k+r-1 of Z (all n rows) from the right, on Zᵀ's rows.
void reflect_bulge_transposed(double* zt, std::size_t n, std::size_t k, std::size_t r,
                              const BulgeReflector& p) noexcept;

// One double-shift sweep over the block lo..hi starting at `start`: for
// k = m .. hi-1 the step's reflector from the left over rows k..k+r-1,
// columns k .. (n or hi), from the right over columns k..k+r-1, rows (0 or
// lo) .. min(k+3, hi), and to Z; in windows of steps (ChaseSplit), each
// element taking the same operations in the same order.
void chase_bulge(ActiveMatrix& m, std::size_t lo, std::size_t hi, const BulgeStart& start);

// The iteration for n ≥ 3 until every diagonal block is 1×1 or 2×2.
kavo::Expected<void> iterate_to_quasi_triangle(ActiveMatrix& m);

// DLANV2: the standardized 2×2 block, its eigenvalues and the rotation
// (cs, sn) with [[a, b], [c, d]] = [[cs, -sn], [sn, cs]]ᵀ·(input)·[[cs, -sn], [sn, cs]].
struct StandardBlock {
  double a, b, c, d;
  double rt1r, rt1i, rt2r, rt2i;
  double cs, sn;
};
StandardBlock standardize_block(double a, double b, double c, double d) noexcept;

// Walks the diagonal blocks top to bottom, standardizes each 2×2 one (in
// full mode writing it into T and rotating T's rows and columns and Z) and,
// when `eigenvalues` is not null, lists the n eigenvalues.
void standardize_quasi_triangle(ActiveMatrix& m, std::complex<double>* eigenvalues) noexcept;

}  // namespace kavo_ops::francis
