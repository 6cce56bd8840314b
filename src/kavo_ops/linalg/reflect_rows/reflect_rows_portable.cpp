#include "kavo_ops/linalg/reflect_rows/reflect_rows.h"
#include "kavo_ops/linalg/reflect_rows/reflect_rows_body.h"

namespace kavo_ops::tier_c {

void reflect_rows_separate(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                           const double* tail, std::size_t tail_stride, double tau) noexcept {
  reflect_rows_body<false>(block, row_stride, rows, width, head, tail, tail_stride, tau);
}

void reflect_rows_fused(double* block, std::size_t row_stride, std::size_t rows, std::size_t width, double head,
                        const double* tail, std::size_t tail_stride, double tau) noexcept {
  reflect_rows_body<true>(block, row_stride, rows, width, head, tail, tail_stride, tau);
}

}  // namespace kavo_ops::tier_c
