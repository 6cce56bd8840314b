#pragma once
// The four float32 operations as the tier A elementwise kernels use them:
// `vector` on 16 lanes, `one` on a single element. Included only by this
// tier's sources, which are compiled with its target flags.

#include <immintrin.h>

#include <cstddef>

namespace kavo_ops::tier_a {
namespace {

struct Add {
  static __m512 vector(__m512 a, __m512 b) { return _mm512_add_ps(a, b); }
  static float one(float a, float b) { return a + b; }
};
struct Sub {
  static __m512 vector(__m512 a, __m512 b) { return _mm512_sub_ps(a, b); }
  static float one(float a, float b) { return a - b; }
};
struct Mul {
  static __m512 vector(__m512 a, __m512 b) { return _mm512_mul_ps(a, b); }
  static float one(float a, float b) { return a * b; }
};
struct Div {
  static __m512 vector(__m512 a, __m512 b) { return _mm512_div_ps(a, b); }
  static float one(float a, float b) { return a / b; }
};

}  // namespace
}  // namespace kavo_ops::tier_a
