#include "platform/thread_yield.h"

#include <windows.h>

namespace platform {

void yield_thread() noexcept { SwitchToThread(); }

}  // namespace platform
