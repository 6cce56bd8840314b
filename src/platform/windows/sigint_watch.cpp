#include "platform/sigint_watch.h"

#include <windows.h>

#include <atomic>

#include "platform/interrupt.h"

namespace platform {
namespace {

// Windows calls console control handlers on a thread of its own, newest
// first; returning FALSE passes the event on to the handler installed before
// (the interpreter's), so it still sees every Ctrl-C.
BOOL WINAPI request_on_ctrl_c(DWORD event) {
  if (event == CTRL_C_EVENT) request_interrupt();
  return FALSE;
}

std::atomic<bool> g_installed{false};

}  // namespace

bool watch_sigint(std::chrono::milliseconds) noexcept {
  // A handler list, not one slot: nothing installed later can replace the
  // watch, so it is added once and never re-checked.
  if (g_installed.load(std::memory_order_acquire)) return true;
  static const bool added = SetConsoleCtrlHandler(request_on_ctrl_c, TRUE) != 0;
  g_installed.store(added, std::memory_order_release);
  return added;
}

}  // namespace platform
