#pragma once
// Turning the profiler's modes on (the configuration step does, from
// PELMARK_PROF, PELMARK_PROF_SAMPLE_INTERVAL and PELMARK_LEAK_DETECTOR).
// Neither can be turned off again.

#include <cstdint>

namespace pelmark {

// Records about one allocation per `interval` requested bytes.
void enable_sampling(std::uint64_t interval);

// Records every allocation.
void enable_leak_detector();

}  // namespace pelmark
