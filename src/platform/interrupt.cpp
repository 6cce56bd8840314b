#include "platform/interrupt.h"

namespace platform::interrupt_detail {

constinit std::atomic<bool> g_requested{false};
constinit thread_local bool t_interruptible = false;

void throw_interrupted() { throw Interrupted(); }

}  // namespace platform::interrupt_detail
