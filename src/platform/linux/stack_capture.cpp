#include "platform/stack_capture.h"

#include <unwind.h>

#include <mutex>

namespace platform {

// The walk goes straight to the unwinder's _Unwind_Backtrace rather than
// glibc's backtrace(): backtrace() loads libgcc_s with dlopen on its first
// call (loader lock and malloc, from inside the allocator's hooks) and hides
// the per-frame context that the stop rules need (unwind information
// present, stack pointer).

namespace {

std::mutex g_unwinder_lock;
[[gnu::tls_model("initial-exec")]] constinit thread_local bool t_holds_unwinder_lock = false;

struct Walk {
  std::span<std::uintptr_t> frames;
  std::size_t count = 0;
  std::uintptr_t last_ip = 0;
  std::uintptr_t last_sp = 0;
};

_Unwind_Reason_Code visit_frame(_Unwind_Context* context, void* argument) {
  Walk& walk = *static_cast<Walk*>(argument);
  int ip_before_instruction = 0;
  const auto ip = static_cast<std::uintptr_t>(_Unwind_GetIPInfo(context, &ip_before_instruction));
  const auto sp = static_cast<std::uintptr_t>(_Unwind_GetCFA(context));
  if (ip == 0) return _URC_END_OF_STACK;
  if (walk.count > 0 && ip == walk.last_ip && sp == walk.last_sp) return _URC_END_OF_STACK;
  // A return address may sit just past its function's end (after a call
  // that does not return), so the lookup uses the call instruction's byte.
  const std::uintptr_t inside = ip_before_instruction ? ip : ip - 1;
  if (_Unwind_FindEnclosingFunction(reinterpret_cast<void*>(inside)) == nullptr) return _URC_END_OF_STACK;
  walk.frames[walk.count++] = ip;
  walk.last_ip = ip;
  walk.last_sp = sp;
  return walk.count == walk.frames.size() ? _URC_END_OF_STACK : _URC_NO_REASON;
}

}  // namespace

[[gnu::noinline]] std::size_t capture_stack(std::span<std::uintptr_t> frames) noexcept {
  if (frames.empty()) return 0;
  const bool take_lock = !t_holds_unwinder_lock;
  if (take_lock) {
    g_unwinder_lock.lock();
    t_holds_unwinder_lock = true;
  }
  Walk walk{frames};
  _Unwind_Backtrace(&visit_frame, &walk);
  if (take_lock) {
    t_holds_unwinder_lock = false;
    g_unwinder_lock.unlock();
  }
  // The capture point always has unwind information; this keeps the
  // at-least-one promise should the unwinder fail outright.
  if (walk.count == 0) {
    frames[0] = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    walk.count = 1;
  }
  return walk.count;
}

}  // namespace platform
