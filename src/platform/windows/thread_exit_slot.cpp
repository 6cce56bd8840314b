#include "platform/thread_exit_slot.h"

#include <windows.h>

#include <atomic>

namespace platform {
namespace {

// Both indices are made once, by the first thread that sets a value; until
// then every thread's value is null. A fiber-local slot holds the exit
// callback of each armed thread (as its value), and the system calls
// run_exit_callback with it when the thread ends.
std::atomic<DWORD> g_value_index{TLS_OUT_OF_INDEXES};
DWORD g_exit_index = FLS_OUT_OF_INDEXES;
INIT_ONCE g_indices_made = INIT_ONCE_STATIC_INIT;

void WINAPI run_exit_callback(void* callback) {
  if (callback == nullptr) return;
  const DWORD index = g_value_index.load(std::memory_order_acquire);
  reinterpret_cast<ThreadExitCallback>(callback)(TlsGetValue(index));
}

BOOL CALLBACK make_indices(INIT_ONCE*, void*, void**) {
  g_exit_index = FlsAlloc(&run_exit_callback);
  const DWORD value_index = TlsAlloc();
  if (value_index == TLS_OUT_OF_INDEXES) return FALSE;
  g_value_index.store(value_index, std::memory_order_release);
  return TRUE;
}

}  // namespace

void* thread_exit_slot() noexcept {
  // Relaxed suffices: a thread that sees no index has set nothing itself.
  const DWORD index = g_value_index.load(std::memory_order_relaxed);
  return index == TLS_OUT_OF_INDEXES ? nullptr : TlsGetValue(index);
}

bool set_thread_exit_slot(void* value, ThreadExitCallback on_exit) noexcept {
  if (!InitOnceExecuteOnce(&g_indices_made, &make_indices, nullptr, nullptr)) return false;
  TlsSetValue(g_value_index.load(std::memory_order_relaxed), value);
  if (on_exit == nullptr) return true;
  if (g_exit_index == FLS_OUT_OF_INDEXES) return false;
  if (FlsGetValue(g_exit_index) != nullptr) return true;
  return FlsSetValue(g_exit_index, reinterpret_cast<void*>(on_exit)) != 0;
}

}  // namespace platform
