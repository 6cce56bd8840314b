#include <utility>

#include "kavo_ops/linalg/bunch_kaufman/bunch_kaufman_steps.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

void symmetric_interchange(double* w, double* l, std::uint64_t* perm, std::uint64_t n, std::uint64_t from,
                           std::uint64_t a, std::uint64_t b) {
  if (a == b) return;
  platform::ensure(from <= a && a < b && b < n, "invariant: interchange within the trailing matrix");
  // Only the lower triangle is stored, so entries that cross the diagonal
  // under the exchange come from the mirrored position. W[b][a] stays.
  for (std::uint64_t j = from; j < a; ++j) std::swap(w[a * n + j], w[b * n + j]);
  std::swap(w[a * n + a], w[b * n + b]);
  for (std::uint64_t j = a + 1; j < b; ++j) std::swap(w[j * n + a], w[b * n + j]);
  for (std::uint64_t j = b + 1; j < n; ++j) std::swap(w[j * n + a], w[j * n + b]);
  for (std::uint64_t j = 0; j < from; ++j) std::swap(l[a * n + j], l[b * n + j]);
  std::swap(perm[a], perm[b]);
}

}  // namespace kavo_ops
