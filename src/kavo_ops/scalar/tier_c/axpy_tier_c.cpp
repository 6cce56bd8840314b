// axpy kernels, tier C: out <- fma(alpha, x, out) through std::fma, one
// rounding per element like the vector FMA of the other tiers. Sixteen
// elements per iteration, then single elements.

#include <cmath>
#include <cstddef>
#include <cstdint>

#include "kavo_ops/scalar/tier_c/slice_kernels_tier_c.h"

namespace kavo_ops::tier_c {
namespace {

constexpr std::size_t unroll = 16;

template <class T>
void axpy(T alpha, const T* x, T* out, std::size_t len) {
  std::size_t i = 0;
  for (; i + unroll <= len; i += unroll) {
    for (std::size_t k = 0; k < unroll; ++k) out[i + k] = std::fma(alpha, x[i + k], out[i + k]);
  }
  for (; i < len; ++i) out[i] = std::fma(alpha, x[i], out[i]);
}

}  // namespace

void axpy_f32(float alpha, const float* x, float* out, std::size_t len) noexcept {
  axpy(alpha, x, out, len);
}
void axpy_f64(double alpha, const double* x, double* out, std::size_t len) noexcept {
  axpy(alpha, x, out, len);
}

}  // namespace kavo_ops::tier_c
