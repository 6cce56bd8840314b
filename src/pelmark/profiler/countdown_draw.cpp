#include "pelmark/profiler/countdown_draw.h"

#include <algorithm>
#include <cmath>

#include "platform/system_time.h"

namespace pelmark::profiler {

std::uint64_t seed_from_clock() noexcept { return platform::nanoseconds_since_unix_epoch() ^ kSeedMix; }

std::uint64_t draw_countdown(std::uint64_t& generator, std::uint64_t interval) noexcept {
  if (generator == 0) generator = seed_from_clock();
  generator = xorshift64(generator);
  const double u = static_cast<double>(generator) * 0x1p-64;
  const double draw = -std::log(std::max(u, 1e-9)) * static_cast<double>(interval);
  if (!(draw > 0.0)) return 0;
  if (draw > 1.844674407370955e19) return UINT64_MAX;
  return static_cast<std::uint64_t>(draw);
}

}  // namespace pelmark::profiler
