#include "platform/fork_handlers.h"

namespace platform {

// Windows has no fork(): no process ever starts as a copy of this one, so
// there is nothing to bracket. The registration succeeds and the handlers
// never run.
bool register_fork_handlers(ForkHandler, ForkHandler, ForkHandler) noexcept { return true; }

}  // namespace platform
