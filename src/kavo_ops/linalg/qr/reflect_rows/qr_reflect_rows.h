#pragma once
// One QR reflector applied to a block of rows, the step both the panel
// factorization and the forming of Q repeat. Row 0 of the block takes the
// reflector's first entry `head`, row r >= 1 the tail entry tail[(r-1) *
// tail_stride]; with c_r those coefficients, for every column j < width:
//   s_j = c_0 * B[0][j];  s_j += c_r * B[r][j]  (r ascending);  s_j = s_j * tau
//   B[r][j] -= s_j * c_r  (every r)
// Each product is rounded before its add or subtract (no fused
// multiply-add), so every processor tier gives the same bits; the tiers
// differ only in how many columns they carry in registers at once.

#include <cstddef>

namespace kavo_ops {

void qr_reflect_rows(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                     const double* tail, std::size_t tail_stride, double tau) noexcept;

namespace tier_a {
void qr_reflect_rows(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                     const double* tail, std::size_t tail_stride, double tau) noexcept;
}
namespace tier_b {
void qr_reflect_rows(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                     const double* tail, std::size_t tail_stride, double tau) noexcept;
}
namespace tier_c {
void qr_reflect_rows(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                     const double* tail, std::size_t tail_stride, double tau) noexcept;
}

}  // namespace kavo_ops
