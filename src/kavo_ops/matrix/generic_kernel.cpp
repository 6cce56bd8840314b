#include "kavo_ops/matrix/generic_kernel.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <vector>

#include "fyrel/gemm/gemm_rows.h"
#include "kavo_ops/matrix/row_update.h"
#include "kavo_ops/matrix/tiled_rows.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "platform/cpu_pause.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

void check_block(std::uint64_t block) {
  if (block == 0 || block > kMatmulRowBlock || !std::has_single_bit(block)) {
    platform::fail_invariant(
        "internal error: entered unreachable code: matmul tile policy must return a power-of-two block <= 32");
  }
}

// Strips of B one task claims for packing at a time: a few, so that the
// claims stay cheap next to the copying, and the last ones still spread.
constexpr std::uint64_t kStripsPerClaim = 2;

// Rows per band handed to one task: whole tiles of about 32 rows (a band
// edge inside a tile would leave a short tile at every band), about eight
// bands per worker so that the last band leaves a core idle for at most an
// eighth of its share (four per worker measured 5-10 % slower at n = 2048),
// and at most fyrel's band, so the band's slice of A stays in the level-2
// cache.
std::uint64_t band_rows(std::uint64_t m, std::uint64_t workers, std::uint64_t tile_rows) {
  const std::uint64_t tile = std::max<std::uint64_t>(tile_rows, 1);
  const std::uint64_t unit = tile * ((kMatmulRowBlock + tile - 1) / tile);
  const std::uint64_t eighth_share = (m + 8 * workers - 1) / (8 * workers);
  const std::uint64_t units = (eighth_share + unit - 1) / unit;
  const std::uint64_t most = std::max<std::uint64_t>(unit, fyrel::kBandRows - fyrel::kBandRows % unit);
  return std::clamp<std::uint64_t>(units * unit, unit, most);
}

// Rows [r0, r1) of the output set to zero, whatever its strides.
template <class T>
void zero_rows(const MatmulRoute& route, T* out, std::uint64_t r0, std::uint64_t r1) {
  for (std::uint64_t i = r0; i < r1; ++i) {
    T* row = out + static_cast<std::int64_t>(i) * route.out_row_stride;
    for (std::uint64_t j = 0; j < route.n; ++j) row[static_cast<std::int64_t>(j) * route.out_col_stride] = T(0);
  }
}

}  // namespace

bool tiles_apply(const MatmulRoute& route) noexcept {
  return route.m <= 1 || route.out_row_stride >= static_cast<std::int64_t>(route.n);
}

template <class T>
void generic_kernel(const MatmulRoute& route, const T* a, const T* b, T* out, std::uint64_t r0, std::uint64_t r1,
                    std::uint64_t block, bool zero_fill) {
  check_block(block);
  if (r0 >= r1) return;
  if (!tiles_apply(route)) {
    if (zero_fill) zero_rows(route, out, r0, r1);
    row_update_rows(route, a, b, out, r0, r1);
    return;
  }
  const TiledRows<T> tiles(route, b);
  tiles.pack(0, tiles.strips_to_pack());
  auto scratch = tiles.scratch();
  tiles.run(a, out, r0, r1, scratch, zero_fill);
}

template <class T>
void parallel_generic_kernel(const MatmulRoute& route, const T* a, const T* b, T* out, bool zero_fill) {
  const std::uint64_t m = route.m;
  if (!tiles_apply(route)) {
    const std::uint64_t blocks = (m + kMatmulRowBlock - 1) / kMatmulRowBlock;
    for_each_index(blocks, [&](std::uint64_t index) {
      const std::uint64_t r0 = index * kMatmulRowBlock, r1 = std::min(m, r0 + kMatmulRowBlock);
      if (zero_fill) zero_rows(route, out, r0, r1);
      row_update_rows(route, a, b, out, r0, r1);
    });
    return;
  }
  const TiledRows<T> tiles(route, b);
  const std::uint64_t band =
      band_rows(m, std::max<std::uint64_t>(executor_worker_count(), 1), fyrel::active_gemm_kernels<T>().mr);
  const std::uint64_t bands = (m + band - 1) / band;
  const std::uint64_t strips = tiles.strips_to_pack();
  const std::uint64_t blocks = strips == 0 ? 0 : tiles.k_blocks();
  const std::uint64_t claims_per_block = (strips + kStripsPerClaim - 1) / kStripsPerClaim;
  // One parallel call does both phases, so its workers are woken once: every
  // task first claims strips of B to pack, k block by k block, then claims
  // bands of rows, starting each k block of a band once that block is
  // packed. Only running tasks claim strips, so a wait is for packing in
  // progress; a task that starts late finds less to do. The claim counters
  // only hand out indices; block_ready publishes the packed strips (release
  // by packers, acquire by the bands).
  std::atomic<std::uint64_t> next_claim{0}, next_band{0};
  std::vector<std::atomic<std::uint64_t>> block_ready(blocks);
  auto task = [&](std::uint64_t) {
    for (std::uint64_t claim; (claim = next_claim.fetch_add(1, std::memory_order_relaxed)) < blocks * claims_per_block;) {
      const std::uint64_t block = claim / claims_per_block;
      const std::uint64_t first = claim % claims_per_block * kStripsPerClaim;
      const std::uint64_t end = std::min(strips, first + kStripsPerClaim);
      tiles.pack_block(block, first, end);
      block_ready[block].fetch_add(end - first, std::memory_order_release);
    }
    fyrel::AlignedBuffer<T> scratch;
    bool have_scratch = false;  // made on the first band: late tasks may get none
    for (std::uint64_t index; (index = next_band.fetch_add(1, std::memory_order_relaxed)) < bands;) {
      if (!have_scratch) scratch = tiles.scratch(), have_scratch = true;
      const std::uint64_t r0 = index * band;
      if (blocks == 0) {
        tiles.run(a, out, r0, std::min(m, r0 + band), scratch, zero_fill);
      } else {
        tiles.run_as_packed(a, out, r0, std::min(m, r0 + band), scratch, zero_fill, block_ready.data());
      }
    }
  };
  const std::uint64_t tasks = std::min(std::max(bands, strips), executor_worker_count());
  if (tasks <= 1) {
    task(0);
  } else {
    for_each_index(tasks, task);
  }
}

template void generic_kernel<float>(const MatmulRoute&, const float*, const float*, float*, std::uint64_t,
                                    std::uint64_t, std::uint64_t, bool);
template void generic_kernel<double>(const MatmulRoute&, const double*, const double*, double*, std::uint64_t,
                                     std::uint64_t, std::uint64_t, bool);
template void parallel_generic_kernel<float>(const MatmulRoute&, const float*, const float*, float*, bool);
template void parallel_generic_kernel<double>(const MatmulRoute&, const double*, const double*, double*, bool);

}  // namespace kavo_ops
