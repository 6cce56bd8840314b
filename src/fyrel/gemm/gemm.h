#pragma once
// C += A * B on compact row-major buffers: A is m x k, B is k x n, C is
// m x n, each with its row length as row stride. Every C element becomes
// the chain C[i, j] = fma(A[i, p], B[p, j], C[i, j]) over p = 0 .. k - 1,
// computed by the register tiles of the active processor tier (float32:
// 6 x 64 on AVX-512F, 4 x 24 on AVX2, 3 x 12 baseline; float64: 3 x 24,
// 4 x 12, 3 x 6). The result is the same on every tier.
//
// Nothing happens when the lengths do not cover the shapes (m * k <= a_len,
// k * n <= b_len, m * n <= c_len, products without overflow).
//
// From m >= 16, n >= 16, k >= 32 and 512 KiB of B on, B is first packed into
// nr-wide strips in an aligned scratch buffer from the allocator; smaller B
// is read in place. Runs on the calling thread.

#include <cstddef>

#include "fyrel/gemm/b_panels.h"

namespace fyrel {

void gemm(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* c, std::size_t c_len,
          std::size_t m, std::size_t n, std::size_t k);
void gemm(const double* a, std::size_t a_len, const double* b, std::size_t b_len, double* c, std::size_t c_len,
          std::size_t m, std::size_t n, std::size_t k);

// Whether gemm packs B for these shapes (exposed for the parallel driver,
// which packs once and shares the strips).
template <class T>
bool gemm_packs_b(std::size_t m, std::size_t n, std::size_t k) noexcept {
  return m >= 16 && n >= 16 && k >= 32 && n * k * sizeof(T) >= kPackBBytes;
}

}  // namespace fyrel
