#include <algorithm>
#include <cmath>
#include <span>

#include "kavo/assign/to_row_major.h"
#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman.h"
#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman_steps.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/common/symmetric_input.h"
#include "kavo_ops/parallel/fixed_parts.h"
#include "kavo_ops/slice_kernels/axpy_slice.h"
#include "kavo_ops/slice_kernels/slice_kernel_table.h"
#include "platform/interrupt.h"

namespace kavo_ops {
namespace {

struct Largest {
  double magnitude = 0.0;
  std::uint64_t index = 0;
};

// The first of the largest magnitudes of `count` entries `stride` apart.
Largest largest_of(const double* first, std::uint64_t count, std::uint64_t stride, std::uint64_t first_index) {
  Largest best{0.0, first_index};
  for (std::uint64_t i = 0; i < count; ++i) {
    const double magnitude = std::abs(first[i * stride]);
    if (magnitude > best.magnitude) best = {magnitude, first_index + i};
  }
  return best;
}

// The rows of a step's trailing triangle [first, end) split into `parts`
// ranges of about equal work (row i holds i - first entries), the same
// range to the same task at every step (fixed_parts.h): part p ends at
// first + (end - first) * sqrt((p + 1) / parts).
template <class F>
void for_each_triangle_part(std::uint64_t first, std::uint64_t end, std::uint64_t parts, F&& body) {
  const std::uint64_t rows = end - first;
  auto boundary = [&](std::uint64_t p) {
    if (p >= parts) return end;
    const auto share = static_cast<double>(rows) * std::sqrt(static_cast<double>(p) / static_cast<double>(parts));
    return std::min(end, first + static_cast<std::uint64_t>(share));
  };
  for_each_index(parts, [&](std::uint64_t p) { body(p, boundary(p), boundary(p + 1)); });
}

// The working matrix w (lower triangle from column k on), the factors and
// two column buffers, for one elimination.
class Elimination {
 public:
  Elimination(double* w, std::uint64_t n, BunchKaufmanFactors& factors, std::uint64_t parallel_entries)
      : w_(w), n_(n), l_(factors.l.data()), d_(factors.d.data()), perm_(factors.permutation.data()),
        column_(n), next_column_(n), parallel_entries_(parallel_entries),
        axpy_(active_slice_kernels().axpy_f64) {}

  kavo::Expected<void> run() {
    std::uint64_t k = 0;
    while (k < n_) {
      platform::throw_if_interrupted();
      if (k + 1 == n_) {
        at_d(k, k) = at_w(k, k);
        break;
      }
      // The column below the diagonal as the last update left it: searched
      // in that update's pass, or here when there was none.
      const Largest column = searched_ ? searched_column_ : largest_of(&at_w(k + 1, k), n_ - k - 1, n_, k + 1);
      searched_ = false;
      if (column.magnitude == 0.0) {
        at_d(k, k) = at_w(k, k);
        ++k;
        continue;
      }
      if (pivot_block_size(k, column) == 1) {
        eliminate_one(k);
        ++k;
      } else {
        if (auto step = eliminate_two(k); !step) return step;
        k += 2;
      }
    }
    return {};
  }

 private:
  double& at_w(std::uint64_t i, std::uint64_t j) { return w_[i * n_ + j]; }
  double& at_l(std::uint64_t i, std::uint64_t j) { return l_[i * n_ + j]; }
  double& at_d(std::uint64_t i, std::uint64_t j) { return d_[i * n_ + j]; }

  // Chooses the pivot at k, making the interchange it needs; 1 or 2.
  int pivot_block_size(std::uint64_t k, const Largest& column) {
    const double absakk = std::abs(at_w(k, k));
    const double colmax = column.magnitude;
    if (absakk >= kBunchKaufmanAlpha * colmax) return 1;
    const std::uint64_t r = column.index;
    // Row r of the trailing matrix off its diagonal: row r left of the
    // diagonal, column r below it (the lower triangle holds both).
    const Largest left = largest_of(&at_w(r, k), r - k, 1, k);
    const Largest below = r + 1 < n_ ? largest_of(&at_w(r + 1, r), n_ - r - 1, n_, r + 1) : Largest{};
    const double rowmax = std::fmax(left.magnitude, below.magnitude);
    if (diagonal_pivot_holds(absakk, colmax, rowmax)) return 1;
    if (std::abs(at_w(r, r)) >= kBunchKaufmanAlpha * rowmax) {
      symmetric_interchange(w_, l_, perm_, n_, k, k, r);
      return 1;
    }
    symmetric_interchange(w_, l_, perm_, n_, k, k + 1, r);
    return 2;
  }

