#pragma once
// Waiting on a 32-bit word, with the contract of Windows WaitOnAddress /
// WakeByAddressSingle / WakeByAddressAll (a futex on Linux): a waiter sleeps
// only while the word still holds the value it expects, and may return
// spuriously, so callers always re-check their own condition.

#include <atomic>
#include <cstdint>

namespace platform {

// Sleeps while `word` equals `expected`.
void wait_on_address(const std::atomic<std::uint32_t>& word, std::uint32_t expected) noexcept;

// As above for at most `timeout_ms` milliseconds. Returns false when the
// timeout elapsed, true on a wake-up, a changed word or a spurious return.
bool wait_on_address_for(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                         std::uint32_t timeout_ms) noexcept;

void wake_by_address_single(const std::atomic<std::uint32_t>& word) noexcept;
void wake_by_address_all(const std::atomic<std::uint32_t>& word) noexcept;

}  // namespace platform
