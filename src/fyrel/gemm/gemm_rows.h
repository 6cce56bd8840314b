#pragma once
// The blocked loop over one band of rows of C += A * B:
//
//   for each k block of depth kc                 (C tiles stored between blocks)
//     copy the band's kc-deep slice of A         (compact, stays in L2)
//     for each nr-wide strip of B                (reused by every row group)
//       for each mr-row group of the band        (next C tile prefetched)
//         tile kernel: C[group, strip] chained over the block's kc terms
//
// Every C element still receives its k fused multiply-adds in ascending p,
// so the band, strip and block sizes change speed only, never bits.
// Assumptions (callers check them): A's band is `rows` x k with row stride
// lda; C's band is `rows` x n with row stride ldc; B's strips cover n columns
// and k rows; `a_scratch` is null or holds gemm_a_scratch_len(kernels, rows, k)
// elements, into which each kc-deep slice of A's band is copied compactly.

#include <cstddef>

#include "fyrel/gemm/b_panels.h"
#include "fyrel/gemm/gemm_kernels.h"

namespace fyrel {

// Rows per band: a band's kc-deep slice of A (at most 384 KiB) stays in the
// level-2 cache while every strip of B passes over it.
inline constexpr std::size_t kBandRows = 192;

template <class T>
void gemm_rows(const GemmKernels<T>& kernels, const T* a, std::size_t lda, const BPanels<T>& b, T* c,
               std::size_t ldc, std::size_t rows, std::size_t n, std::size_t k, T* a_scratch) noexcept;

// Elements of A scratch a band of `rows` rows needs.
template <class T>
std::size_t gemm_a_scratch_len(const GemmKernels<T>& kernels, std::size_t rows, std::size_t k) noexcept {
  return rows * (k < kernels.kc ? k : kernels.kc);
}

}  // namespace fyrel
