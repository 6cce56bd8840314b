// Elementwise float32 kernels, tier A: 16 lanes per ZMM register.
//   below 2^21 elements: 2 vectors (32 elements) per iteration, then one
//     vector, then a masked load/operate/store of the last 1-15 elements;
//   from 2^21 elements: single elements until `out` is 64-byte aligned, whole
//     vectors with streaming stores, a store fence, the rest one by one.
// Every lane is one IEEE operation, so results equal a scalar loop exactly.

#include <immintrin.h>

#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_a/float_ops_tier_a.h"
#include "kavo_ops/scalar/tier_a/slice_kernels_tier_a.h"

namespace kavo_ops::tier_a {
namespace {

constexpr std::size_t lanes = 16;
constexpr std::uintptr_t vector_bytes = 64;

template <class Op>
void streaming(const float* a, const float* b, float* out, std::size_t len) {
  // `out` is float-aligned, so whole elements reach the next 64-byte boundary.
  const auto misalignment = reinterpret_cast<std::uintptr_t>(out) % vector_bytes;
  const std::size_t head = misalignment == 0 ? 0 : (vector_bytes - misalignment) / sizeof(float);
  std::size_t i = 0;
  for (; i < head && i < len; ++i) out[i] = Op::one(a[i], b[i]);
  for (; i + lanes <= len; i += lanes) {
    _mm512_stream_ps(out + i, Op::vector(_mm512_loadu_ps(a + i), _mm512_loadu_ps(b + i)));
  }
  // Streaming stores are weakly ordered; fence before anyone reads `out`.
  _mm_sfence();
  for (; i < len; ++i) out[i] = Op::one(a[i], b[i]);
}

template <class Op>
void cached(const float* a, const float* b, float* out, std::size_t len) {
  std::size_t i = 0;
  for (; i + 2 * lanes <= len; i += 2 * lanes) {
    const __m512 r0 = Op::vector(_mm512_loadu_ps(a + i), _mm512_loadu_ps(b + i));
    const __m512 r1 = Op::vector(_mm512_loadu_ps(a + i + lanes), _mm512_loadu_ps(b + i + lanes));
    _mm512_storeu_ps(out + i, r0);
    _mm512_storeu_ps(out + i + lanes, r1);
  }
  if (i + lanes <= len) {
    _mm512_storeu_ps(out + i, Op::vector(_mm512_loadu_ps(a + i), _mm512_loadu_ps(b + i)));
    i += lanes;
  }
  if (i < len) {
    const auto mask = static_cast<__mmask16>((1u << (len - i)) - 1);
    // Masked-off lanes load 0 and are never stored (0/0 there is discarded).
    const __m512 r = Op::vector(_mm512_maskz_loadu_ps(mask, a + i), _mm512_maskz_loadu_ps(mask, b + i));
    _mm512_mask_storeu_ps(out + i, mask, r);
  }
}

template <class Op>
bool elementwise(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
                 std::size_t out_len) {
  if (a_len != b_len || out_len < a_len) return false;
  if (a_len >= streaming_store_min_len) {
    streaming<Op>(a, b, out, a_len);
  } else {
    cached<Op>(a, b, out, a_len);
  }
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

}  // namespace kavo_ops::tier_a
