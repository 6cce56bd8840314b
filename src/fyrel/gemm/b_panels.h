#pragma once
// Where the tile kernels read B from, per k block (rows p0 .. p0 + depth)
// and nr-wide column strip s:
//  - in place: the compact k x n matrix itself, strip s of the block at
//    b + p0 * n + s * nr, rows n apart;
//  - packed: every k block copied into one contiguous run of an
//    AlignedBuffer, strip after strip, each strip depth x nr with rows nr
//    apart. A strip's rows are then adjacent cache lines, and the whole
//    block (what all row tiles of one k block read) is one contiguous range
//    instead of being scattered over the matrix, which keeps its pages in
//    the TLB. The last strip may be narrower than nr; its padding is never
//    read.

#include <cstddef>

#include "fyrel/aligned_buffer.h"
#include "fyrel/gemm/gemm_kernels.h"

namespace fyrel {

template <class T>
struct BPanels {
  const T* base = nullptr;
  std::size_t row_stride = 0;        // between consecutive rows of a strip
  std::size_t block_row_stride = 0;  // the block of rows from p0 starts at base + p0 * block_row_stride
  bool packed = false;               // strips of a block depth * nr apart, else nr apart
  std::size_t nr = 0;

  const T* strip(std::size_t p0, std::size_t depth, std::size_t s) const noexcept {
    return base + p0 * block_row_stride + s * (packed ? depth * nr : nr);
  }
};

// Packing pays from this many bytes of B on: below it B sits in the level-2
// cache and is read in place.
inline constexpr std::size_t kPackBBytes = 524288;

inline std::size_t strip_count(std::size_t n, std::size_t nr) noexcept { return (n + nr - 1) / nr; }

template <class T>
BPanels<T> b_in_place(const T* b, std::size_t row_stride, std::size_t nr) noexcept {
  return {b, row_stride, row_stride, false, nr};
}

// A buffer for all of a k x n matrix B in packed form, not yet filled.
template <class T>
AlignedBuffer<T> packed_b_buffer(std::size_t n, std::size_t k, std::size_t nr);

// Packs strips [first, end) of every kc-deep block of the compact k x n
// matrix b into `packed`. Different strip ranges touch disjoint parts of
// `packed`, so threads may pack ranges in parallel.
template <class T>
void pack_b_strips(const T* b, std::size_t n, std::size_t k, std::size_t nr, std::size_t kc, std::size_t first,
                   std::size_t end, T* packed) noexcept;

// The same for the k block starting at row p0 only (a multiple of kc):
// blocks and strip ranges may be packed in parallel, in any order.
template <class T>
void pack_b_block_strips(const T* b, std::size_t n, std::size_t k, std::size_t nr, std::size_t kc, std::size_t p0,
                         std::size_t first, std::size_t end, T* packed) noexcept;

// The panels of the k block starting at row p0, addressed as a matrix of
// its own (block 0 of depth min(kc, k - p0)).
template <class T>
BPanels<T> block_panels(const BPanels<T>& panels, std::size_t p0) noexcept {
  BPanels<T> block = panels;
  block.base = panels.base + p0 * panels.block_row_stride;
  return block;
}

template <class T>
BPanels<T> b_packed(const T* packed, std::size_t n, std::size_t nr) noexcept {
  return {packed, nr, strip_count(n, nr) * nr, true, nr};
}

}  // namespace fyrel
