#include "kavo_ops/linalg/norms/norms.h"

namespace kavo_ops {

std::optional<EntrywiseNorm> parse_norm_order(std::string_view order) noexcept {
  if (order == "fro" || order == "2" || order == "l2") return EntrywiseNorm::Frobenius;
  if (order == "max" || order == "inf") return EntrywiseNorm::Max;
  if (order == "1" || order == "l1") return EntrywiseNorm::Sum;
  return std::nullopt;
}

}  // namespace kavo_ops
