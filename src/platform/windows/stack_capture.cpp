#include "platform/stack_capture.h"

#include <windows.h>

namespace platform {

// The walk follows the unwind data every x64 function carries (RtlLookup-
// FunctionEntry, RtlVirtualUnwind) from the caller's registers; it needs no
// frame pointers, touches no heap and stops at the first address without
// unwind data (generated code, a damaged stack).

namespace {

SRWLOCK g_unwinder_lock = SRWLOCK_INIT;
constinit thread_local bool t_holds_unwinder_lock = false;

std::size_t walk(CONTEXT& context, std::span<std::uintptr_t> frames) noexcept {
  std::size_t count = 0;
  while (true) {
    DWORD64 image_base = 0;
    PRUNTIME_FUNCTION function = RtlLookupFunctionEntry(context.Rip, &image_base, nullptr);
    if (function == nullptr) break;
    if (context.Rip != 0) {
      frames[count++] = static_cast<std::uintptr_t>(context.Rip);
      if (count == frames.size()) break;
    }
    const DWORD64 ip = context.Rip;
    const DWORD64 sp = context.Rsp;
    void* handler_data = nullptr;
    DWORD64 establisher_frame = 0;
    RtlVirtualUnwind(UNW_FLAG_NHANDLER, image_base, context.Rip, function, &context, &handler_data,
                     &establisher_frame, nullptr);
    if (context.Rip == 0 || (context.Rip == ip && context.Rsp == sp)) break;
  }
  return count;
}

}  // namespace

[[gnu::noinline]] std::size_t capture_stack(std::span<std::uintptr_t> frames) noexcept {
  if (frames.empty()) return 0;
  const bool take_lock = !t_holds_unwinder_lock;
  if (take_lock) {
    AcquireSRWLockExclusive(&g_unwinder_lock);
    t_holds_unwinder_lock = true;
  }
  CONTEXT context{};
  RtlCaptureContext(&context);  // Rip: the return address inside this function
  std::size_t count = walk(context, frames);
  if (take_lock) {
    t_holds_unwinder_lock = false;
    ReleaseSRWLockExclusive(&g_unwinder_lock);
  }
  // This function always has unwind data; this keeps the at-least-one
  // promise should the lookup fail outright.
  if (count == 0) {
    frames[0] = reinterpret_cast<std::uintptr_t>(__builtin_return_address(0));
    count = 1;
  }
  return count;
}

}  // namespace platform
