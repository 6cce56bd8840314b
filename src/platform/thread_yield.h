#pragma once
// Gives the rest of the calling thread's time slice to another ready thread
// (Windows SwitchToThread); used by spin locks between attempts.

namespace platform {

void yield_thread() noexcept;

}  // namespace platform
