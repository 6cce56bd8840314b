#pragma once
// Taking a page's remote frees back into its local free list. Called only by
// whoever holds the segment: its owner heap, a thread giving the segment up,
// or the thread that took it from a pool.

#include <cstdint>

#include "pelmark/page_record.h"

namespace pelmark {

// Swaps the remote word to 0, checks the chain and the local free list
// (every entry a carved block of the page, no block on both or twice, the
// remote marks intact, exactly as many links as the word counted, no more
// than the page's used count), splices the chain in front of the local free
// list and lowers the used count. When the page becomes empty its in-use bit
// is cleared unless its segment is current. Returns the number of blocks
// taken. Any inconsistency traps.
std::uint32_t reclaim_remote_frees(PageRecord& page);

inline bool has_remote_frees(const PageRecord& page) {
  return page.remote_free.load(std::memory_order_relaxed) != 0;
}

}  // namespace pelmark
