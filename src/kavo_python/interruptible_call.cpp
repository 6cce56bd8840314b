#include "kavo_python/interruptible_call.h"

#include "platform/sigint_watch.h"
#include "platform/threads.h"

namespace kavo_python {

InterruptibleCall::InterruptibleCall() noexcept {
  if (!platform::on_process_main_thread()) return;
  // A request left from before is not for this call (the interpreter has
  // seen that signal, or will once this call returns).
  platform::clear_interrupt_request();
  if (platform::watch_sigint()) scope_.emplace(true);
}

}  // namespace kavo_python
