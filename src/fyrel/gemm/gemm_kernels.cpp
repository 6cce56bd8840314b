#include "fyrel/gemm/gemm_kernels.h"

#include "fyrel/gemm/gemm_tiles.h"

namespace fyrel {
namespace {

// kc: each C tile is loaded and stored once per k block, so deeper blocks
// save C traffic until the A band (rows x kc) outgrows the level-2 cache.
// Measured on Zen 3 (AVX2, 32 KiB L1, 512 KiB L2) with bench/cpp/bench_gemm:
// kc = 512 beat 256 by 3-5 % at n = 1024-2048 even though a 48 KiB strip of
// B then streams from L2 rather than staying in L1. Tier A keeps kc = 256:
// re-measured on a Xeon (AVX-512, 48 KiB L1d, 2 MiB L2) in one run, medians
// of five, kc = 128 / 256 / 384 / 512 gave 154 / 161 / 162 / 160 GFLOP/s at
// n = 1024 and 139 / 143 / 147 / 151 at n = 2048 (within that machine's
// noise), and a loop order that keeps each row group's A in L1 while
// 1024-column blocks of B stream past it was no faster.
constexpr GemmKernels<float> f32_tables[] = {
    {tier_a::f32_mr, tier_a::f32_nr, 256, tier_a::gemm_tile_f32, tier_a::gemm_small_products_f32},
    {tier_b::f32_mr, tier_b::f32_nr, 512, tier_b::gemm_tile_f32, tier_b::gemm_small_products_f32},
    {tier_c::f32_mr, tier_c::f32_nr, 512, tier_c::gemm_tile_f32, tier_c::gemm_small_products_f32},
};
constexpr GemmKernels<double> f64_tables[] = {
    {tier_a::f64_mr, tier_a::f64_nr, 256, tier_a::gemm_tile_f64, tier_a::gemm_small_products_f64},
    {tier_b::f64_mr, tier_b::f64_nr, 512, tier_b::gemm_tile_f64, tier_b::gemm_small_products_f64},
    {tier_c::f64_mr, tier_c::f64_nr, 512, tier_c::gemm_tile_f64, tier_c::gemm_small_products_f64},
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
