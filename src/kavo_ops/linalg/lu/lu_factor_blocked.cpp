#include <algorithm>
#include <atomic>
#include <optional>
#include <vector>

#include "kavo/storage/buffer.h"
#include "kavo_ops/linalg/lu/lu_eliminate.h"
#include "kavo_ops/matrix/generic_kernel.h"
#include "kavo_ops/matrix/matmul.h"
#include "kavo_ops/matrix/tiled_rows.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "platform/interrupt.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

// Columns of U12 updated together: a block's rows times this many columns
// (64 x 256 x 8 = 128 KiB) stay in the level-2 cache while the block's
// triangle is applied.
constexpr std::uint64_t kU12Columns = 256;

// Rows k in [f, e), columns [e, n): A[k][c] = fma(-A[k][t], A[t][c], A[k][c])
// for t = f .. k-1 ascending, the chain the plain column loop applies there,
// over columns [e, column_end) in chunks that stay in the level-2 cache.
// On the calling thread: at most 64 x 64 / 2 multiply-adds per column, and
// handing chunks to the executor measured 18 % slower for det at n = 1000.
void u12_chains(double* a, std::uint64_t n, std::uint64_t f, std::uint64_t e, std::uint64_t column_begin,
                std::uint64_t column_end) {
  const auto axpy = active_slice_kernels().axpy_f64;
  for (std::uint64_t c0 = column_begin; c0 < column_end; c0 += kU12Columns) {
    const std::uint64_t width = std::min(kU12Columns, column_end - c0);
    for (std::uint64_t k = f + 1; k < e; ++k) {
      double* row_k = a + k * n;
      for (std::uint64_t t = f; t < k; ++t) axpy(-row_k[t], a + t * n + c0, row_k + c0, width);
    }
  }
}

struct Scratch {
  double* neg_l21;
  double* u12;
};

// Where a panel's row exchanges reach: every column (`swap_end` = n), or
// columns [0, swap_end) with the rest of each exchange left in `pending`.
struct Exchanges {
  std::uint64_t swap_end;
  std::vector<PendingExchange>* pending;
};

// Columns [f, e) over rows [f, n): halves, each half's effect on the other
// by steps 2 and 3 restricted to the panel's columns.
kavo::Expected<void> factor_panel(LuFactors& lu, std::uint64_t f, std::uint64_t e, const Scratch& scratch,
                                  const Exchanges& exchanges) {
  if (e - f <= kLuLeafColumns) {
    for (std::uint64_t j = f; j < e; ++j) {
      if (auto step = lu_eliminate_column(lu, j, e, exchanges.swap_end, exchanges.pending); !step) return step;
    }
    return {};
  }
  const std::uint64_t half = (e - f) / 2;
  const std::uint64_t mid = f + (half + kLuLeafColumns - 1) / kLuLeafColumns * kLuLeafColumns;
  if (auto left = factor_panel(lu, f, mid, scratch, exchanges); !left) return left;
  u12_chains(lu.factors.data(), lu.n, f, mid, mid, e);
  lu_trailing_update(lu.factors.data(), lu.n, f, mid, e, scratch.neg_l21, scratch.u12);
  return factor_panel(lu, mid, e, scratch, exchanges);
}

// Rows of the trailing product one task claims at a time in a look-ahead
// step: whole 32-row tiles, about eight bands per core at n = 1000.
constexpr std::uint64_t kLookAheadBand = 64;

