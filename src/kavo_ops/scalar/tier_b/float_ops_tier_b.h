#pragma once
// The four float32 operations as the tier B elementwise kernels use them
// (`vector` on 8 lanes, `one` on a single element) and the lane mask for
// masked tails. Included only by this tier's sources, which are compiled
// with its target flags.

#include <immintrin.h>

#include <cstddef>

namespace kavo_ops::tier_b {
namespace {

// All-ones in lanes 0 .. count-1 (the sign bit selects a lane in maskload/maskstore).
inline __m256i first_lanes_mask(std::size_t count) {
  return _mm256_cmpgt_epi32(_mm256_set1_epi32(static_cast<int>(count)),
                            _mm256_setr_epi32(0, 1, 2, 3, 4, 5, 6, 7));
}

struct Add {
  static __m256 vector(__m256 a, __m256 b) { return _mm256_add_ps(a, b); }
  static float one(float a, float b) { return a + b; }
};
struct Sub {
  static __m256 vector(__m256 a, __m256 b) { return _mm256_sub_ps(a, b); }
  static float one(float a, float b) { return a - b; }
};
struct Mul {
  static __m256 vector(__m256 a, __m256 b) { return _mm256_mul_ps(a, b); }
  static float one(float a, float b) { return a * b; }
};
struct Div {
  static __m256 vector(__m256 a, __m256 b) { return _mm256_div_ps(a, b); }
  static float one(float a, float b) { return a / b; }
};

}  // namespace
}  // namespace kavo_ops::tier_b
