#pragma once
// Asks the system to back a large, not yet touched region with huge pages:
// the first write to a multi-megabyte result then costs one fault per 2 MiB
// instead of one per 4 KiB. Only the 2 MiB-aligned interior is advised; the
// advice is a hint and its refusal changes nothing.

#include <cstddef>

namespace platform {

void advise_huge_pages(void* address, std::size_t bytes) noexcept;

}  // namespace platform
