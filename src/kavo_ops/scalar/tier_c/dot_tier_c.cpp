// Dot kernels, tier C (float32 and float64 alike): sixteen scalar partial
// sums p[g][l], four groups g of four lanes l, over blocks of 16 elements
// (element 16k + 4g + l goes to p[g][l]); the first block is plain products,
// later blocks are fused in with std::fma. Then per lane
//   q[l] = ((p[1][l] + p[0][l]) + p[2][l]) + p[3][l],
// the remaining whole 4-element blocks are fused into q (below 16 elements
// q starts as the plain products of the first 4-element block), and
//   result = ((q[1] + q[0]) + q[2]) + q[3] + (products of the last 1-3
//   elements, each rounded once, summed in index order).

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_c/slice_kernels_tier_c.h"

namespace kavo_ops::tier_c {
namespace {

template <class T>
T dot(const T* a, const T* b, std::size_t len) {
  T lane[4] = {0, 0, 0, 0};
  std::size_t i = 0;
  if (len >= 16) {
    T partial[16];
    for (std::size_t k = 0; k < 16; ++k) partial[k] = a[k] * b[k];
    for (i = 16; i + 16 <= len; i += 16) {
      for (std::size_t k = 0; k < 16; ++k) partial[k] = std::fma(a[i + k], b[i + k], partial[k]);
    }
    for (std::size_t l = 0; l < 4; ++l) {
      lane[l] = ((partial[4 + l] + partial[l]) + partial[8 + l]) + partial[12 + l];
    }
  } else if (len >= 4) {
    for (std::size_t l = 0; l < 4; ++l) lane[l] = a[l] * b[l];
    i = 4;
  }
  for (; i + 4 <= len; i += 4) {
    for (std::size_t l = 0; l < 4; ++l) lane[l] = std::fma(a[i + l], b[i + l], lane[l]);
  }
  T result = ((lane[1] + lane[0]) + lane[2]) + lane[3];
  if (i < len) {
    T tail = a[i] * b[i];
    for (std::size_t j = i + 1; j < len; ++j) {
      const T product = a[j] * b[j];
      tail = tail + product;
    }
    result = result + tail;
  }
  return result;
}

}  // namespace

float dot_f32(const float* a, const float* b, std::size_t len) noexcept { return dot(a, b, len); }
double dot_f64(const double* a, const double* b, std::size_t len) noexcept { return dot(a, b, len); }

}  // namespace kavo_ops::tier_c

namespace kavo_ops::tier_c {

// No registers to share here: one lone dot after another.
void dot_group_f64(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                   double* out) noexcept {
  for (std::size_t g = 0; g < count; ++g) out[g] = dot(shared, others[g], len);
}

}  // namespace kavo_ops::tier_c
