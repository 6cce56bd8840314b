#pragma once
// Builds Windows processor information buffers byte by byte: a sequence of
// SYSTEM_LOGICAL_PROCESSOR_INFORMATION_EX records, little-endian, laid out as
// the system lays them out (cache fields from byte 8, group entries of 16
// bytes from byte 40).

#include <cstddef>
#include <algorithm>
#include <cstdint>
#include <optional>
#include <span>
#include <utility>
#include <vector>

namespace vendral_test {

struct FabricatedCache {
  std::uint8_t level = 1;
  std::uint16_t line_size = 64;
  std::uint32_t size_bytes = 32768;
  std::uint32_t type = 2;  // data
  std::vector<std::pair<std::uint64_t, std::uint16_t>> groups;  // mask, group
};

class ProcessorInformationBuffer {
 public:
  // A cache record; `group_count` and `size` override what the entries
  // imply. The record takes exactly `size` bytes; fields that do not fit are
  // left out.
  ProcessorInformationBuffer& cache(const FabricatedCache& cache, std::optional<std::uint16_t> group_count = {},
                                    std::optional<std::uint32_t> size = {}) {
    const std::uint32_t natural = static_cast<std::uint32_t>(40 + 16 * std::max<std::size_t>(cache.groups.size(), 1));
    const std::size_t start = begin_record(2, size.value_or(natural));
    put<std::uint8_t>(start + 8, cache.level);
    put<std::uint8_t>(start + 9, 8);  // associativity, not read
    put<std::uint16_t>(start + 10, cache.line_size);
    put<std::uint32_t>(start + 12, cache.size_bytes);
    put<std::uint32_t>(start + 16, cache.type);
    put<std::uint16_t>(start + 38, group_count.value_or(static_cast<std::uint16_t>(cache.groups.size())));
    for (std::size_t i = 0; i < cache.groups.size(); ++i) {
      put<std::uint64_t>(start + 40 + 16 * i, cache.groups[i].first);
      put<std::uint16_t>(start + 48 + 16 * i, cache.groups[i].second);
    }
    return *this;
  }

  // A record of another relationship (or a bare header), `size` bytes long
  // as declared, filled with `fill`.
  ProcessorInformationBuffer& other(std::uint32_t relationship, std::uint32_t size, std::size_t bytes,
                                    std::byte fill = std::byte{0xA5}) {
    const std::size_t start = bytes_.size();
    bytes_.resize(start + bytes, fill);
    if (bytes >= 8) {
      put<std::uint32_t>(start, relationship);
      put<std::uint32_t>(start + 4, size);
    }
    return *this;
  }

  // Cuts `count` bytes off the end, e.g. to make the last record run past it.
  ProcessorInformationBuffer& truncate(std::size_t count) {
    bytes_.erase(bytes_.end() - static_cast<std::ptrdiff_t>(count), bytes_.end());
    return *this;
  }

  std::span<const std::byte> bytes() const { return bytes_; }

 private:
  // Appends a zeroed record of `size` bytes and returns its start.
  std::size_t begin_record(std::uint32_t relationship, std::uint32_t size) {
    const std::size_t start = bytes_.size();
    bytes_.resize(start + size, std::byte{0});
    put<std::uint32_t>(start, relationship);
    put<std::uint32_t>(start + 4, size);
    return start;
  }

  template <typename Unsigned>
  void put(std::size_t offset, Unsigned value) {
    if (offset + sizeof(Unsigned) > bytes_.size()) return;
    for (std::size_t i = 0; i < sizeof(Unsigned); ++i) {
      bytes_[offset + i] = static_cast<std::byte>((static_cast<std::uint64_t>(value) >> (8 * i)) & 0xFF);
    }
  }

  std::vector<std::byte> bytes_;
};

}  // namespace vendral_test
