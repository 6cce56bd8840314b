#include "fyrel/gemm/gemm.h"

#include <algorithm>

#include "fyrel/gemm/gemm_rows.h"

namespace fyrel {
namespace {

bool covers(std::size_t rows, std::size_t cols, std::size_t len) noexcept {
  std::size_t count = 0;
  return !__builtin_mul_overflow(rows, cols, &count) && count <= len;
}

template <class T>
void gemm_any(const T* a, std::size_t a_len, const T* b, std::size_t b_len, T* c, std::size_t c_len, std::size_t m,
              std::size_t n, std::size_t k) {
  if (!covers(m, k, a_len) || !covers(k, n, b_len) || !covers(m, n, c_len)) return;
  if (m == 0 || n == 0 || k == 0) return;
  const GemmKernels<T>& kernels = active_gemm_kernels<T>();
  AlignedBuffer<T> packed;
  BPanels<T> panels = b_in_place(b, n, kernels.nr);
  if (gemm_packs_b<T>(m, n, k)) {
    packed = packed_b_buffer<T>(n, k, kernels.nr);
    pack_b_strips(b, n, k, kernels.nr, kernels.kc, 0, strip_count(n, kernels.nr), packed.data());
    panels = b_packed<T>(packed.data(), n, kernels.nr);
  }
  AlignedBuffer<T> a_scratch = AlignedBuffer<T>::with_len(gemm_a_scratch_len(kernels, std::min(kBandRows, m), k));
  for (std::size_t r = 0; r < m; r += kBandRows) {
    gemm_rows(kernels, a + r * k, k, panels, c + r * n, n, std::min(kBandRows, m - r), n, k, a_scratch.data());
  }
}

}  // namespace

void gemm(const float* a, std::size_t a_len, const float* b, std::size_t b_len, float* c, std::size_t c_len,
          std::size_t m, std::size_t n, std::size_t k) {
  gemm_any(a, a_len, b, b_len, c, c_len, m, n, k);
}

void gemm(const double* a, std::size_t a_len, const double* b, std::size_t b_len, double* c, std::size_t c_len,
          std::size_t m, std::size_t n, std::size_t k) {
  gemm_any(a, a_len, b, b_len, c, c_len, m, n, k);
}

}  // namespace fyrel
