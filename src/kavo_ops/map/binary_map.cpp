#include "kavo_ops/map/binary_map.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <limits>

#include "drovek/parallel/parallel_for.h"
#include "kavo/layout/contiguity.h"
#include "kavo/layout/shape_arithmetic.h"
#include "kavo_ops/map/validate_output.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "platform/invariant_failure.h"

// Contiguous maps are cut by the executor into its fixed units; they must be
// the pieces the map's own rate makes of the same budget.
static_assert(drovek::kUnitCostBudget / kavo_ops::kMapCostPerElement == drovek::kMutUnitElements);

namespace kavo_ops {
namespace {

constexpr const char* kUnmapped = "validated layout must map every logical index";

std::uint64_t saturating_product(std::uint64_t a, std::uint64_t b) {
  std::uint64_t product = 0;
  return __builtin_mul_overflow(a, b, &product) ? std::numeric_limits<std::uint64_t>::max() : product;
}

// ---- contiguous fast path -------------------------------------------------

bool window_fits(std::uint64_t offset, std::uint64_t count, std::uint64_t len) {
  return offset <= len && count <= len - offset;
}

bool fast_path_applies(const kavo::View<float, 2>& a, const kavo::View<float, 2>& b,
                       const kavo::MutView<float, 2>& out, std::uint64_t n) {
  const auto& layout = out.layout;
  return a.layout.shape == layout.shape && b.layout.shape == layout.shape && a.layout.strides == layout.strides &&
         b.layout.strides == layout.strides && kavo::is_contiguous(layout) && window_fits(a.layout.offset, n, a.len) &&
         window_fits(b.layout.offset, n, b.len) && window_fits(layout.offset, n, out.len);
}

void run_contiguous(const kavo::View<float, 2>& a, const kavo::View<float, 2>& b, const kavo::MutView<float, 2>& out,
                    std::uint64_t n, BinaryOp op, const MapPolicy& policy) {
  const float* a_run = a.data + a.layout.offset;
  const float* b_run = b.data + b.layout.offset;
  float* out_run = out.data + out.layout.offset;
  if (!policy.parallel(n)) {
    apply_slice(op, {a_run, n}, {b_run, n}, {out_run, n});
    return;
  }
  for_each_chunk(out_run, n, [&](std::uint64_t first, float* chunk, std::uint64_t len) {
    platform::ensure(first <= n && len <= n - first, "binary map chunk lies outside its operands");
    apply_slice(op, {a_run + first, len}, {b_run + first, len}, {chunk, len});
  });
}

// ---- strided traversal ----------------------------------------------------

// One operand's storage and strides, positions as signed element offsets.
struct Walk {
  const float* read = nullptr;
  float* write = nullptr;
  std::uint64_t len = 0;
  std::int64_t row_stride = 0;
  std::int64_t col_stride = 0;
  std::int64_t base = 0;  // position of (0, 0)
};

template <class View>
kavo::Expected<Walk> walk_of(const View& view) {
  std::array<std::uint64_t, 2> origin{0, 0};
  auto base = kavo::offset_of(view.layout, origin);
  if (!base) return std::unexpected(std::move(base.error()));
  Walk walk;
  walk.len = view.len;
  walk.row_stride = view.layout.strides[0];
  walk.col_stride = view.layout.strides[1];
  walk.base = static_cast<std::int64_t>(*base);
  return walk;
}

// Checks the first and last position of a run of `count` elements; the run
// is linear, so every position between them lies in the storage too.
void check_run(const Walk& w, std::int64_t first, std::uint64_t count) {
  const std::int64_t last = first + static_cast<std::int64_t>(count - 1) * w.col_stride;
  const auto len = static_cast<std::int64_t>(w.len);
  platform::ensure(first >= 0 && first < len && last >= 0 && last < len, kUnmapped);
}

struct StridedMap {
  Walk a, b, out;
  std::uint64_t rows = 0, cols = 0, tile = 0;
  BinaryOp op = BinaryOp::add;

  // Elements (i, c0 .. c0 + count) of one row.
  void run(std::uint64_t i, std::uint64_t c0, std::uint64_t count) const {
    if (count == 0) return;
    const auto row = static_cast<std::int64_t>(i);
    const auto col = static_cast<std::int64_t>(c0);
    std::int64_t pa = a.base + row * a.row_stride + col * a.col_stride;
    std::int64_t pb = b.base + row * b.row_stride + col * b.col_stride;
    std::int64_t po = out.base + row * out.row_stride + col * out.col_stride;
    check_run(a, pa, count);
    check_run(b, pb, count);
    check_run(out, po, count);
    if (a.col_stride == 1 && b.col_stride == 1 && out.col_stride == 1) {
      // Same IEEE result per element as the loop below, vectorised.
      apply_slice(op, {a.read + pa, count}, {b.read + pb, count}, {out.write + po, count});
      return;
    }
    if (a.col_stride == 1 && b.col_stride == 0 && out.col_stride == 1) {
      // b repeats along the row (a column broadcast): the same IEEE result.
      apply_scalar_slice(op, {a.read + pa, count}, b.read[pb], {out.write + po, count});
      return;
    }
    for (std::uint64_t j = 0; j < count; ++j) {
      out.write[po] = apply(op, a.read[pa], b.read[pb]);
      pa += a.col_stride;
      pb += b.col_stride;
      po += out.col_stride;
    }
  }

