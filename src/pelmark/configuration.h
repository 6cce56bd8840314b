#pragma once
// The configuration step: reads the PELMARK_ environment variables into the
// process settings, starts the decay thread and turns on the profiler modes
// they ask for. Runs once per process, on the first allocation that finds no
// thread heap; later calls return at once.

namespace pelmark {

void configure_from_environment_once() noexcept;

}  // namespace pelmark
