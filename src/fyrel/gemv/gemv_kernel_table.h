#pragma once
// One table of gemv kernels per processor tier, defined by gemv_tier_[abc].cpp:
// the vector forms of tiers A and B from one body each (gemv_body.h,
// gemv_transpose_body.h), the portable forms on tier C. Each checks the
// lengths itself (gemv_lengths.h) and returns false, writing nothing, when
// they do not fit; the dispatchers in gemv.cpp then run tier C's form, which
// checks again and does nothing.

#include <cstddef>

namespace fyrel {

struct GemvKernels {
  using Product = bool (*)(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                           std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept;
  Product gemv;
  Product gemv_transpose;
};

extern const GemvKernels gemv_kernels_tier_a, gemv_kernels_tier_b, gemv_kernels_tier_c;

}  // namespace fyrel