  void run_rows(std::uint64_t first_row, std::uint64_t count) const {
    for (std::uint64_t i = first_row; i < first_row + count; ++i) run(i, 0, cols);
  }

  // Bands of `tile` rows, each cut into tile x tile blocks.
  void run_bands(std::uint64_t first_band, std::uint64_t count) const {
    for (std::uint64_t band = first_band; band < first_band + count; ++band) {
      const std::uint64_t r0 = band * tile;
      const std::uint64_t r1 = std::min(rows, r0 + tile);
      for (std::uint64_t c0 = 0; c0 < cols; c0 += tile) {
        const std::uint64_t width = std::min(tile, cols - c0);
        for (std::uint64_t i = r0; i < r1; ++i) run(i, c0, width);
      }
    }
  }
};

std::uint64_t magnitude(std::int64_t stride) {
  return stride < 0 ? std::uint64_t(0) - static_cast<std::uint64_t>(stride) : static_cast<std::uint64_t>(stride);
}

kavo::Expected<void> run_strided(const kavo::View<float, 2>& a, const kavo::View<float, 2>& b,
                                 const kavo::MutView<float, 2>& out, std::uint64_t n, BinaryOp op,
                                 const char* operation, const MapPolicy& policy) {
  if (auto fits = kavo::check_storage(a.layout, a.len); !fits) return fits;
  if (auto fits = kavo::check_storage(b.layout, b.len); !fits) return fits;
  if (auto valid = validate_output(out, operation); !valid) return valid;
  if (n == 0) return {};

  auto a_walk = walk_of(a);
  if (!a_walk) return std::unexpected(std::move(a_walk.error()));
  auto b_walk = walk_of(b);
  if (!b_walk) return std::unexpected(std::move(b_walk.error()));
  auto out_walk = walk_of(out);
  if (!out_walk) return std::unexpected(std::move(out_walk.error()));
  StridedMap map;
  map.a = *a_walk;
  map.b = *b_walk;
  map.out = *out_walk;
  map.a.read = a.data;
  map.b.read = b.data;
  map.out.write = out.data;
  map.rows = out.layout.shape[0];
  map.cols = out.layout.shape[1];
  map.tile = policy.tile_edge;
  map.op = op;

  const std::uint64_t t = policy.tile_edge;
  const bool row_order =
      (magnitude(map.a.col_stride) < t && magnitude(map.b.col_stride) < t && magnitude(map.out.col_stride) < t);
  const bool parallel = policy.parallel(n);
  if (row_order) {
    if (!parallel) {
      map.run_rows(0, map.rows);
    } else {
      for_each_unit_range(map.rows, saturating_product(kMapCostPerElement, map.cols),
                          [&](std::uint64_t start, std::uint64_t len) { map.run_rows(start, len); });
    }
  } else {
    const std::uint64_t bands = map.rows / t + (map.rows % t != 0);
    if (!parallel) {
      map.run_bands(0, bands);
    } else {
      for_each_unit_range(bands, saturating_product(saturating_product(kMapCostPerElement, map.cols), t),
                          [&](std::uint64_t start, std::uint64_t len) { map.run_bands(start, len); });
    }
  }
  return {};
}

}  // namespace

kavo::Expected<void> binary_map(const kavo::View<float, 2>& a, const kavo::View<float, 2>& b,
                                const kavo::MutView<float, 2>& out, BinaryOp op, const char* operation,
                                const MapPolicy& policy) {
  auto count = kavo::checked_size(out.layout);
  if (!count) return std::unexpected(std::move(count.error()));
  if (fast_path_applies(a, b, out, *count)) {
    run_contiguous(a, b, out, *count, op, policy);
    return {};
  }
  return run_strided(a, b, out, *count, op, operation, policy);
}

kavo::Expected<void> binary_map(const kavo::View<float, 2>& a, const kavo::View<float, 2>& b,
                                const kavo::MutView<float, 2>& out, BinaryOp op, const char* operation) {
  static const MapPolicy policy = MapPolicy::from_cache_policy();
  return binary_map(a, b, out, op, operation, policy);
}

}  // namespace kavo_ops
