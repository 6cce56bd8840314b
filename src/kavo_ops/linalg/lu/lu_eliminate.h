#pragma once
// The elimination loops behind lu_decompose, over a LuFactors whose factor
// storage holds the (finite) input, perm the identity and sign +1.
//
// Column path, two arrangements with the same bits:
//  - lu_factor_columns: the plain loop, lu_eliminate_column(j, n) for every j.
//  - lu_factor_columns_blocked: right-looking blocks of `block` columns
//    [f, e). Each element still receives its updates
//        A[i][c] = fma(-A[i][t], A[t][c], A[i][c])   for t ascending
//    with the same operands, only at other times:
//        1. panel:    lu_eliminate_column(j, e) for j in [f, e), whole-row swaps
//        2. U12:      rows k in [f, e), columns c >= e, t = f .. k-1   (axpy)
//        3. trailing: A[e.., e..] chained over t = f .. e-1            (tiles)
//    A row exchanged in step 1 carries its stored multipliers, so the
//    delayed updates of steps 2 and 3 see what the plain loop saw. Step 1
//    itself recurses the same way on halves of the panel's columns down to
//    kLuLeafColumns (Toledo's recursive LU, SIAM J. Matrix Anal. Appl. 1997),
//    so most of the panel's work is products too. With look-ahead, step 1
//    of the next block runs beside step 3 of this one, its exchanges held
//    back from the columns step 3 is still updating until it ends.
//
//        f     e
//      +-----+--------+
//    f | 1   | 2: U12 |
//    e |     +--------+
//      | L21 | 3      |
//      +-----+--------+
//
// Panel path (lu_factor_panels): 64-column panels, U12 as
// A[k][c] -= (sum over t of A[k][t] * A[t][c]), rounded differently from
// the column path, trailing block by the matrix product as in step 3.

#include <cstdint>
#include <vector>

#include "kavo/error/array_error.h"
#include "kavo_ops/linalg/lu/lu.h"

namespace kavo_ops {

inline constexpr std::uint64_t kLuPanelWidth = 64;
// Columns eliminated one by one at the bottom of the blocked path's recursion.
inline constexpr std::uint64_t kLuLeafColumns = 16;
// Matrices of at least this order (where blocks are 64 columns wide,
// lu_decompose.cpp) factor each next panel while the trailing update runs,
// when more than one thread may work: det on two cores measured 12 % faster
// at n = 1000 and 10 % at 2000; on one thread the look-ahead only costs.
inline constexpr std::uint64_t kLuLookAheadFrom = 512;

// One elimination column: pivot search over rows j..n-1 (ties to the lowest
// row), whole-row exchange, multipliers stored in column j, and the rows
// below updated over columns (j, panel_end). Singular column: StorageError.
kavo::Expected<void> lu_eliminate_column(LuFactors& lu, std::uint64_t j, std::uint64_t panel_end);

// A row exchange made on columns [0, swap_end) only, the rest left to the
// caller: rows `row` and `pivot` still differ on columns [swap_end, n).
struct PendingExchange {
  std::uint64_t row, pivot;
};
// The same step with the exchange limited to columns [0, swap_end); when it
// exchanges, {j, pivot} is appended to `pending`.
kavo::Expected<void> lu_eliminate_column(LuFactors& lu, std::uint64_t j, std::uint64_t panel_end,
                                         std::uint64_t swap_end, std::vector<PendingExchange>* pending);

kavo::Expected<void> lu_factor_columns(LuFactors& lu);
// From `look_ahead_from` columns on, the blocked path factors the next panel
// while the rest of the trailing block is updated (lu_factor_blocked.cpp).
kavo::Expected<void> lu_factor_columns_blocked(LuFactors& lu, std::uint64_t block,
                                               std::uint64_t look_ahead_from = kLuLookAheadFrom);
kavo::Expected<void> lu_factor_panels(LuFactors& lu);

// Step 3: A[e.., e..] = fma chain over t in [f, e) of -A[i][t] * A[t][c].
// `neg_l21` and `u12` are scratch of at least (n - e) * (e - f) entries each.
void lu_trailing_update(double* a, std::uint64_t n, std::uint64_t f, std::uint64_t e, double* neg_l21, double* u12);
// The same over columns [e, column_end) only (inside a panel); scratch of at
// least (n - e) * (e - f) and (e - f) * (column_end - e) entries.
void lu_trailing_update(double* a, std::uint64_t n, std::uint64_t f, std::uint64_t e, std::uint64_t column_end,
                        double* neg_l21, double* u12);
// Columns [c0, c1) of step 3 on the calling thread, with -L21 (rows e..,
// columns f..e) already packed row-major in `neg_l21`; `u12` is scratch of
// (e - f) * (c1 - c0) entries. Each element gets the same chain as above.
void lu_trailing_columns(double* a, std::uint64_t n, std::uint64_t f, std::uint64_t e, std::uint64_t c0,
                         std::uint64_t c1, const double* neg_l21, double* u12);
// Packs -A[e.., f..e) row-major into neg_l21 ((n - e) * (e - f) entries).
void lu_pack_neg_l21(const double* a, std::uint64_t n, std::uint64_t f, std::uint64_t e, double* neg_l21);

}  // namespace kavo_ops
