#pragma once
// AddressSanitizer poisoning of free blocks, so that a use after free inside
// the allocator's own pages is reported. A block is poisoned whole once it
// is on a free list and unpoisoned whole when it is handed out; the
// allocator's own reads of free-list links happen after the unpoisoning
// (take_block) or in functions marked PELMARK_TOUCHES_FREE_BLOCKS (remote
// free, reclaim).
// Outside AddressSanitizer builds every function here is an empty inline.

#include <cstddef>

#if defined(__SANITIZE_ADDRESS__)
#include <sanitizer/asan_interface.h>
#define PELMARK_TOUCHES_FREE_BLOCKS __attribute__((no_sanitize_address))
#else
#define PELMARK_TOUCHES_FREE_BLOCKS
#endif

namespace pelmark {

inline void poison_free_block(void* block, std::size_t bytes) noexcept {
#if defined(__SANITIZE_ADDRESS__)
  ASAN_POISON_MEMORY_REGION(block, bytes);
#else
  (void)block;
  (void)bytes;
#endif
}

inline void unpoison_block(void* block, std::size_t bytes) noexcept {
#if defined(__SANITIZE_ADDRESS__)
  ASAN_UNPOISON_MEMORY_REGION(block, bytes);
#else
  (void)block;
  (void)bytes;
#endif
}

}  // namespace pelmark