// Block [f, e) is factored and its U12 rows are final. Updates the trailing
// block for it while the next panel [e, e2) is updated and factored first,
// on one task, with its row exchanges kept to columns [0, e2); the other
// tasks take bands of rows of columns [e2, n), B packed once and shared.
// The panel only reads and writes columns [0, e2) of rows e.., and the
// bands only columns [e2, n) (their -L21 packed before any exchange, U12
// in rows f..e above every exchange), so the two never meet; the pending
// exchanges reach columns [e2, n) once all have finished. Each element sees
// the operations of the plain loop in its order: its updates from block
// [f, e), then the next panel's exchanges.
kavo::Expected<void> update_and_factor_next(LuFactors& lu, std::uint64_t f, std::uint64_t e, std::uint64_t e2,
                                            const Scratch& panel_scratch, double* packed_l21, double* packed_u12,
                                            std::vector<PendingExchange>& pending) {
  const std::uint64_t n = lu.n;
  double* a = lu.factors.data();
  const std::uint64_t rows = n - e;
  const std::uint64_t k = e - f;
  const std::uint64_t width = n - e2;
  lu_pack_neg_l21(a, n, f, e, packed_l21);
  for (std::uint64_t t = 0; t < k; ++t) {
    const double* row = a + (f + t) * n + e2;
    std::copy(row, row + width, packed_u12 + t * width);
  }
  const kavo::View<double, 2> lhs{packed_l21, rows * k, {{rows, k}, {static_cast<std::int64_t>(k), 1}, 0}};
  const kavo::View<double, 2> rhs{packed_u12, k * width, {{k, width}, {static_cast<std::int64_t>(width), 1}, 0}};
  const kavo::MutView<double, 2> window{a, n * n, {{rows, width}, {static_cast<std::int64_t>(n), 1}, e * n + e2}, false};
  auto route = route_matmul(lhs, rhs, window);
  platform::ensure(route.has_value() && tiles_apply(*route), "invariant: LU trailing window takes the tiles");
  const TiledRows<double> tiles(*route, packed_u12);
  tiles.pack(0, tiles.strips_to_pack());

  const std::uint64_t bands = (rows + kLookAheadBand - 1) / kLookAheadBand;
  std::atomic<std::uint64_t> next{0};
  kavo::Expected<void> next_panel;
  pending.clear();
  auto task = [&](std::uint64_t) {
    fyrel::AlignedBuffer<double> scratch;
    bool have_scratch = false;
    for (std::uint64_t index; (index = next.fetch_add(1, std::memory_order_relaxed)) <= bands;) {
      if (index == 0) {
        std::vector<double> u12(k * (e2 - e));
        lu_trailing_columns(a, n, f, e, e, e2, packed_l21, u12.data());
        next_panel = factor_panel(lu, e, e2, panel_scratch, {e2, &pending});
        continue;
      }
      if (!have_scratch) scratch = tiles.scratch(), have_scratch = true;
      const std::uint64_t r0 = (index - 1) * kLookAheadBand;
      tiles.run(packed_l21, a + e * n + e2, r0, std::min(rows, r0 + kLookAheadBand), scratch, false);
    }
  };
  const std::uint64_t tasks = std::min<std::uint64_t>(1 + bands, std::max<std::uint64_t>(1, executor_worker_count()));
  if (tasks <= 1) {
    task(0);
  } else {
    for_each_index(tasks, task);
  }
  for (const PendingExchange& x : pending) std::swap_ranges(a + x.row * n + e2, a + (x.row + 1) * n, a + x.pivot * n + e2);
  return next_panel;
}

}  // namespace

kavo::Expected<void> lu_factor_columns_blocked(LuFactors& lu, std::uint64_t block, std::uint64_t look_ahead_from) {
  platform::ensure(block > 0, "invariant: LU column block is positive");
  const std::uint64_t n = lu.n;
  double* a = lu.factors.data();
  // Scratch for the trailing product's operands, sized for the first (largest) block.
  // (n rows) x (block columns) covers every product's operands, the
  // panel's inner ones included.
  const std::uint64_t width = std::min(block, n);
  kavo::Buffer<double> neg_l21(n * width);
  kavo::Buffer<double> u12(n * width);
  const Scratch scratch{neg_l21.data(), u12.data()};
  // On one thread the overlap has nothing to gain, and the panel's own
  // product and the serial packing of B cost a few per cent.
  const bool look_ahead = n >= look_ahead_from && executor_worker_count() > 1;
  // The look-ahead's product operands, apart from the panel's scratch.
  std::optional<kavo::Buffer<double>> packed_l21, packed_u12;
  if (look_ahead) packed_l21.emplace(n * width), packed_u12.emplace(n * width);
  std::vector<PendingExchange> pending;
  bool factored = false;  // block [f, e) already factored by the look-ahead
  for (std::uint64_t f = 0; f < n; f += block) {
    platform::throw_if_interrupted();
    const std::uint64_t e = std::min(n, f + block);
    if (!factored) {
      if (auto panel = factor_panel(lu, f, e, scratch, {n, nullptr}); !panel) return panel;
    }
    factored = false;
    if (e == n) break;
    const std::uint64_t e2 = std::min(n, e + block);
    if (look_ahead && e2 < n) {
      u12_chains(a, n, f, e, e, n);
      if (auto next = update_and_factor_next(lu, f, e, e2, scratch, packed_l21->data(), packed_u12->data(), pending);
          !next) {
        return next;
      }
      factored = true;
      continue;
    }
    u12_chains(a, n, f, e, e, n);
    lu_trailing_update(a, n, f, e, neg_l21.data(), u12.data());
  }
  return {};
}

}  // namespace kavo_ops
