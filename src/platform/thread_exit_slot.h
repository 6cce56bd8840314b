#pragma once
// One pointer per thread that the process's allocator reads on every
// allocation (its thread heap), and a callback that receives it when a
// thread that set it exits.
//
// Linux: an initial-exec thread_local, one load per read; the callback runs
// from a thread_local object's destructor. Windows: a TLS slot (TlsGetValue:
// MinGW's thread_local is emulated, a lookup call per access, and its
// storage is gone before other thread-exit destructors run), and the
// callback from a fiber-local slot, which runs while the TLS slot still
// holds the value.

namespace platform {

using ThreadExitCallback = void (*)(void* value);

#if defined(_WIN32)
void* thread_exit_slot() noexcept;
#else
[[gnu::tls_model("initial-exec")]] extern constinit thread_local void* t_thread_exit_slot;
inline void* thread_exit_slot() noexcept { return t_thread_exit_slot; }
#endif

// Sets the calling thread's value. The first call on a thread with a
// callback arranges `on_exit(value at exit)` for when the thread exits; the
// callback may set the slot again. False when the system refused: no slot
// could be made (the value reads null), or the exit arrangement failed.
bool set_thread_exit_slot(void* value, ThreadExitCallback on_exit) noexcept;

}  // namespace platform
