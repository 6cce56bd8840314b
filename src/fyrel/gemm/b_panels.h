#pragma once
// Where the tile kernels read B from: nr-wide column strips, strip s row p at
// base + s * strip_stride + p * row_stride.
//  - in place: the compact k x n matrix itself (row_stride n, strip_stride nr);
//  - packed: each strip copied into its own contiguous k x nr block of an
//    AlignedBuffer (row_stride nr, strip_stride k * nr), so a strip's rows
//    are adjacent cache lines that the level-1 cache keeps across all the
//    row tiles that use them. The last strip may be narrower than nr; its
//    padding is never read.

#include <cstddef>

#include "fyrel/aligned_buffer.h"
#include "fyrel/gemm/gemm_kernels.h"

namespace fyrel {

template <class T>
struct BPanels {
  const T* base = nullptr;
  std::size_t row_stride = 0;
  std::size_t strip_stride = 0;
};

// Packing pays from this many bytes of B on: below it B sits in the level-2
// cache and is read in place.
inline constexpr std::size_t kPackBBytes = 524288;

inline std::size_t strip_count(std::size_t n, std::size_t nr) noexcept { return (n + nr - 1) / nr; }

template <class T>
BPanels<T> b_in_place(const T* b, std::size_t n, std::size_t nr) noexcept {
  return {b, n, nr};
}

// A buffer for all strips of a k x n matrix B, not yet filled.
template <class T>
AlignedBuffer<T> packed_b_buffer(std::size_t n, std::size_t k, std::size_t nr);

// Copies strips [first, end) of the compact k x n matrix b into `packed`.
// Different strip ranges touch disjoint parts of `packed`, so threads may
// pack ranges in parallel.
template <class T>
void pack_b_strips(const T* b, std::size_t n, std::size_t k, std::size_t nr, std::size_t first, std::size_t end,
                   T* packed) noexcept;

template <class T>
BPanels<T> b_packed(const T* packed, std::size_t k, std::size_t nr) noexcept {
  return {packed, nr, k * nr};
}

}  // namespace fyrel
