#pragma once
// Parker: the parking handle of one worker. A token that unpark() sets and
// park() consumes, sleeping on the token word (WaitOnAddress semantics) when
// it is not set. An unpark that comes before the park is not lost: the next
// park returns at once.

#include <atomic>
#include <cstdint>

namespace drovek {

class Parker {
 public:
  // Consumes the token, or sleeps until unpark(). Owner thread only.
  void park() noexcept;
  // Sets the token and wakes the owner if it sleeps. Any thread.
  void unpark() noexcept;

 private:
  static constexpr std::uint32_t kEmpty = 0;
  static constexpr std::uint32_t kNotified = 1;
  static constexpr std::uint32_t kParked = 0xFFFFFFFFu;

  // Written by the owner (Empty -> Parked -> Empty) and by unparkers (any ->
  // Notified), always by sequentially consistent read-modify-writes, so a
  // notification either precedes the owner's transition to Parked (which
  // then sees it) or finds Parked and issues the wake.
  std::atomic<std::uint32_t> state_{kEmpty};
};

}  // namespace drovek
