#include "pelmark/profiler/profiler_settings.h"
#include "pelmark/profiler/thread_profiler_state.h"

namespace pelmark::profiler {

constinit ProfilerSettings g_profiler_settings;

[[gnu::tls_model("initial-exec")]] constinit thread_local ThreadProfilerState t_profiler_state;

}  // namespace pelmark::profiler
