#pragma once
// IdleBitmap: bit i set means worker i advertises that it is about to park.
// Set and cleared by the worker itself, and cleared by a submitter that
// chooses it for waking. One 64-bit word per 64 workers, each word alone on
// its 128-byte line.

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <optional>

#include "drovek/scheduler/tuning.h"

namespace drovek {

class IdleBitmap {
 public:
  explicit IdleBitmap(std::size_t workers);

  // Sequentially consistent: a parking worker's set and a submitter's scan
  // are ordered against the queued counter (see the worker loop).
  void set(std::size_t worker) noexcept;
  void clear(std::size_t worker) noexcept;
  bool is_set(std::size_t worker) const noexcept;
  // Clears the lowest set bit below `workers` and returns its index.
  std::optional<std::size_t> claim_lowest() noexcept;
  // Clears bit `worker` when it is set; true when this call cleared it.
  bool claim(std::size_t worker) noexcept;

 private:
  struct alignas(kIsolationBytes) Word {
    std::atomic<std::uint64_t> bits{0};
  };
  std::size_t workers_;
  std::size_t word_count_;
  std::unique_ptr<Word[]> words_;
};

}  // namespace drovek
