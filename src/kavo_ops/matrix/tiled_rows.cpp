#include "kavo_ops/matrix/tiled_rows.h"

#include <algorithm>

#include "drovek/parallel/task_range.h"
#include "fyrel/gemm/gemm.h"
#include "fyrel/gemm/gemm_rows.h"
#include "kavo_ops/parallel/parallel_for.h"
#include "platform/interrupt.h"
#include "platform/invariant_failure.h"

namespace kavo_ops {

template <class T>
TiledRows<T>::TiledRows(const MatmulRoute& route, const T* b, bool pack_in_parallel)
    : kernels_(fyrel::active_gemm_kernels<T>()), m_(route.m), n_(route.n), k_(route.k) {
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

  const std::uint64_t strips = fyrel::strip_count(n_, kernels_.nr);
  packed_ = fyrel::packed_b_buffer<T>(n_, k_, kernels_.nr);
  T* packed = packed_.data();
  auto pack = [&](std::uint64_t first, std::uint64_t end) {
    fyrel::pack_b_strips(b, n_, k_, kernels_.nr, kernels_.kc, first, end, packed);
  };
  const std::uint64_t tasks = pack_in_parallel ? std::min(strips, executor_worker_count()) : 1;
  if (tasks > 1) {
    for_each_index(tasks, [&](std::uint64_t t) {
      const drovek::TaskRange range = drovek::task_range(strips, tasks, t);
      pack(range.begin, range.end);
    });
  } else {
    pack(0, strips);
  }
  panels_ = fyrel::b_packed<T>(packed, n_, kernels_.nr);
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

template class TiledRows<float>;
template class TiledRows<double>;

}  // namespace kavo_ops
