#include <algorithm>
#include <cmath>

#include "fyrel/gemv/gemv.h"
#include "kavo/assign/to_row_major.h"
#include "kavo/iter/element_iter.h"
#include "kavo/layout/contiguity.h"
#include "kavo_ops/linalg/bidiagonal/bidiagonal.h"
#include "kavo_ops/linalg/bidiagonal/rank_one_update.h"
#include "kavo_ops/linalg/bidiagonal/scaled_reflector_in_place.h"
#include "kavo_ops/parallel/for_each_part.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

// Element (i, j) at i + j * m.
std::vector<double> column_major_copy(const kavo::View<double, 2>& a, std::uint64_t m, std::uint64_t n) {
  std::vector<double> copy(m * n);
  const std::uint64_t count = m * n;
  const kavo::Layout<2>& layout = a.layout;
  const bool window_fits = layout.offset <= a.len && count <= a.len - layout.offset;
  if (count != 0 && kavo::is_c_contiguous(layout) && window_fits) {
    // A row-major m x n block read as column-major n x m, transposed.
    kavo::transpose_tiled(a.data + layout.offset, copy.data(), n, m);
  } else {
    auto walk = kavo::elements(a);
    for (std::uint64_t i = 0; i < m; ++i) {
      for (std::uint64_t j = 0; j < n; ++j) copy[i + j * m] = *walk.next();
    }
  }
  return copy;
}

bool applies(double tau) noexcept { return tau != 0.0 || std::isnan(tau); }

// body(begin, end) over [0, count): at once when the step's block has fewer
// than `parallel_elements` entries, else in slabs of `slab` items, one
// contiguous range of slabs per thread.
template <class Body>
void in_slabs(std::uint64_t count, std::uint64_t elements, std::uint64_t slab, const BidiagonalValuesSplit& split,
              Body&& body) {
  if (elements < split.parallel_elements) {
    body(std::uint64_t{0}, count);
    return;
  }
  for_each_part(count, slab, [&](std::uint64_t b, std::uint64_t e) {
    for (std::uint64_t i = b; i < e; i += slab) body(i, std::min<std::uint64_t>(e, i + slab));
  });
}

}  // namespace

kavo::Expected<BidiagonalValues> bidiagonal_values(const kavo::View<double, 2>& a, const BidiagonalValuesSplit& split) {
  const std::uint64_t m = a.layout.shape[0];
  const std::uint64_t n = a.layout.shape[1];
  if (m < n) return std::unexpected<kavo::ArrayError>(kavo::ShapeMismatch{{m, n}, {n, n}});

  std::vector<double> c = column_major_copy(a, m, n);
  BidiagonalValues out{std::vector<double>(n, 0.0), std::vector<double>(n, 0.0)};
  const ReflectorWindow window = reflector_window(m);
  std::vector<double> work(std::max(m, n), 0.0);
  std::vector<double> reflector(m, 0.0);
  std::vector<double> row(n, 0.0);
  const std::size_t len = c.size();

  for (std::uint64_t k = 0; k < n; ++k) {
    platform::throw_if_interrupted();
    // Left: column k from the diagonal down, contiguous.
    double* column = c.data() + k * m + k;
    const std::uint64_t rows = m - k;
    const InPlaceReflector left = scaled_reflector_in_place(column, rows, window);
    out.d[k] = left.beta;
    std::copy(column, column + rows, reflector.begin());
    reflector[0] = 1.0;
    const std::uint64_t right_cols = n - k - 1;
    if (applies(left.tau) && k + 1 < n) {
      // work[j] = sum_i A[k+i, k+1+j] v[i]: the trailing columns are rows of a
      // row-major right_cols x rows window with stride m.
      const std::uint64_t first = (k + 1) * m + k;
      const auto columns = [&](std::uint64_t j0, std::uint64_t j1) {
        std::fill(work.begin() + static_cast<std::ptrdiff_t>(j0), work.begin() + static_cast<std::ptrdiff_t>(j1), 0.0);
        fyrel::gemv(c.data() + first + j0 * m, len - (first + j0 * m), reflector.data(), rows, work.data() + j0, j1 - j0,
                    j1 - j0, rows, m);
        for (std::uint64_t j = j0; j < j1; ++j) work[j] *= -left.tau;
        rank_one_update(c.data() + first + j0 * m, m, rows, j1 - j0, reflector.data(), work.data() + j0);
      };
      in_slabs(right_cols, std::uint64_t{rows} * right_cols, split.column_chunk, split, columns);
    }
    if (k + 1 < n) {
      // Right: row k from the superdiagonal on, gathered.
      for (std::uint64_t j = 0; j < right_cols; ++j) row[j] = c[k + (k + 1 + j) * m];
      const InPlaceReflector right = scaled_reflector_in_place(row.data(), right_cols, window);
      out.e[k] = right.beta;
      row[0] = 1.0;
      const std::uint64_t below = m - k - 1;
      if (applies(right.tau) && k + 1 < m) {
        // work[i] = sum_j A[k+1+i, k+1+j] x[j].
        const std::uint64_t first = (k + 1) * m + k + 1;
        const auto band = [&](std::uint64_t i0, std::uint64_t i1) {
          std::fill(work.begin() + static_cast<std::ptrdiff_t>(i0), work.begin() + static_cast<std::ptrdiff_t>(i1), 0.0);
          fyrel::gemv_transpose(c.data() + first + i0, len - (first + i0), row.data(), right_cols, work.data() + i0,
                                i1 - i0, right_cols, i1 - i0, m);
          for (std::uint64_t i = i0; i < i1; ++i) work[i] *= -right.tau;
          rank_one_update(c.data() + first + i0, m, i1 - i0, right_cols, work.data() + i0, row.data());
        };
        in_slabs(below, std::uint64_t{below} * right_cols, split.row_chunk, split, band);
      }
    }
  }
  return out;
}

}  // namespace kavo_ops
