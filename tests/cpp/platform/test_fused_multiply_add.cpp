// std::fma and std::fmaf must round once, as the processor's fused
// multiply-add does: the baseline kernels fuse through them and must give
// the same bits as the FMA-tier kernels and as every other system. (MinGW's
// own fma rounds the product first in about a quarter of all cases; the
// Windows platform replaces it.)

#include <gtest/gtest.h>

#include <immintrin.h>

#include <array>
#include <bit>
#include <cmath>
#include <cstdint>
#include <limits>
#include <random>
#include <vector>

#include "platform/cpu_features.h"
#if defined(_WIN32)
#include "platform/windows/correctly_rounded_fma.h"
#endif

namespace {

[[gnu::target("fma")]] double hardware_fma(double a, double b, double c) {
  return _mm_cvtsd_f64(_mm_fmadd_sd(_mm_set_sd(a), _mm_set_sd(b), _mm_set_sd(c)));
}

[[gnu::target("fma")]] float hardware_fma(float a, float b, float c) {
  return _mm_cvtss_f32(_mm_fmadd_ss(_mm_set_ss(a), _mm_set_ss(b), _mm_set_ss(c)));
}

template <typename Float>
std::uint64_t bits_of(Float value) {
  if (value != value) return 0x7ff8;  // every NaN alike
  if constexpr (sizeof(Float) == 8) return std::bit_cast<std::uint64_t>(value);
  else return std::bit_cast<std::uint32_t>(value);
}

// Random operands of wide-ranging magnitude, plus cases at the edges:
// cancellation, ties, overflow, underflow into and out of the subnormals,
// zeros of both signs, infinities and NaNs.
template <typename Float>
std::vector<std::array<Float, 3>> operands() {
  using limits = std::numeric_limits<Float>;
  std::mt19937_64 generator(20240611);
  std::uniform_real_distribution<Float> unit(-1, 1);
  std::uniform_int_distribution<int> scale(limits::min_exponent / 2 - 10, limits::max_exponent / 2 + 2);
  std::vector<std::array<Float, 3>> cases;
  for (int i = 0; i < 200000; ++i) {
    const Float a = std::ldexp(unit(generator), scale(generator));
    const Float b = std::ldexp(unit(generator), scale(generator));
    const int which = i % 4;
    // Often c near -a*b, so that most of the product cancels.
    const Float c = which == 0 ? -a * b * (1 + unit(generator) * limits::epsilon() * 4)
                  : which == 1 ? std::ldexp(unit(generator), 2 * scale(generator))
                               : unit(generator) * a * b * 1000;
    cases.push_back({a, b, c});
  }
  const Float tiny = limits::denorm_min(), least_normal = limits::min(), big = limits::max();
  const Float inf = limits::infinity(), nan = limits::quiet_NaN(), eps = limits::epsilon();
  const std::array<Float, 3> edges[] = {
      {1 + eps, 1 - eps, -1},          {1 + eps, 1 + eps, -1},       {big, 2, -big},
      {big, 1 + eps, 0},               {big, big, -inf},             {least_normal, 0.5, 0},
      {least_normal, eps, tiny},       {tiny, 0.5, 0},               {tiny, 0.5, tiny},
      {-tiny, 0.5, 0},                 {least_normal, -0.5, tiny},   {0, -1, 0},
      {-0.0f, 1, -0.0f},               {1, -1, 1},                   {inf, 0, 1},
      {inf, 1, -inf},                  {nan, 1, 1},                  {1, 1, nan},
      {3, 1.0f / 3, -1},               {1 + 2 * eps, 0.5, tiny},     {least_normal * 3, 0.25, -tiny},
  };
  for (const auto& edge : edges) cases.push_back(edge);
  return cases;
}

template <typename Float>
void expect_matches_the_processor(Float (*fused)(Float, Float, Float)) {
  for (const auto& [a, b, c] : operands<Float>()) {
    const Float expected = hardware_fma(a, b, c);
    ASSERT_EQ(bits_of(fused(a, b, c)), bits_of(expected)) << std::hexfloat << a << " * " << b << " + " << c;
  }
}

class FusedMultiplyAdd : public ::testing::Test {
 protected:
  void SetUp() override {
    if ((platform::cpu_features() & platform::cpu_feature::fma) == 0) {
      GTEST_SKIP() << "this processor has no fused multiply-add to compare with";
    }
  }
};

TEST_F(FusedMultiplyAdd, StdFmaRoundsOnceAsTheProcessorDoes) {
  expect_matches_the_processor<double>([](double a, double b, double c) { return std::fma(a, b, c); });
  expect_matches_the_processor<float>([](float a, float b, float c) { return std::fma(a, b, c); });
}

#if defined(_WIN32)
// The integer path, which machines without the instruction take.
TEST_F(FusedMultiplyAdd, SoftwarePathRoundsOnceAsTheProcessorDoes) {
  expect_matches_the_processor<double>([](double a, double b, double c) {
    return platform::software_fused_multiply_add(a, b, c);
  });
  expect_matches_the_processor<float>([](float a, float b, float c) {
    return platform::software_fused_multiply_add(a, b, c);
  });
}
#endif

}  // namespace
