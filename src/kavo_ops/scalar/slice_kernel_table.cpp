#include "kavo_ops/scalar/slice_kernel_table.h"

#include "platform/processor_tier.h"
#include "kavo_ops/scalar/tier_a/slice_kernels_tier_a.h"
#include "kavo_ops/scalar/tier_b/slice_kernels_tier_b.h"
#include "kavo_ops/scalar/tier_c/slice_kernels_tier_c.h"

namespace kavo_ops {
namespace {

constexpr SliceKernelTable tier_a_table{
    tier_a::add_f32,  tier_a::sub_f32, tier_a::mul_f32, tier_a::div_f32, tier_a::axpy_f32,
    tier_a::axpy_f64, tier_a::dot_f32, tier_a::dot_f64, tier_a::sum_f32, tier_a::dot_group_f64,
    tier_a::add_scalar_f32, tier_a::sub_scalar_f32, tier_a::mul_scalar_f32, tier_a::div_scalar_f32,
};
constexpr SliceKernelTable tier_b_table{
    tier_b::add_f32,  tier_b::sub_f32, tier_b::mul_f32, tier_b::div_f32, tier_b::axpy_f32,
    tier_b::axpy_f64, tier_b::dot_f32, tier_b::dot_f64, tier_b::sum_f32, tier_b::dot_group_f64,
    tier_b::add_scalar_f32, tier_b::sub_scalar_f32, tier_b::mul_scalar_f32, tier_b::div_scalar_f32,
};
constexpr SliceKernelTable tier_c_table{
    tier_c::add_f32,  tier_c::sub_f32, tier_c::mul_f32, tier_c::div_f32, tier_c::axpy_f32,
    tier_c::axpy_f64, tier_c::dot_f32, tier_c::dot_f64, tier_c::sum_f32, tier_c::dot_group_f64,
    tier_c::add_scalar_f32, tier_c::sub_scalar_f32, tier_c::mul_scalar_f32, tier_c::div_scalar_f32,
};

}  // namespace

const SliceKernelTable& slice_kernels(platform::Tier tier) noexcept {
  switch (tier) {
    case platform::Tier::A: return tier_a_table;
    case platform::Tier::B: return tier_b_table;
    case platform::Tier::C: return tier_c_table;
  }
  return tier_c_table;
}

const SliceKernelTable& active_slice_kernels() noexcept { return slice_kernels(platform::active_tier()); }

}  // namespace kavo_ops
