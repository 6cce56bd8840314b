// Huge allocations: one mapping per payload, its segment header at the first
// 2 MiB boundary inside the mapping, the payload 64 KiB (or the alignment)
// past it and the header's address in the 8 bytes before the payload.

#include "pelmark/size_classes.h"
#include <cstdint>
#include <new>

#include "pelmark/arena.h"
#include "pelmark/integrity_trap.h"
#include "pelmark/segment_registry.h"
#include "pelmark/thread_node.h"
#include "platform/invariant_failure.h"

namespace pelmark {

namespace {

std::uint64_t payload_offset(std::size_t alignment) {
  return alignment > kPageSize ? alignment : kPageSize;
}

}  // namespace

std::uint64_t huge_mapping_size_for(std::size_t size, std::size_t alignment) noexcept {
  const std::uint64_t overhead = payload_offset(alignment) + kSegmentSize;
  if (size > UINT64_MAX - overhead) return 0;
  return size + overhead;
}

SegmentHeader* Arena::map_huge_segment(std::uint64_t mapping_size) noexcept {
  void* base = memory_.map(mapping_size);
  if (base == nullptr) return nullptr;
  statistics_.record_map(mapping_size);
  const auto start = reinterpret_cast<std::uintptr_t>(base);
  if (start > UINTPTR_MAX - mapping_size || start + mapping_size > kAddressMask) {
    if (memory_.unmap(base, mapping_size)) statistics_.record_unmap(mapping_size);
    return nullptr;
  }
  const std::uintptr_t segment_start = (start + kSegmentMask) & ~kSegmentMask;
  auto* segment = new (reinterpret_cast<void*>(segment_start)) SegmentHeader{};
  reset_segment_header(*segment);
  segment->mapping_base = base;
  segment->huge_mapping_size = mapping_size;
  segment->node = thread_node();
  segment->arena = this;
  return segment;
}

bool Arena::unmap_huge(SegmentHeader* segment) noexcept {
  const std::uint64_t mapping_size = segment->huge_mapping_size;
  if (!memory_.unmap(segment->mapping_base, mapping_size)) return false;
  statistics_.record_unmap(mapping_size);
  return true;
}

SegmentHeader* Arena::pop_nearest_huge(std::uint64_t mapping_size) noexcept {
  const std::uint32_t node = thread_node();
  for (std::uint32_t step = 0; step < kNodeSlots; ++step) {
    if (SegmentHeader* segment = huge_[(node + step) % kNodeSlots].pop_fitting(mapping_size)) return segment;
  }
  return nullptr;
}

void* Arena::huge_allocate(std::size_t size, std::size_t alignment) noexcept {
  if (!is_power_of_two(alignment) || alignment > kLargestHugeAlignment) return nullptr;
  const std::uint64_t mapping_size = huge_mapping_size_for(size, alignment);
  if (mapping_size == 0) return nullptr;
  SegmentHeader* segment = pop_nearest_huge(mapping_size);
  if (segment == nullptr) segment = map_huge_segment(mapping_size);
  if (segment == nullptr) return nullptr;
  segment->huge_payload_size = size;
  auto* payload = reinterpret_cast<std::byte*>(segment) + payload_offset(alignment);
  reinterpret_cast<std::uint64_t*>(payload)[-1] = reinterpret_cast<std::uint64_t>(segment);
  register_segment(segment, SegmentKind::kLiveHuge);
  return payload;
}

void Arena::huge_release(void* payload) noexcept {
  const std::uint64_t back = reinterpret_cast<const std::uint64_t*>(payload)[-1];
  check_integrity(back != 0 && back % kSegmentSize == 0);
  auto* segment = reinterpret_cast<SegmentHeader*>(back);
  check_integrity(segment == segment_of(payload));
  const auto base = reinterpret_cast<std::uint64_t>(segment->mapping_base);
  check_integrity(base != 0 && back >= base && back - base <= kSegmentMask);
  check_integrity(segment->huge_mapping_size != 0);
  segment->huge_payload_size = 0;
  if (huge_[segment->node % kNodeSlots].push(segment)) return;
  unmap_huge(segment);
}

std::size_t Arena::huge_usable_size(const void* payload) const {
  const SegmentHeader* segment = segment_of(payload);
  const auto base = reinterpret_cast<std::uintptr_t>(segment->mapping_base);
  const std::uint64_t mapping_size = segment->huge_mapping_size;
  if (base > UINTPTR_MAX - mapping_size) {
    platform::fail_invariant("raw_alloc_ptr + huge_size overflowed the address space");
  }
  const std::uintptr_t end = base + mapping_size;
  const auto address = reinterpret_cast<std::uintptr_t>(payload);
  if (address > end) platform::fail_invariant("user_ptr is outside the mapping interval");
  return end - address;
}

}  // namespace pelmark
