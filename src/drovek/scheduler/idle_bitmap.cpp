#include "drovek/scheduler/idle_bitmap.h"

#include <bit>

namespace drovek {
namespace {
constexpr std::size_t kBitsPerWord = 64;
}

IdleBitmap::IdleBitmap(std::size_t workers)
    : workers_(workers),
      word_count_((workers + kBitsPerWord - 1) / kBitsPerWord),
      words_(std::make_unique<Word[]>(word_count_)) {}

void IdleBitmap::set(std::size_t worker) noexcept {
  words_[worker / kBitsPerWord].bits.fetch_or(std::uint64_t{1} << (worker % kBitsPerWord),
                                              std::memory_order_seq_cst);
}

void IdleBitmap::clear(std::size_t worker) noexcept {
  words_[worker / kBitsPerWord].bits.fetch_and(~(std::uint64_t{1} << (worker % kBitsPerWord)),
                                               std::memory_order_seq_cst);
}

bool IdleBitmap::is_set(std::size_t worker) const noexcept {
  return (words_[worker / kBitsPerWord].bits.load(std::memory_order_seq_cst) >> (worker % kBitsPerWord)) & 1;
}

bool IdleBitmap::claim(std::size_t worker) noexcept {
  const std::uint64_t bit = std::uint64_t{1} << (worker % kBitsPerWord);
  return (words_[worker / kBitsPerWord].bits.fetch_and(~bit, std::memory_order_seq_cst) & bit) != 0;
}

std::optional<std::size_t> IdleBitmap::claim_lowest() noexcept {
  for (std::size_t w = 0; w < word_count_; ++w) {
    std::atomic<std::uint64_t>& word = words_[w].bits;
    std::uint64_t bits = word.load(std::memory_order_seq_cst);
    // Bits at or above the worker count are ignored.
    const std::size_t valid = workers_ - w * kBitsPerWord;
    const std::uint64_t mask = valid >= kBitsPerWord ? ~std::uint64_t{0} : (std::uint64_t{1} << valid) - 1;
    while ((bits & mask) != 0) {
      const std::size_t bit = static_cast<std::size_t>(std::countr_zero(bits & mask));
      // A lost exchange reloads `bits`; retry on the same word.
      if (word.compare_exchange_weak(bits, bits & ~(std::uint64_t{1} << bit), std::memory_order_seq_cst)) {
        return w * kBitsPerWord + bit;
      }
    }
  }
  return std::nullopt;
}

}  // namespace drovek
