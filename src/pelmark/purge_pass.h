#pragma once
// One decay pass: gives back to the system what the arena holds without a
// live block in it. It competes with allocating threads only through the
// pool locks and never touches a segment a thread heap owns.

#include "pelmark/arena.h"

namespace pelmark {

// Releases abandoned segments whose blocks have all been freed, then unmaps
// every retained segment and every cached huge mapping. Allocates nothing.
void purge_pass(Arena& arena) noexcept;

}  // namespace pelmark
