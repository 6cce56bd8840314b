#include "platform/thread_exit_slot.h"

namespace platform {

// initial-exec keeps reads at one load even when the library ends up in a
// loaded module; a single pointer fits the static TLS reserve every loader
// keeps for such modules.
[[gnu::tls_model("initial-exec")]] constinit thread_local void* t_thread_exit_slot = nullptr;

namespace {

// Touched only when a thread arms it, so threads that never set the slot
// register nothing.
struct ExitCall {
  ThreadExitCallback callback = nullptr;
  ~ExitCall() {
    if (callback != nullptr) callback(t_thread_exit_slot);
  }
};
thread_local ExitCall t_exit_call;

}  // namespace

bool set_thread_exit_slot(void* value, ThreadExitCallback on_exit) noexcept {
  if (on_exit != nullptr && t_exit_call.callback == nullptr) t_exit_call.callback = on_exit;
  t_thread_exit_slot = value;
  return true;
}

}  // namespace platform
