// Float32 kernels with one repeated operand, tier B: 8 lanes per YMM
// register, two vectors per iteration, then one, then a masked
// load/operate/store of the last 1-7 elements.
// Every lane is one IEEE operation, so results equal a scalar loop exactly.

#include <immintrin.h>

#include <cstddef>

#include "kavo_ops/scalar/tier_b/float_ops_tier_b.h"
#include "kavo_ops/scalar/tier_b/slice_kernels_tier_b.h"

namespace kavo_ops::tier_b {
namespace {

constexpr std::size_t lanes = 8;

template <class Op>
void with_scalar(const float* a, float b, float* out, std::size_t len) {
  const __m256 repeated = _mm256_set1_ps(b);
  std::size_t i = 0;
  for (; i + 2 * lanes <= len; i += 2 * lanes) {
    const __m256 r0 = Op::vector(_mm256_loadu_ps(a + i), repeated);
    const __m256 r1 = Op::vector(_mm256_loadu_ps(a + i + lanes), repeated);
    _mm256_storeu_ps(out + i, r0);
    _mm256_storeu_ps(out + i + lanes, r1);
  }
  if (i + lanes <= len) {
    _mm256_storeu_ps(out + i, Op::vector(_mm256_loadu_ps(a + i), repeated));
    i += lanes;
  }
  if (i < len) {
    const __m256i mask = first_lanes_mask(len - i);
    // Masked-off lanes load 0 and are never stored.
    _mm256_maskstore_ps(out + i, mask, Op::vector(_mm256_maskload_ps(a + i, mask), repeated));
  }
}

}  // namespace

void add_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Add>(a, b, out, len); }
void sub_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Sub>(a, b, out, len); }
void mul_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Mul>(a, b, out, len); }
void div_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Div>(a, b, out, len); }

}  // namespace kavo_ops::tier_b
