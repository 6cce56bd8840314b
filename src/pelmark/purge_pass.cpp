#include "pelmark/purge_pass.h"

namespace pelmark {

void purge_pass(Arena& arena) noexcept {
  // Abandoned segments first: the empty ones land in the retained pools,
  // which the next step unmaps in the same pass.
  arena.release_empty_abandoned_segments();
  arena.release_all_cached();
}

}  // namespace pelmark
