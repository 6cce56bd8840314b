// Float32 kernels with one repeated operand, tier A: 16 lanes per ZMM
// register, two vectors per iteration, then one, then a masked
// load/operate/store of the last 1-15 elements.
// Every lane is one IEEE operation, so results equal a scalar loop exactly.

#include <immintrin.h>

#include <cstddef>

#include "kavo_ops/scalar/tier_a/float_ops_tier_a.h"
#include "kavo_ops/scalar/tier_a/slice_kernels_tier_a.h"

namespace kavo_ops::tier_a {
namespace {

constexpr std::size_t lanes = 16;

template <class Op>
void with_scalar(const float* a, float b, float* out, std::size_t len) {
  const __m512 repeated = _mm512_set1_ps(b);
  std::size_t i = 0;
  for (; i + 2 * lanes <= len; i += 2 * lanes) {
    const __m512 r0 = Op::vector(_mm512_loadu_ps(a + i), repeated);
    const __m512 r1 = Op::vector(_mm512_loadu_ps(a + i + lanes), repeated);
    _mm512_storeu_ps(out + i, r0);
    _mm512_storeu_ps(out + i + lanes, r1);
  }
  if (i + lanes <= len) {
    _mm512_storeu_ps(out + i, Op::vector(_mm512_loadu_ps(a + i), repeated));
    i += lanes;
  }
  if (i < len) {
    const auto mask = static_cast<__mmask16>((1u << (len - i)) - 1);
    // Masked-off lanes load 0 and are never stored.
    _mm512_mask_storeu_ps(out + i, mask, Op::vector(_mm512_maskz_loadu_ps(mask, a + i), repeated));
  }
}

}  // namespace

void add_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Add>(a, b, out, len); }
void sub_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Sub>(a, b, out, len); }
void mul_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Mul>(a, b, out, len); }
void div_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept { with_scalar<Div>(a, b, out, len); }

}  // namespace kavo_ops::tier_a
