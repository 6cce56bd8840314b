#pragma once
// Slice kernels of processor tier B: AVX2 with FMA, 8 float32 or 4 float64
// lanes per vector.
// Only the dispatch table names these; callers go through the checked
// kernels in scalar/*_slice.h, which verify lengths first.
//
// This header is included by the tier's own sources, which are compiled with
// the tier's instruction-set flags, so it declares plain functions only.

#include <cstddef>

namespace kavo_ops::tier_b {

// From this many elements on, elementwise results bypass the caches with
// streaming stores: at 2^21 float32 (8 MiB per operand) the output alone
// fills a typical last-level cache and would evict the inputs of the next
// operation, while smaller outputs are usually read again soon.
inline constexpr std::size_t streaming_store_min_len = std::size_t{1} << 21;

// out[i] = a[i] op b[i] for i < a_len. Returns false and writes nothing when
// a_len != b_len or out_len < a_len.
bool add_f32(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
             std::size_t out_len) noexcept;
bool sub_f32(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
             std::size_t out_len) noexcept;
bool mul_f32(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
             std::size_t out_len) noexcept;
bool div_f32(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* out,
             std::size_t out_len) noexcept;

// out[i] = a[i] op b for i < len: one operand repeated along a row (a
// column broadcast), the same IEEE operation per element as above.
void add_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept;
void sub_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept;
void mul_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept;
void div_scalar_f32(const float* a, float b, float* out, std::size_t len) noexcept;

// out[i] = fma(alpha, x[i], out[i]).
void axpy_f32(float alpha, const float* x, float* out, std::size_t len) noexcept;
void axpy_f64(double alpha, const double* x, double* out, std::size_t len) noexcept;

// Sum of a[i] * b[i] in this tier's summation order.
float dot_f32(const float* a, const float* b, std::size_t len) noexcept;
double dot_f64(const double* a, const double* b, std::size_t len) noexcept;

// out[g] = dot_f64(shared, others[g], len) for g < count, bit for bit, with
// `shared` loaded once for several of the dots.
void dot_group_f64(const double* shared, const double* const* others, std::size_t count, std::size_t len,
                   double* out) noexcept;

// Sum of x[i] in this tier's summation order.
float sum_f32(const float* x, std::size_t len) noexcept;

}  // namespace kavo_ops::tier_b
