#include "drovek/scheduler/completion_signal.h"

#include "platform/address_wait.h"

namespace drovek {

void CompletionSignal::notify_all_locked() noexcept {
  word.fetch_add(1, std::memory_order_seq_cst);
  if (sleepers.load(std::memory_order_seq_cst) != 0) platform::wake_by_address_all(word);
}

std::uint32_t CompletionSignal::prepare_wait_locked() noexcept {
  sleepers.fetch_add(1, std::memory_order_seq_cst);
  return word.load(std::memory_order_seq_cst);
}

void CompletionSignal::wait(std::uint32_t observed) noexcept {
  platform::wait_on_address(word, observed);
  sleepers.fetch_sub(1, std::memory_order_seq_cst);
}

void CompletionSignal::wait_for_ms(std::uint32_t observed, std::uint32_t timeout_ms) noexcept {
  platform::wait_on_address_for(word, observed, timeout_ms);
  sleepers.fetch_sub(1, std::memory_order_seq_cst);
}

}  // namespace drovek
