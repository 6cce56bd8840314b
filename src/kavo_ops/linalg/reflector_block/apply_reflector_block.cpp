#include "kavo_ops/linalg/reflector_block/reflector_block.h"
#include "kavo_ops/matrix/generic_kernel.h"
#include "kavo_ops/matrix/matmul.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {
namespace {

kavo::View<double, 2> dense_view(const std::vector<double>& values, std::size_t rows, std::size_t cols) {
  return {values.data(), values.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}};
}

kavo::MutView<double, 2> dense_mut_view(std::vector<double>& values, std::size_t rows, std::size_t cols) {
  return {values.data(), values.size(), {{rows, cols}, {static_cast<std::int64_t>(cols), 1}, 0}, false};
}

std::vector<double> transposed(const std::vector<double>& values, std::size_t rows, std::size_t cols) {
  std::vector<double> result(values.size());
  for (std::size_t r = 0; r < rows; ++r) {
    for (std::size_t c = 0; c < cols; ++c) result[c * rows + r] = values[r * cols + c];
  }
  return result;
}

// The tiled kernel straight on the operands: they are row-major with unit
// column stride already (C a window of the factored matrix), which the
// routed product would first copy into compact storage.
void product(const kavo::View<double, 2>& lhs, const kavo::View<double, 2>& rhs, const kavo::MutView<double, 2>& out,
             bool accumulate) {
  auto route = route_matmul(lhs, rhs, out);
  platform::ensure(route.has_value(), "invariant: reflector block products have matching shapes");
  const MatmulRoute& r = *route;
  if (r.m == 0 || r.n == 0) return;
  generic_kernel(r, lhs.data + r.a_offset, rhs.data + r.b_offset, out.data + r.out_offset, 0, r.m, kMatmulRowBlock,
                 !accumulate);
}

// Columns of C per task. Each column's update depends on that column alone,
// so the split changes no result; 96 columns keep the three products on
// full register tiles.
constexpr std::size_t kColumnChunk = 96;

// The three products for columns [j0, j1) of C.
void update_columns(const ReflectorBlock& block, const std::vector<double>& v_transposed,
                    const std::vector<double>& t_transposed, std::span<double> a, std::size_t row_stride,
                    std::size_t first, std::size_t j0, std::size_t j1) {
  const std::size_t rows = block.rows;
  const std::size_t b = block.width;
  const std::size_t cols = j1 - j0;
  const auto stride = static_cast<std::int64_t>(row_stride);
  const kavo::View<double, 2> c{a.data(), a.size(), {{rows, cols}, {stride, 1}, first * row_stride + j0}};
  const kavo::MutView<double, 2> c_out{a.data(), a.size(), {{rows, cols}, {stride, 1}, first * row_stride + j0}, false};
  std::vector<double> w(b * cols, 0.0);
  product(dense_view(v_transposed, b, rows), c, dense_mut_view(w, b, cols), false);
  std::vector<double> tw(b * cols, 0.0);
  product(dense_view(t_transposed, b, b), dense_view(w, b, cols), dense_mut_view(tw, b, cols), false);
  for (double& value : tw) value = -value;
  product(dense_view(block.v, rows, b), dense_view(tw, b, cols), c_out, true);
}

}  // namespace

void apply_reflector_block(const ReflectorBlock& block, std::span<double> a, std::size_t row_stride,
                           std::size_t first, std::size_t c0, std::size_t c1) {
  if (c1 <= c0 || block.rows == 0) return;
  const std::size_t rows = block.rows;
  const std::size_t b = block.width;
  const std::size_t cols = c1 - c0;
  platform::ensure((first + rows - 1) * row_stride + c1 <= a.size(), "invariant: reflector block fits the matrix");
  const std::vector<double> v_transposed = transposed(block.v, rows, b);
  const std::vector<double> t_transposed = transposed(block.t, b, b);
  auto update = [&](std::uint64_t begin, std::uint64_t end) {
    update_columns(block, v_transposed, t_transposed, a, row_stride, first, c0 + begin, c0 + end);
  };
  if (is_large_product(rows, b, cols)) {
    for_each_dynamic_chunk(cols, kColumnChunk, update);
  } else {
    update(0, cols);
  }
}

}  // namespace kavo_ops
