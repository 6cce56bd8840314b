#include "kavo_ops/matrix/dot_outer_kernels.h"

#include <algorithm>
#include <span>

#include "kavo_ops/matrix/output_fill.h"
#include "kavo_ops/matrix/row_update.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "kavo_ops/slice_kernels/dot_slice.h"

namespace kavo_ops {
namespace {

constexpr std::uint64_t kBlockRows = 4;
constexpr std::uint64_t kMostSequentialBlocks = 15;

// Runs body(r0, r1) over 4-row blocks, in parallel when asked and worth it.
template <class Body>
void over_row_blocks(std::uint64_t m, bool parallel, Body&& body) {
  const std::uint64_t blocks = (m + kBlockRows - 1) / kBlockRows;
  auto block = [&](std::uint64_t index) {
    body(index * kBlockRows, std::min(m, index * kBlockRows + kBlockRows));
  };
  if (parallel && blocks > kMostSequentialBlocks) {
    for_each_index(blocks, block);
  } else {
    for (std::uint64_t index = 0; index < blocks; ++index) block(index);
  }
}

}  // namespace

template <class T>
void dot_kernel(const MatmulRoute& route, const T* a, const T* b, T* out, bool accumulate, bool parallel) {
  over_row_blocks(route.m, parallel, [&](std::uint64_t r0, std::uint64_t r1) {
    for (std::uint64_t i = r0; i < r1; ++i) {
      const std::span<const T> a_row(a + static_cast<std::int64_t>(i) * route.a_row_stride, route.k);
      T* out_row = out + static_cast<std::int64_t>(i) * route.out_row_stride;
      for (std::uint64_t j = 0; j < route.n; ++j) {
        const std::span<const T> b_col(b + static_cast<std::int64_t>(j) * route.b_col_stride, route.k);
        const T value = dot_slice(a_row, b_col);
        T& o = out_row[static_cast<std::int64_t>(j) * route.out_col_stride];
        o = accumulate ? o + value : value;
      }
    }
  });
}

template <class T>
void outer_kernel(const MatmulRoute& route, const T* a, const T* b, const kavo::MutView<T, 2>& out, bool accumulate,
                  bool parallel) {
  if (!accumulate) fill_output_zero(out);
  T* origin = out.data + out.layout.offset;
  over_row_blocks(route.m, parallel,
                  [&](std::uint64_t r0, std::uint64_t r1) { row_update_rows(route, a, b, origin, r0, r1); });
}

template void dot_kernel<float>(const MatmulRoute&, const float*, const float*, float*, bool, bool);
template void dot_kernel<double>(const MatmulRoute&, const double*, const double*, double*, bool, bool);
template void outer_kernel<float>(const MatmulRoute&, const float*, const float*, const kavo::MutView<float, 2>&,
                                  bool, bool);
template void outer_kernel<double>(const MatmulRoute&, const double*, const double*,
                                   const kavo::MutView<double, 2>&, bool, bool);

}  // namespace kavo_ops
