#include "kavo_ops/linalg/symmetric_eigen/row_best.h"

#include "platform/processor_tier.h"

namespace kavo_ops {

RowBest row_best(const double* row, const double* roots, double s_i, double floor, std::size_t count) noexcept {
  switch (platform::active_tier()) {
    case platform::Tier::A: return tier_a::row_best(row, roots, s_i, floor, count);
    case platform::Tier::B: return tier_b::row_best(row, roots, s_i, floor, count);
    case platform::Tier::C: break;
  }
  return tier_c::row_best(row, roots, s_i, floor, count);
}

std::size_t first_largest(const double* values, std::size_t count) noexcept {
  switch (platform::active_tier()) {
    case platform::Tier::A: return tier_a::first_largest(values, count);
    case platform::Tier::B: return tier_b::first_largest(values, count);
    case platform::Tier::C: break;
  }
  return tier_c::first_largest(values, count);
}

std::size_t rows_to_revisit(const double* row_p, const double* row_q, const double* best, const std::uint64_t* column,
                            std::uint64_t p, std::uint64_t q, double cut, std::uint64_t* rows) noexcept {
  switch (platform::active_tier()) {
    case platform::Tier::A: return tier_a::rows_to_revisit(row_p, row_q, best, column, p, q, cut, rows);
    case platform::Tier::B: return tier_b::rows_to_revisit(row_p, row_q, best, column, p, q, cut, rows);
    case platform::Tier::C: break;
  }
  return tier_c::rows_to_revisit(row_p, row_q, best, column, p, q, cut, rows);
}

}  // namespace kavo_ops
