#include "platform/address_wait.h"

#include <linux/futex.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

#include <cerrno>

namespace platform {
namespace {

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t));
static_assert(std::atomic<std::uint32_t>::is_always_lock_free);

std::uint32_t* futex_word(const std::atomic<std::uint32_t>& word) noexcept {
  // The futex is keyed by address; the kernel only reads the word.
  return reinterpret_cast<std::uint32_t*>(const_cast<std::atomic<std::uint32_t>*>(&word));
}

long futex(const std::atomic<std::uint32_t>& word, int operation, std::uint32_t value,
           const timespec* timeout) noexcept {
  return syscall(SYS_futex, futex_word(word), operation, value, timeout, nullptr, 0);
}

}  // namespace

void wait_on_address(const std::atomic<std::uint32_t>& word, std::uint32_t expected) noexcept {
  futex(word, FUTEX_WAIT_PRIVATE, expected, nullptr);
}

bool wait_on_address_for(const std::atomic<std::uint32_t>& word, std::uint32_t expected,
                         std::uint32_t timeout_ms) noexcept {
  // FUTEX_WAIT takes a relative timeout on the monotonic clock.
  timespec timeout{static_cast<time_t>(timeout_ms / 1000),
                   static_cast<long>(timeout_ms % 1000) * 1'000'000L};
  long result = futex(word, FUTEX_WAIT_PRIVATE, expected, &timeout);
  return !(result == -1 && errno == ETIMEDOUT);
}

void wake_by_address_single(const std::atomic<std::uint32_t>& word) noexcept {
  futex(word, FUTEX_WAKE_PRIVATE, 1, nullptr);
}

void wake_by_address_all(const std::atomic<std::uint32_t>& word) noexcept {
  futex(word, FUTEX_WAKE_PRIVATE, static_cast<std::uint32_t>(INT32_MAX), nullptr);
}

}  // namespace platform
