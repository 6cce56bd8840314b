#include "vendral/cache_descriptors.h"

#include <cstddef>
#include <set>
#include <tuple>

#include "vendral/group_processor_ids.h"

namespace vendral {
namespace {

bool is_described_cache(const platform::CacheRecord& record) {
  const bool data_or_unified =
      record.type == platform::CacheType::data || record.type == platform::CacheType::unified;
  return record.level >= 1 && record.level <= 3 && record.size_bytes != 0 && data_or_unified;
}

// Orders descriptors by all four fields, so equal descriptors collide; keyed
// by position in the output list, which only grows.
struct DescriptorOrder {
  const std::vector<CacheDescriptor>* descriptors;
  bool operator()(std::size_t left, std::size_t right) const {
    const CacheDescriptor& a = (*descriptors)[left];
    const CacheDescriptor& b = (*descriptors)[right];
    return std::tie(a.level, a.size_bytes, a.line_size, a.processors) <
           std::tie(b.level, b.size_bytes, b.line_size, b.processors);
  }
};

}  // namespace

std::vector<CacheDescriptor> cache_descriptors(std::span<const platform::CacheRecord> records) {
  std::vector<CacheDescriptor> descriptors;
  std::set<std::size_t, DescriptorOrder> seen(DescriptorOrder{&descriptors});
  for (const platform::CacheRecord& record : records) {
    if (!is_described_cache(record)) continue;
    std::vector<std::uint32_t> processors = group_processor_ids(record.groups);
    if (processors.empty()) continue;
    descriptors.push_back(CacheDescriptor{
        .level = record.level,
        .size_bytes = record.size_bytes,
        .line_size = record.line_size != 0 ? std::optional<std::uint16_t>(record.line_size) : std::nullopt,
        .processors = std::move(processors),
    });
    if (!seen.insert(descriptors.size() - 1).second) descriptors.pop_back();
  }
  return descriptors;
}

}  // namespace vendral
