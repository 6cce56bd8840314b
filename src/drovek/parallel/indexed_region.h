#pragma once
// The indexed region: thread-local marker that the calling thread is running
// its own share of a parallel call. A parallel call made inside it runs
// sequentially instead of waiting on workers that may be busy with the outer
// call.

#include <cstdint>

namespace drovek {

// Enters on construction, restores the previous state on destruction.
// Entering at the largest depth is an invariant failure ("invariant:
// indexed-region nesting depth fits usize").
class IndexedRegionScope {
 public:
  IndexedRegionScope();
  ~IndexedRegionScope();
  IndexedRegionScope(const IndexedRegionScope&) = delete;
  IndexedRegionScope& operator=(const IndexedRegionScope&) = delete;

 private:
  bool previous_active_;
  std::uint64_t previous_depth_;
};

bool inside_indexed_region() noexcept;

}  // namespace drovek
