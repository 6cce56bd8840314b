#pragma once
// The processor's spin-wait hint (x86 PAUSE): lets the sibling hyperthread
// run and avoids the memory-order machine clear when a spin loop exits.
// Inline because spin loops call it every round; it touches no OS service.

namespace platform {

inline void cpu_pause() noexcept { __builtin_ia32_pause(); }

}  // namespace platform
