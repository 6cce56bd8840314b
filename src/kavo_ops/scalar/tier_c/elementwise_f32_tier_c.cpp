// Elementwise float32 kernels, tier C: SSE2 vectors of 4 lanes. Two vectors
// (8 elements) per iteration, then one vector if 4 or more remain, then the
// last 1-3 elements one by one. No streaming stores on this tier.
// Every lane is one IEEE operation, so results equal a scalar loop exactly.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_c/float_ops_tier_c.h"
#include "kavo_ops/scalar/tier_c/slice_kernels_tier_c.h"

namespace kavo_ops::tier_c {
namespace {

constexpr std::size_t lanes = 4;

template <class Op>
bool elementwise(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
                 std::size_t out_len) {
  if (a_len != b_len || out_len < a_len) return false;
  const std::size_t len = a_len;
  std::size_t i = 0;
  for (; i + 2 * lanes <= len; i += 2 * lanes) {
    const __m128 r0 = Op::vector(_mm_loadu_ps(a + i), _mm_loadu_ps(b + i));
    const __m128 r1 = Op::vector(_mm_loadu_ps(a + i + lanes), _mm_loadu_ps(b + i + lanes));
    _mm_storeu_ps(out + i, r0);
    _mm_storeu_ps(out + i + lanes, r1);
  }
  if (i + lanes <= len) {
    _mm_storeu_ps(out + i, Op::vector(_mm_loadu_ps(a + i), _mm_loadu_ps(b + i)));
    i += lanes;
  }
  for (; i < len; ++i) out[i] = Op::one(a[i], b[i]);
  return true;
}

}  // namespace

bool add_f32(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
             std::size_t out_len) noexcept {
  return elementwise<Add>(a, a_len, b, b_len, out, out_len);
}
bool sub_f32(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
             std::size_t out_len) noexcept {
  return elementwise<Sub>(a, a_len, b, b_len, out, out_len);
}
bool mul_f32(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
             std::size_t out_len) noexcept {
  return elementwise<Mul>(a, a_len, b, b_len, out, out_len);
}
bool div_f32(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
             std::size_t out_len) noexcept {
  return elementwise<Div>(a, a_len, b, b_len, out, out_len);
}

}  // namespace kavo_ops::tier_c
