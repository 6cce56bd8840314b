#include "fyrel/gemm/gemm_rows.h"

#include <algorithm>
#include <cstring>

namespace fyrel {

template <class T>
void gemm_rows(const GemmKernels<T>& kernels, const T* a, std::size_t lda, const BPanels<T>& b, T* c,
               std::size_t ldc, std::size_t rows, std::size_t n, std::size_t k, T* a_scratch) noexcept {
  const std::size_t mr = kernels.mr;
  const std::size_t nr = kernels.nr;
  // With more than one strip, each kc-deep slice of A is read once per strip:
  // copy it into a compact block first, so its rows are adjacent instead of
  // a whole row of A apart (distant rows share level-1 sets and TLB entries).
  const bool pack_a = a_scratch != nullptr && n > nr && rows > 1 && lda != std::min(kernels.kc, k);
  for (std::size_t p0 = 0; p0 < k; p0 += kernels.kc) {
    const std::size_t depth = std::min(kernels.kc, k - p0);
    const T* a_slice = a + p0;
    std::size_t a_stride = lda;
    if (pack_a) {
      for (std::size_t i = 0; i < rows; ++i) std::memcpy(a_scratch + i * depth, a + i * lda + p0, depth * sizeof(T));
      a_slice = a_scratch;
      a_stride = depth;
    }
    for (std::size_t j = 0, s = 0; j < n; j += nr, ++s) {
      const std::size_t cols = std::min(nr, n - j);
      const T* strip = b.base + s * b.strip_stride + p0 * b.row_stride;
      for (std::size_t i = 0; i < rows; i += mr) {
        kernels.tile(depth, a_slice + i * a_stride, a_stride, strip, b.row_stride, c + i * ldc + j, ldc,
                     std::min(mr, rows - i), cols);
      }
    }
  }
}

template void gemm_rows<float>(const GemmKernels<float>&, const float*, std::size_t, const BPanels<float>&, float*,
                               std::size_t, std::size_t, std::size_t, std::size_t, float*) noexcept;
template void gemm_rows<double>(const GemmKernels<double>&, const double*, std::size_t, const BPanels<double>&,
                                double*, std::size_t, std::size_t, std::size_t, std::size_t, double*) noexcept;

}  // namespace fyrel
