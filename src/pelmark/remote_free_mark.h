#pragma once
// A block on a page's remote list holds its link in its first word and, in
// its second (every block is at least 16 bytes), a mark derived from the
// block's address and that link. Reclaim recomputes the mark: a block whose
// link was rewritten after the remote free (a local free of the same block,
// or a write through a stale pointer) no longer matches.

#include <cstdint>

namespace pelmark {

inline constexpr std::uint64_t kRemoteFreeSalt = 0x9E3779B97F4A7C15;

constexpr std::uint64_t remote_free_mark(std::uintptr_t block, std::uintptr_t link) {
  // Never 0 for the usual final link of 0, so zeroed memory never matches.
  return (block * kRemoteFreeSalt) ^ link ^ ~std::uint64_t{0};
}

}  // namespace pelmark
