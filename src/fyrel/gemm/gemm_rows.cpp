#include "fyrel/gemm/gemm_rows.h"

#include <algorithm>
#include <cstring>

namespace fyrel {
namespace {

// Asks for the C tile after (i, j) (next row group, or the first of the next
// strip) while this one computes: a tile loads its C at the start and every
// fused chain waits for it, which measured 5 % of the run time from L2/L3.
template <class T>
void prefetch_next_c_tile(const GemmKernels<T>& kernels, const T* c, std::size_t ldc, std::size_t rows,
                          std::size_t n, std::size_t i, std::size_t j) noexcept {
  std::size_t next_i = i + kernels.mr, next_j = j;
  if (next_i >= rows) next_i = 0, next_j = j + kernels.nr;
  if (next_j >= n) return;
  const std::size_t tile_rows = std::min(kernels.mr, rows - next_i);
  const std::size_t tile_bytes = std::min(kernels.nr, n - next_j) * sizeof(T);
  for (std::size_t r = 0; r < tile_rows; ++r) {
    const char* row = reinterpret_cast<const char*>(c + (next_i + r) * ldc + next_j);
    for (std::size_t offset = 0; offset < tile_bytes; offset += 64) __builtin_prefetch(row + offset, 1, 3);
  }
}

}  // namespace

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
      const T* strip = b.strip(p0, depth, s);
      for (std::size_t i = 0; i < rows; i += mr) {
        prefetch_next_c_tile(kernels, c, ldc, rows, n, i, j);
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
