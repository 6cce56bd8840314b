#include "platform/huge_page_advice.h"

namespace platform {

// Windows backs a region with large pages only when it is allocated so
// (MEM_LARGE_PAGES, which needs the lock-pages privilege); there is no
// advice for memory already mapped, so the hint changes nothing here.
void advise_huge_pages(void*, std::size_t) noexcept {}

}  // namespace platform
