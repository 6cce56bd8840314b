#include "fyrel/gemm/gemm_kernels.h"

#include "fyrel/gemm/gemm_tiles.h"

namespace fyrel {
namespace {

// kc keeps one kc x nr strip of B at 24-32 KiB, inside the level-1 data
// cache of the processors each tier targets (measured with bench_gemm).
constexpr GemmKernels<float> f32_tables[] = {
    {tier_a::f32_mr, tier_a::f32_nr, 128, tier_a::gemm_tile_f32},
    {tier_b::f32_mr, tier_b::f32_nr, 256, tier_b::gemm_tile_f32},
    {tier_c::f32_mr, tier_c::f32_nr, 256, tier_c::gemm_tile_f32},
};
constexpr GemmKernels<double> f64_tables[] = {
    {tier_a::f64_mr, tier_a::f64_nr, 128, tier_a::gemm_tile_f64},
    {tier_b::f64_mr, tier_b::f64_nr, 256, tier_b::gemm_tile_f64},
    {tier_c::f64_mr, tier_c::f64_nr, 256, tier_c::gemm_tile_f64},
};

constexpr std::size_t index_of(platform::Tier tier) noexcept {
  switch (tier) {
    case platform::Tier::A: return 0;
    case platform::Tier::B: return 1;
    case platform::Tier::C: return 2;
  }
  return 2;
}

}  // namespace

template <>
const GemmKernels<float>& gemm_kernels<float>(platform::Tier tier) noexcept {
  return f32_tables[index_of(tier)];
}

template <>
const GemmKernels<double>& gemm_kernels<double>(platform::Tier tier) noexcept {
  return f64_tables[index_of(tier)];
}

}  // namespace fyrel