  // The trailing update of the rows [next, n) (next = k + 1 after a 1 x 1
  // pivot at k, k + 2 after a 2 x 2): row i takes its axpys over columns
  // [next, i], then the largest magnitude below the diagonal of column
  // `next`, which the update has just written as the first entry of each
  // row, is searched for the next step. Rows are independent: from a large
  // enough triangle on they are split over the executor, and the parts'
  // searches are combined in row order (the first maximum wins, as in the
  // column scan).
  template <class RowUpdate>
  void update_trailing(std::uint64_t next, RowUpdate update_row) {
    auto rows = [&](std::uint64_t first, std::uint64_t end) {
      Largest best{0.0, next + 1};
      for (std::uint64_t i = first; i < end; ++i) {
        update_row(i);
        const double magnitude = std::abs(at_w(i, next));
        if (i > next && magnitude > best.magnitude) best = {magnitude, i};
      }
      return best;
    };
    const std::uint64_t remaining = n_ - next;
    searched_ = next + 1 < n_;
    if (remaining * remaining / 2 < parallel_entries_) {
      searched_column_ = rows(next, n_);
      return;
    }
    const std::uint64_t parts = fixed_part_count(remaining, 64);
    Largest found[kMaxParts];
    for_each_triangle_part(next, n_, std::min(parts, kMaxParts), [&](std::uint64_t p, std::uint64_t first,
                                                                     std::uint64_t end) { found[p] = rows(first, end); });
    searched_column_ = Largest{0.0, next + 1};
    for (std::uint64_t p = 0; p < std::min(parts, kMaxParts); ++p) {
      if (found[p].magnitude > searched_column_.magnitude) searched_column_ = found[p];
    }
  }

  void eliminate_one(std::uint64_t k) {
    const double pivot = at_w(k, k);
    at_d(k, k) = pivot;
    for (std::uint64_t i = k + 1; i < n_; ++i) {
      column_[i] = at_w(i, k);
      at_l(i, k) = column_[i] / pivot;
    }
    update_trailing(k + 1, [&](std::uint64_t i) {
      axpy_(-at_l(i, k), column_.data() + k + 1, &at_w(i, k + 1), i - k);
    });
  }

  kavo::Expected<void> eliminate_two(std::uint64_t k) {
    const double d = at_w(k, k);
    const double e = at_w(k + 1, k);
    const double f = at_w(k + 1, k + 1);
    auto pivot = two_by_two_pivot(d, e, f);
    if (!pivot) return std::unexpected(std::move(pivot.error()));
    at_d(k, k) = d;
    at_d(k, k + 1) = e;
    at_d(k + 1, k) = e;
    at_d(k + 1, k + 1) = f;
    for (std::uint64_t i = k + 2; i < n_; ++i) {
      column_[i] = at_w(i, k);
      next_column_[i] = at_w(i, k + 1);
      const TwoByTwoMultipliers m = two_by_two_multipliers(*pivot, f, column_[i], next_column_[i]);
      at_l(i, k) = m.first;
      at_l(i, k + 1) = m.second;
    }
    update_trailing(k + 2, [&](std::uint64_t i) {
      const std::uint64_t width = i - k - 1;
      double* row = &at_w(i, k + 2);
      axpy_(-at_l(i, k), column_.data() + k + 2, row, width);
      axpy_(-at_l(i, k + 1), next_column_.data() + k + 2, row, width);
    });
    return {};
  }

  static constexpr std::uint64_t kMaxParts = 64;

  double* w_;
  std::uint64_t n_;
  double* l_;
  double* d_;
  std::uint64_t* perm_;
  kavo::Buffer<double> column_;
  kavo::Buffer<double> next_column_;
  std::uint64_t parallel_entries_;
  SliceKernelTable::AxpyF64 axpy_;  // looked up once: the rows' segments are short
  bool searched_ = false;
  Largest searched_column_;
};

}  // namespace

std::uint64_t bunch_kaufman_parallel_entries() { return std::uint64_t{1} << 15; }

kavo::Expected<BunchKaufmanFactors> bunch_kaufman_factor(const kavo::View<double, 2>& a,
                                                         std::uint64_t parallel_entries) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  const std::uint64_t n = *order;

  kavo::OwnedArray<double, 2> working = kavo::to_row_major_owned(a);
  if (auto screened = require_symmetric_input(working.data(), n, "Bunch-Kaufman"); !screened) {
    return std::unexpected(std::move(screened.error()));
  }

  BunchKaufmanFactors factors{kavo::zeros<double, 2>({n, n}), kavo::zeros<double, 2>({n, n}),
                              kavo::Buffer<std::uint64_t>(n)};
  for (std::uint64_t i = 0; i < n; ++i) {
    factors.l.data()[i * n + i] = 1.0;
    factors.permutation[i] = i;
  }
  if (auto done = Elimination(working.data(), n, factors, parallel_entries).run(); !done) return std::unexpected(std::move(done.error()));

  const kavo::Layout<2> square{{n, n}, {static_cast<std::int64_t>(n), 1}, 0};
  platform::ensure(factors.l.layout() == square, "L shape matches storage");
  platform::ensure(factors.d.layout() == square, "D shape matches storage");
  return factors;
}

}  // namespace kavo_ops
