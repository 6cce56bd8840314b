#include "platform/fork_handlers.h"

#include <pthread.h>

namespace platform {

bool register_fork_handlers(ForkHandler prepare, ForkHandler parent, ForkHandler child) noexcept {
  return pthread_atfork(prepare, parent, child) == 0;
}

}  // namespace platform
