#pragma once
// One product's register-tiled plan: the active tier's tile kernels, looked
// up once, and B either read in place or packed once into nr-wide strips
// that every band of rows (and every thread) then shares.
//
// Assumptions (checked on construction): A and B are row-major with
// unit-stride columns, out's columns are unit-stride and its row stride is
// at least n. B is packed when it is compact and gemm would pack it.

#include <atomic>
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

  // How many strips pack() must fill per k block: 0 when B is read in place.
  std::uint64_t strips_to_pack() const noexcept { return strips_to_pack_; }
  // k blocks of B (the depth of each is the tier's kc, the last shorter).
  std::uint64_t k_blocks() const noexcept { return (k_ + kernels_.kc - 1) / kernels_.kc; }
  // Packs strips [first, end) of every k block; disjoint ranges may be
  // packed concurrently.
  void pack(std::uint64_t first, std::uint64_t end) const noexcept;
  // Packs strips [first, end) of k block `block` only.
  void pack_block(std::uint64_t block, std::uint64_t first, std::uint64_t end) const noexcept;

  // A's scratch for one thread: enough for any call of run.
  fyrel::AlignedBuffer<T> scratch() const;

  // out[r0 .. r1, :] += A[r0 .. r1, :] * B, each element one fused chain
  // over p ascending; with `zero_fill` the rows are first set to zero (here,
  // by the thread that computes them, so a fresh result's pages are first
  // touched in parallel and are still in cache). `a` and `out` point at
  // element (0, 0); `scratch` comes from scratch().
  void run(const T* a, T* out, std::uint64_t r0, std::uint64_t r1, fyrel::AlignedBuffer<T>& scratch,
           bool zero_fill) const;

  // run() for rows [r0, r1), k block by k block, first waiting until
  // block_ready[b] (acquire) counts strips_to_pack() packed strips of block
  // b: the rows start on block 0 while later blocks are still being packed.
  void run_as_packed(const T* a, T* out, std::uint64_t r0, std::uint64_t r1, fyrel::AlignedBuffer<T>& scratch,
                     bool zero_fill, const std::atomic<std::uint64_t>* block_ready) const;

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
