#pragma once
// The vector forms of gemv and gemv_transpose (gemv.h), one namespace per
// processor tier. Only the dispatchers in gemv.cpp and gemv_transpose.cpp
// call them, on machines that run the tier. Each checks the lengths itself
// (gemv_lengths.h) and returns false, writing nothing, when they do not fit;
// the dispatcher then falls back to the portable form.
//
// This header is included by the tier sources, which are compiled with the
// tier's instruction-set flags, so it declares plain functions only.

#include <cstddef>

namespace fyrel {

namespace tier_a {  // AVX-512F, 8 float64 lanes
bool gemv(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y, std::size_t y_len,
          std::size_t m, std::size_t n, std::size_t s) noexcept;
bool gemv_transpose(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                    std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept;
}  // namespace tier_a

namespace tier_b {  // AVX2 + FMA, 4 float64 lanes
bool gemv(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y, std::size_t y_len,
          std::size_t m, std::size_t n, std::size_t s) noexcept;
bool gemv_transpose(const double* a, std::size_t a_len, const double* x, std::size_t x_len, double* y,
                    std::size_t y_len, std::size_t m, std::size_t n, std::size_t s) noexcept;
}  // namespace tier_b

}  // namespace fyrel
