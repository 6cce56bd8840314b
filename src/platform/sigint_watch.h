#pragma once
// SIGINT as an interrupt request for a running computation: once watched, a
// SIGINT first calls request_interrupt() (interrupt.h) and then the handler
// that was installed before (the Python interpreter's, which records the
// signal for its own handling), so nothing that handler does is lost.
//
// The watch stays installed between calls: installing and restoring a
// signal action around every call would cost two system calls each. A
// SIGINT outside any computation only sets a request that the next armed
// call clears. Another handler installed later (signal.signal, asyncio)
// replaces the watch; the next watch_sigint() after the re-check interval
// notices and installs the watch again over the new handler.
//
// On Linux a signal action (sigaction); Windows delivers Ctrl-C on a thread
// of its own and needs another mechanism.

#include <chrono>

namespace platform {

// How often watch_sigint() asks the system whether the watch is still
// installed: calls in a tight loop make no system call.
inline constexpr std::chrono::milliseconds kSigintRecheckInterval{100};

// Installs the watch over the current SIGINT handler when it is a handler
// function and not already the watch; leaves an ignored or default SIGINT
// alone. Checks the installed handler only when `recheck_after` has passed
// since the last check. Returns whether SIGINT goes through the watch (as
// of the last check). Thread-safe, but meant for one thread: the one the
// interpreter handles signals on.
bool watch_sigint(std::chrono::milliseconds recheck_after = kSigintRecheckInterval) noexcept;

}  // namespace platform
