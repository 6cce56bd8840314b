#include <algorithm>

#include "kavo/constructors/constructors.h"
#include "kavo_ops/linalg/full_piv_lu/full_piv_lu.h"

namespace kavo_ops {

kavo::Expected<FullPivLu> full_piv_lu(const kavo::View<double, 2>& a) {
  auto elimination = full_piv_lu_decompose(a);
  if (!elimination) return std::unexpected(std::move(elimination.error()));
  const std::uint64_t n = elimination->order;
  const std::uint64_t rank = elimination->rank;
  const double* f = elimination->factors.data();

  kavo::Buffer<double> l(n * n);
  kavo::Buffer<double> u(n * n);
  for (std::uint64_t i = 0; i < n; ++i) {
    const double* row = f + i * n;
    // Only multipliers go into L. Below the diagonal of the neglected block
    // (rows and columns from `rank` on) lie entries of A's scale, not
    // multipliers; treated as zero, they would otherwise add their product
    // with U's block to L U, an error growing with the square of A's scale.
    std::copy(row, row + std::min(i, rank), l.data() + i * n);
    l[i * n + i] = 1.0;
    std::copy(row + i, row + n, u.data() + i * n + i);
  }
  return FullPivLu{
      kavo::expect_valid(kavo::from_vector<double, 2>({n, n}, std::move(l)), "L shape matches storage"),
      kavo::expect_valid(kavo::from_vector<double, 2>({n, n}, std::move(u)), "U shape matches storage"),
      std::move(elimination->row_perm),
      std::move(elimination->col_perm),
  };
}

}  // namespace kavo_ops
