#include "fyrel/gemm/b_panels.h"

#include <algorithm>
#include <cstring>

namespace fyrel {

template <class T>
AlignedBuffer<T> packed_b_buffer(std::size_t n, std::size_t k, std::size_t nr) {
  // Callers pack only validated operands, so strips * nr * k stays close to
  // the n * k elements B already holds and cannot overflow.
  return AlignedBuffer<T>::with_len(strip_count(n, nr) * nr * k);
}

template <class T>
void pack_b_block_strips(const T* b, std::size_t n, std::size_t k, std::size_t nr, std::size_t kc, std::size_t p0,
                         std::size_t first, std::size_t end, T* packed) noexcept {
  const BPanels<T> panels = b_packed(packed, n, nr);
  const std::size_t depth = std::min(kc, k - p0);
  for (std::size_t s = first; s < end; ++s) {
    const std::size_t column = s * nr;
    const std::size_t width = std::min(nr, n - column);
    T* strip = const_cast<T*>(panels.strip(p0, depth, s));
    for (std::size_t p = 0; p < depth; ++p) std::memcpy(strip + p * nr, b + (p0 + p) * n + column, width * sizeof(T));
  }
}

template <class T>
void pack_b_strips(const T* b, std::size_t n, std::size_t k, std::size_t nr, std::size_t kc, std::size_t first,
                   std::size_t end, T* packed) noexcept {
  for (std::size_t p0 = 0; p0 < k; p0 += kc) pack_b_block_strips(b, n, k, nr, kc, p0, first, end, packed);
}

template AlignedBuffer<float> packed_b_buffer<float>(std::size_t, std::size_t, std::size_t);
template AlignedBuffer<double> packed_b_buffer<double>(std::size_t, std::size_t, std::size_t);
template void pack_b_strips<float>(const float*, std::size_t, std::size_t, std::size_t, std::size_t, std::size_t,
                                   std::size_t, float*) noexcept;
template void pack_b_strips<double>(const double*, std::size_t, std::size_t, std::size_t, std::size_t, std::size_t,
                                    std::size_t, double*) noexcept;
template void pack_b_block_strips<float>(const float*, std::size_t, std::size_t, std::size_t, std::size_t,
                                         std::size_t, std::size_t, std::size_t, float*) noexcept;
template void pack_b_block_strips<double>(const double*, std::size_t, std::size_t, std::size_t, std::size_t,
                                          std::size_t, std::size_t, std::size_t, double*) noexcept;

}  // namespace fyrel
