// Float32 kernels with one repeated operand, tier C: SSE2 vectors of 4 lanes,
// two vectors per iteration, then one, then the last 1-3 elements one by one.
// Every lane is one IEEE operation, so results equal a scalar loop exactly.

#include <immintrin.h>

#include <cstddef>

#include "kavo_ops/scalar/tier_c/float_ops_tier_c.h"
#include "kavo_ops/scalar/tier_c/slice_kernels_tier_c.h"

namespace kavo_ops::tier_c {
namespace {

constexpr std::size_t lanes = 4;

template <class Op>
void with_scalar(const float* a, float b, float* out, std::size_t len) {
  const __m128 repeated = _mm_set1_ps(b);
  std::size_t i = 0;
  for (; i + 2 * lanes <= len; i += 2 * lanes) {
    const __m128 r0 = Op::vector(_mm_loadu_ps(a + i), repeated);
    const __m128 r1 = Op::vector(_mm_loadu_ps(a + i + lanes), repeated);
    _mm_storeu_ps(out + i, r0);
    _mm_storeu_ps(out + i + lanes, r1);
  }
  if (i + lanes <= len) {
    _mm_storeu_ps(out + i, Op::vector(_mm_loadu_ps(a + i), repeated));
    i += lanes;
  }
  for (; i < len; ++i) out[i] = Op::one(a[i], b);
}

}  // namespace

void add_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Add>(a, b, out, len); }
void sub_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Sub>(a, b, out, len); }
void mul_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Mul>(a, b, out, len); }
void div_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Div>(a, b, out, len); }

}  // namespace kavo_ops::tier_c
