#pragma once
// The four float32 operations as the tier C elementwise kernels use them:
// `vector` on 4 lanes, `one` on a single element. Included only by this
// tier's sources, which are compiled with its target flags.

#include <immintrin.h>

#include <cstddef>

namespace kavo_ops::tier_c {
namespace {

struct Add {
  static __m128 vector(__m128 a, __m128 b) { return _mm_add_ps(a, b); }
  static float one(float a, float b) { return a + b; }
};
struct Sub {
  static __m128 vector(__m128 a, __m128 b) { return _mm_sub_ps(a, b); }
  static float one(float a, float b) { return a - b; }
};
struct Mul {
  static __m128 vector(__m128 a, __m128 b) { return _mm_mul_ps(a, b); }
  static float one(float a, float b) { return a * b; }
};
struct Div {
  static __m128 vector(__m128 a, __m128 b) { return _mm_div_ps(a, b); }
  static float one(float a, float b) { return a / b; }
};

}  // namespace
}  // namespace kavo_ops::tier_c
