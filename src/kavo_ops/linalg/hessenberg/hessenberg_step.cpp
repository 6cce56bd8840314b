#include "kavo_ops/linalg/hessenberg/hessenberg_step.h"

#include <algorithm>
#include <span>

#include "fyrel/gemv/gemv.h"
#include "kavo_ops/parallel/for_each_part.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"

namespace kavo_ops {
namespace {

// Rows whose right-update dots share the loads of v (the dot group's width).
constexpr std::size_t kDotRows = 6;
// Rows that take a tile of recorded reflectors together: as many as share a
// dot group while they and the reflector fit the level-1 cache (six rows of
// up to 512 entries, four of up to about 1000).
std::size_t recorded_group(std::size_t n) noexcept { return n <= 512 ? kDotRows : 4; }

// Rows [first, end) of row-major `a` (row stride n) from the right: for each
// row, s = dot(row[c0 ..), v) and row[c0 ..) += -(s tau) v, kDotRows rows
// sharing v's loads.
void right_update(const SliceKernelTable& kernels, double* a, std::size_t n, std::size_t first, std::size_t end,
                  std::size_t c0, const double* v, double tau) {
  const std::size_t len = n - c0;
  const double* rows[kDotRows];
  double sums[kDotRows];
  for (std::size_t r = first; r < end; r += kDotRows) {
    const std::size_t count = std::min(kDotRows, end - r);
    for (std::size_t g = 0; g < count; ++g) rows[g] = a + (r + g) * n + c0;
    kernels.dot_group_f64(v, rows, count, len, sums);
    for (std::size_t g = 0; g < count; ++g) kernels.axpy_f64(-(sums[g] * tau), v, a + (r + g) * n + c0, len);
  }
}

}  // namespace

void SweepReflectors::reserve(std::size_t n) {
  const std::size_t steps_at_most = n > 2 ? n - 2 : 0;
  vectors.reserve(n * (n - 1) / 2);
  offsets.reserve(steps_at_most);
  steps.reserve(steps_at_most);
  taus.reserve(steps_at_most);
}

void SweepReflectors::push(std::size_t step, const HouseholderReflector& r) {
  offsets.push_back(vectors.size());
  vectors.insert(vectors.end(), r.v.begin(), r.v.end());
  steps.push_back(step);
  taus.push_back(r.tau);
}

void reflect_hessenberg_step(double* h, std::size_t n, std::size_t i, const HouseholderReflector& r,
                             std::size_t rows_from, double* w, const HessenbergSplit& split) {
  const std::size_t len = r.v.size();  // n - i - 1: the rows the left update reaches
  const std::size_t width = n - i;
  const double* v = r.v.data();
  const double tau = r.tau;
  const SliceKernelTable& kernels = active_slice_kernels();
  if (std::uint64_t{len} * width < split.parallel_elements) {
    // Small enough for the cache: the register-chunked left kernel (the
    // same roundings as the two passes below), then the right updates.
    apply_reflector_left(r, std::span<double>(h, n * n), n, i + 1, i, n);
    right_update(kernels, h, n, rows_from, n, i + 1, v, tau);
    return;
  }

  std::fill(w, w + width, 0.0);
  double* block = h + (i + 1) * n + i;
  const std::size_t block_len = n * n - ((i + 1) * n + i);
  for_each_part(width, split.column_chunk, [&](std::uint64_t c0, std::uint64_t c1) {
    fyrel::gemv_transpose(block + c0, block_len - c0, v, len, w + c0, c1 - c0, len, c1 - c0, n);
    for (std::uint64_t c = c0; c < c1; ++c) w[c] *= tau;
  });
  for_each_part(n - rows_from, split.row_chunk, [&](std::uint64_t b, std::uint64_t e) {
    for (std::uint64_t row = rows_from + b; row < rows_from + e; ++row) {
      if (row > i) kernels.axpy_f64(-v[row - i - 1], w, h + row * n + i, width);
    }
    right_update(kernels, h, n, rows_from + b, rows_from + e, i + 1, v, tau);
  });
}

void apply_q_right_update(double* q, std::size_t n, std::size_t i, const HouseholderReflector& r) {
  right_update(active_slice_kernels(), q, n, 1, n, i + 1, r.v.data(), r.tau);
}

void apply_recorded_right_updates(double* h, std::size_t n, double* q, const SweepReflectors& reflectors,
                                  const HessenbergSplit& split) {
  const std::size_t count = reflectors.size();
  if (count == 0) return;
  const SliceKernelTable& kernels = active_slice_kernels();
  // Rows of H past the last step take no recorded update.
  const std::size_t h_rows = reflectors.steps.back() + 1;
  const std::size_t q_rows = q ? n - 1 : 0;
  const std::size_t tile = split.recorded_tile;
  const std::size_t group = recorded_group(n);
  // A group of rows stays in the level-1 cache while a tile of
  // reflectors (in the level-2 cache) passes over it; the task's rows stay
  // in the level-2 cache from tile to tile.
  auto h_range = [&](std::size_t b, std::size_t e) {
    for (std::size_t k0 = 0; k0 < count; k0 += tile) {
      const std::size_t k1 = std::min(count, k0 + tile);
      for (std::size_t g = b; g < e; g += group) {
        const std::size_t g_end = std::min(e, g + group);
        for (std::size_t k = k0; k < k1; ++k) {
          const std::size_t i = reflectors.steps[k];
          if (i < g) continue;
          right_update(kernels, h, n, g, std::min(g_end, i + 1), i + 1,
                       reflectors.vectors.data() + reflectors.offsets[k], reflectors.taus[k]);
        }
      }
    }
  };
  auto q_range = [&](std::size_t b, std::size_t e) {
    for (std::size_t k0 = 0; k0 < count; k0 += tile) {
      const std::size_t k1 = std::min(count, k0 + tile);
      for (std::size_t g = b; g < e; g += group) {
        const std::size_t g_end = std::min(e, g + group);
        for (std::size_t k = k0; k < k1; ++k) {
          right_update(kernels, q, n, g, g_end, reflectors.steps[k] + 1,
                       reflectors.vectors.data() + reflectors.offsets[k], reflectors.taus[k]);
        }
      }
    }
  };
  // Items [0, h_rows) are H's rows, [h_rows, h_rows + q_rows) Q's rows 1 ...
  auto rows = [&](std::uint64_t b, std::uint64_t e) {
    if (b < h_rows) h_range(b, std::min<std::uint64_t>(e, h_rows));
    if (e > h_rows) q_range(std::max<std::uint64_t>(b, h_rows) - h_rows + 1, e - h_rows + 1);
  };
  const std::uint64_t items = h_rows + q_rows;
  if (std::uint64_t{reflectors.vectors.size()} * items >= split.recorded_parallel_work) {
    for_each_dynamic_chunk(items, split.recorded_rows, rows);
  } else {
    rows(0, items);
  }
}

}  // namespace kavo_ops
