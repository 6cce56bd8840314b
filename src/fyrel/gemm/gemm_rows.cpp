#include "fyrel/gemm/gemm_rows.h"

#include <algorithm>

namespace fyrel {

template <class T>
void gemm_rows(const GemmKernels<T>& kernels, const T* a, std::size_t lda, const BPanels<T>& b, T* c,
               std::size_t ldc, std::size_t rows, std::size_t n, std::size_t k) noexcept {
  const std::size_t mr = kernels.mr;
  const std::size_t nr = kernels.nr;
  for (std::size_t p0 = 0; p0 < k; p0 += kernels.kc) {
    const std::size_t depth = std::min(kernels.kc, k - p0);
    for (std::size_t j = 0, s = 0; j < n; j += nr, ++s) {
      const std::size_t cols = std::min(nr, n - j);
      const T* strip = b.base + s * b.strip_stride + p0 * b.row_stride;
      for (std::size_t i = 0; i < rows; i += mr) {
        kernels.tile(depth, a + i * lda + p0, lda, strip, b.row_stride, c + i * ldc + j, ldc, std::min(mr, rows - i),
                     cols);
      }
    }
  }
}

template void gemm_rows<float>(const GemmKernels<float>&, const float*, std::size_t, const BPanels<float>&, float*,
                               std::size_t, std::size_t, std::size_t, std::size_t) noexcept;
template void gemm_rows<double>(const GemmKernels<double>&, const double*, std::size_t, const BPanels<double>&,
                                double*, std::size_t, std::size_t, std::size_t, std::size_t) noexcept;

}  // namespace fyrel
