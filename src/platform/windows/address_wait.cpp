#include "platform/address_wait.h"

#include <windows.h>

namespace platform {
namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

// WaitOnAddress compares the word's bytes with `expected` and is keyed by
// the address; it never writes the word.
volatile void* wait_address(const std::atomic<std::uint32_t>& word) noexcept {
  return const_cast<std::atomic<std::uint32_t>*>(&word);
}

}  // namespace

void wait_on_address(const std::atomic<std::uint32_t>& word, std::uint32_t expected) noexcept {
  WaitOnAddress(wait_address(word), &expected, sizeof expected, INFINITE);
}

bool wait_on_address_for(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                         std::uint32_t timeout_ms) noexcept {
  // INFINITE is 0xFFFFFFFF: the one timeout that must not reach the call.
  const DWORD timeout = timeout_ms == INFINITE ? INFINITE - 1 : timeout_ms;
  if (WaitOnAddress(wait_address(word), &expected, sizeof expected, timeout)) return true;
  return GetLastError() != ERROR_TIMEOUT;
}

void wake_by_address_single(const std::atomic<std::uint32_t>& word) noexcept {
  WakeByAddressSingle(const_cast<std::atomic<std::uint32_t>*>(&word));
}

void wake_by_address_all(const std::atomic<std::uint32_t>& word) noexcept {
  WakeByAddressAll(const_cast<std::atomic<std::uint32_t>*>(&word));
}

}  // namespace platform
