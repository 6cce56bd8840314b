#pragma once
// The process-wide cache sizes that blocking decisions use (the elementwise
// map's tiling, LU panel widths). Computed once, on first use, from one
// topology probe and then only read.
//
// Each level's size is the smallest instance of that level the topology
// reports (a thread may run next to the smallest one); the line size is the
// largest reported (so a stride of one line never shares a line). Levels and
// line sizes the topology does not report keep the defaults below, typical
// of current x86-64 server parts.

#include <cstdint>
#include <span>

#include "vendral/topology.h"

namespace vendral {

struct CachePolicy {
  std::uint64_t l1_bytes = 32'768;
  std::uint64_t l2_bytes = 262'144;
  std::uint64_t l3_bytes = 8'388'608;
  std::uint64_t line_bytes = 64;
  bool operator==(const CachePolicy&) const = default;
};

CachePolicy summarize_caches(std::span<const CacheDescriptor> caches);

// Thread-safe; the first caller probes, every caller gets the same record.
const CachePolicy& cache_policy();

}  // namespace vendral
