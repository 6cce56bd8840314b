#include "platform/thread_yield.h"

#include <sched.h>

namespace platform {

void yield_thread() noexcept { sched_yield(); }

}  // namespace platform
