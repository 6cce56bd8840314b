#pragma once
// One Householder reflector applied from the left to a block of rows: the
// step QR's panels, the forming of Q and the shared reflector's left
// application all repeat. Row 0 of the block takes the reflector's first
// entry `head`, row r >= 1 the tail entry tail[(r-1) * tail_stride]; with c_r
// those coefficients, for every column j < width:
//   s_j = sum over r ascending of c_r * B[r][j];  s_j = s_j * tau
//   B[r][j] = B[r][j] - s_j * c_r  (every r)
// Two roundings to choose from, each giving the same bits on every
// processor tier (the tiers differ only in how many columns they carry in
// registers at once):
//   separate  every product rounded before its add or subtract; the sum
//             starts from c_0 * B[0][j] (QR's own reflectors);
//   fused     one fused multiply-add per term, the sum starting from 0,
//             exactly the axpy slice kernel's rounding (the shared reflector).

#include <cstddef>

namespace kavo_ops {

enum class ReflectRounding { separate, fused };

void reflect_rows(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                  const double* tail, std::size_t tail_stride, double tau, ReflectRounding rounding) noexcept;

// One table per processor tier, defined by reflect_rows_tier_[abc].cpp.
struct ReflectRowsKernels {
  using Reflect = void (*)(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                           const double* tail, std::size_t tail_stride, double tau) noexcept;
  Reflect separate;
  Reflect fused;
};
extern const ReflectRowsKernels reflect_rows_tier_a, reflect_rows_tier_b, reflect_rows_tier_c;

}  // namespace kavo_ops
