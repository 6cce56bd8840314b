#include "kavo_ops/matrix/tiled_rows.h"

#include <algorithm>

#include "fyrel/gemm/gemm.h"
#include "fyrel/gemm/gemm_rows.h"
#include "kavo_ops/parallel/executor_loops.h"
#include "platform/cpu_pause.h"
#include "platform/interrupt.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

template <class T>
TiledRows<T>::TiledRows(const MatmulRoute& route, const T* b)
    : kernels_(fyrel::active_gemm_kernels<T>()), m_(route.m), n_(route.n), k_(route.k), b_(b) {
  // Strides along an axis of extent 1 are never stepped, so any value is
  // replaced by the compact one.
  lda_ = m_ > 1 ? static_cast<std::uint64_t>(route.a_row_stride) : k_;
  ldc_ = m_ > 1 ? static_cast<std::uint64_t>(route.out_row_stride) : n_;
  const std::uint64_t ldb = k_ > 1 ? static_cast<std::uint64_t>(route.b_row_stride) : n_;
  platform::ensure((k_ <= 1 || route.a_col_stride == 1) && (n_ <= 1 || route.b_col_stride == 1) &&
                       (n_ <= 1 || route.out_col_stride == 1) && (m_ <= 1 || route.a_row_stride >= 0) &&
                       (m_ <= 1 || route.out_row_stride >= static_cast<std::int64_t>(n_)) &&
                       (k_ <= 1 || route.b_row_stride >= 0),
                   "invariant: tiled product operands are row-major with unit-stride columns");
  panels_ = fyrel::b_in_place(b, ldb, kernels_.nr);
  if (ldb != n_ || !fyrel::gemm_packs_b<T>(m_, n_, k_)) return;
  strips_to_pack_ = fyrel::strip_count(n_, kernels_.nr);
  packed_ = fyrel::packed_b_buffer<T>(n_, k_, kernels_.nr);
  panels_ = fyrel::b_packed<T>(packed_.data(), n_, kernels_.nr);
}

template <class T>
void TiledRows<T>::pack_block(std::uint64_t block, std::uint64_t first, std::uint64_t end) const noexcept {
  fyrel::pack_b_block_strips(b_, n_, k_, kernels_.nr, kernels_.kc, block * kernels_.kc, first, end,
                             const_cast<T*>(packed_.data()));
}

template <class T>
void TiledRows<T>::pack(std::uint64_t first, std::uint64_t end) const noexcept {
  fyrel::pack_b_strips(b_, n_, k_, kernels_.nr, kernels_.kc, first, end, const_cast<T*>(packed_.data()));
}

template <class T>
fyrel::AlignedBuffer<T> TiledRows<T>::scratch() const {
  // gemm_rows copies A only when more than one strip of B reads it.
  if (n_ <= kernels_.nr || m_ <= 1) return {};
  return fyrel::AlignedBuffer<T>::with_len(
      fyrel::gemm_a_scratch_len(kernels_, std::min<std::uint64_t>(fyrel::kBandRows, m_), k_));
}

template <class T>
void TiledRows<T>::run(const T* a, T* out, std::uint64_t r0, std::uint64_t r1, fyrel::AlignedBuffer<T>& scratch,
                       bool zero_fill) const {
  for (std::uint64_t r = r0; r < r1; r += fyrel::kBandRows) {
    platform::throw_if_interrupted();
    const std::uint64_t rows = std::min<std::uint64_t>(fyrel::kBandRows, r1 - r);
    T* band = out + r * ldc_;
    if (zero_fill) {
      for (std::uint64_t i = 0; i < rows; ++i) std::fill_n(band + i * ldc_, n_, T(0));
    }
    fyrel::gemm_rows(kernels_, a + r * lda_, lda_, panels_, band, ldc_, rows, n_, k_,
                     scratch.size() == 0 ? nullptr : scratch.data());
  }
}

template <class T>
void TiledRows<T>::run_as_packed(const T* a, T* out, std::uint64_t r0, std::uint64_t r1,
                                 fyrel::AlignedBuffer<T>& scratch, bool zero_fill,
                                 const std::atomic<std::uint64_t>* block_ready) const {
  // Each k block as a product of its own: the C tiles are stored after one
  // block and reloaded by the next, exactly as gemm_rows does between blocks.
  for (std::uint64_t r = r0; r < r1; r += fyrel::kBandRows) {
    platform::throw_if_interrupted();
    const std::uint64_t rows = std::min<std::uint64_t>(fyrel::kBandRows, r1 - r);
    T* band = out + r * ldc_;
    if (zero_fill) {
      for (std::uint64_t i = 0; i < rows; ++i) std::fill_n(band + i * ldc_, n_, T(0));
    }
    for (std::uint64_t block = 0, p0 = 0; p0 < k_; ++block, p0 += kernels_.kc) {
      while (block_ready[block].load(std::memory_order_acquire) < strips_to_pack_) platform::cpu_pause();
      fyrel::gemm_rows(kernels_, a + r * lda_ + p0, lda_, fyrel::block_panels(panels_, p0), band, ldc_, rows, n_,
                       std::min<std::uint64_t>(kernels_.kc, k_ - p0), scratch.size() == 0 ? nullptr : scratch.data());
    }
  }
}

template class TiledRows<float>;
template class TiledRows<double>;

}  // namespace kavo_ops
