#pragma once
// One product's register-tiled plan: the active tier's tile kernels, looked
// up once, and B either read in place or packed once into nr-wide strips
// that every band of rows (and every thread) then shares.
//
// Assumptions (checked on construction): A and B are row-major with
// unit-stride columns, out's columns are unit-stride and its row stride is
// at least n. B is packed when it is compact and gemm would pack it.

#include <cstdint>

#include "fyrel/aligned_buffer.h"
#include "fyrel/gemm/b_panels.h"
#include "fyrel/gemm/gemm_kernels.h"
#include "kavo_ops/matrix/matmul.h"

namespace kavo_ops {

template <class T>
class TiledRows {
 public:
  // When B is to be packed, only its buffer is made here: strips are filled
  // by pack() (all of them, before any run()).
  TiledRows(const MatmulRoute& route, const T* b);

  // How many strips pack() must fill: 0 when B is read in place.
  std::uint64_t strips_to_pack() const noexcept { return strips_to_pack_; }
  // Packs strips [first, end); disjoint ranges may be packed concurrently.
  void pack(std::uint64_t first, std::uint64_t end) const noexcept;

  // A's scratch for one thread: enough for any call of run.
  fyrel::AlignedBuffer<T> scratch() const;

  // out[r0 .. r1, :] += A[r0 .. r1, :] * B, each element one fused chain
  // over p ascending; with `zero_fill` the rows are first set to zero (here,
  // by the thread that computes them, so a fresh result's pages are first
  // touched in parallel and are still in cache). `a` and `out` point at
  // element (0, 0); `scratch` comes from scratch().
  void run(const T* a, T* out, std::uint64_t r0, std::uint64_t r1, fyrel::AlignedBuffer<T>& scratch,
           bool zero_fill) const;

 private:
  const fyrel::GemmKernels<T>& kernels_;
  std::uint64_t m_, n_, k_;
  std::uint64_t lda_, ldc_;
  const T* b_;
  std::uint64_t strips_to_pack_ = 0;
  fyrel::AlignedBuffer<T> packed_;
  fyrel::BPanels<T> panels_;
};

}  // namespace kavo_ops
