#include <limits>

#include "kavo/assign/to_row_major.h"
#include "kavo_ops/linalg/common/finite_input.h"
#include "kavo_ops/linalg/common/square_order.h"
#include "kavo_ops/linalg/lu/lu.h"
#include "kavo_ops/linalg/lu/lu_eliminate.h"
#include "platform/invariant_failure.h"
#include "vendral/cache_policy.h"

namespace kavo_ops {
namespace {

// Blocks of the column path; below two blocks the plain loop is used. 64
// and 128 measured alike (bench_lu.py, n = 1000 and 2000); 64 halves the
// U12 axpy work (n^2 * block / 2 multiply-adds) against the product's.
constexpr std::uint64_t kColumnBlock = 64;
// Below kNarrowBlockUpTo, blocks of 16 (the panel's leaf width, so no
// recursion inside the panel): det at n = 48 to 500 measured 0.68-0.87x the
// time of the plain loop or of 64-column blocks; from 700 on 64 led.
constexpr std::uint64_t kNarrowBlock = 16;
constexpr std::uint64_t kNarrowBlockUpTo = 512;

bool fits_level3(std::uint64_t n, std::uint64_t level3_bytes) {
  std::uint64_t bytes = 0;
  if (__builtin_mul_overflow(n, n, &bytes) || __builtin_mul_overflow(bytes, std::uint64_t{8}, &bytes)) {
    return level3_bytes == std::numeric_limits<std::uint64_t>::max();
  }
  return bytes <= level3_bytes;
}

}  // namespace

std::uint64_t lu_level3_bytes() { return vendral::cache_policy().l3_bytes; }

kavo::Expected<LuFactors> lu_decompose(const kavo::View<double, 2>& a, std::uint64_t level3_bytes) {
  auto order = square_order(a.layout);
  if (!order) return std::unexpected(std::move(order.error()));
  return lu_decompose_owned(kavo::to_row_major_owned(a), level3_bytes);
}

kavo::Expected<LuFactors> lu_decompose_owned(kavo::OwnedArray<double, 2> a, std::uint64_t level3_bytes) {
  const std::uint64_t n = a.layout().shape[0];
  platform::ensure(a.layout() == kavo::Layout<2>{{n, n}, {static_cast<std::int64_t>(n), 1}, 0} &&
                       a.storage_len() == n * n,
                   "invariant: LU factors a compact square matrix");
  LuFactors lu{std::move(a), kavo::Buffer<std::uint64_t>(n), n, 1};
  if (auto finite = require_finite({lu.factors.data(), n * n}, "LU"); !finite) {
    return std::unexpected(std::move(finite.error()));
  }
  for (std::uint64_t i = 0; i < n; ++i) lu.perm[i] = i;

  kavo::Expected<void> factored;
  if (!fits_level3(n, level3_bytes)) {
    factored = lu_factor_panels(lu);
  } else if (n < 2 * kNarrowBlock) {
    factored = lu_factor_columns(lu);
  } else {
    factored = lu_factor_columns_blocked(lu, n < kNarrowBlockUpTo ? kNarrowBlock : kColumnBlock);
  }
  if (!factored) return std::unexpected(std::move(factored.error()));
  platform::ensure(lu.factors.layout() == kavo::Layout<2>{{n, n}, {static_cast<std::int64_t>(n), 1}, 0},
                   "square factor storage");
  return lu;
}

}  // namespace kavo_ops
