// Linux answers to the Windows-shaped topology questions, read from sysfs:
//   devices/system/node/node<N>/cpulist (or cpumap)   processors of node N
//   devices/system/cpu/online                         processor count, and
//                                                     node 0 without NUMA
//                                                     support
//   devices/system/cpu/cpu<N>/cache/index<K>/*        one record per cache
// Anything missing or malformed reads as "the system does not say"; nothing
// here throws except on allocation failure, which ends the process.

#include "platform/linux/sysfs_topology_source.h"

#include <algorithm>
#include <charconv>
#include <cstddef>
#include <filesystem>
#include <fstream>
#include <map>
#include <string_view>
#include <system_error>
#include <utility>

namespace platform {
namespace {

// Processor ids that a 16-bit group number with 64 processors per group can
// express; larger ids in a list cannot be reported and are left out.
constexpr std::uint64_t kProcessorsPerGroup = 64;
constexpr std::uint64_t kRepresentableProcessors = (std::uint64_t{0xFFFF} + 1) * kProcessorsPerGroup;

// sysfs attribute files are a few kilobytes at most (a cpulist naming every
// other processor of a 32768-processor machine is about 180 KiB); anything
// longer is not a sysfs attribute.
constexpr std::size_t kMaxAttributeBytes = 1 << 20;

std::optional<std::string> read_attribute(const std::string& path) {
  std::ifstream file(path, std::ios::binary);
  if (!file) return std::nullopt;
  std::string text;
  char chunk[4096];
  while (file.read(chunk, sizeof chunk) || file.gcount() > 0) {
    text.append(chunk, static_cast<std::size_t>(file.gcount()));
    if (text.size() > kMaxAttributeBytes) return std::nullopt;
  }
  if (file.bad()) return std::nullopt;
  return text;
}

std::string_view trim(std::string_view text) {
  constexpr std::string_view kSpace = " \t\r\n";
  const auto first = text.find_first_not_of(kSpace);
  if (first == std::string_view::npos) return {};
  const auto last = text.find_last_not_of(kSpace);
  return text.substr(first, last - first + 1);
}

template <typename Unsigned>
std::optional<Unsigned> parse_whole(std::string_view text, int base = 10) {
  Unsigned value{};
  const char* end = text.data() + text.size();
  const auto [stop, error] = std::from_chars(text.data(), end, value, base);
  if (text.empty() || error != std::errc{} || stop != end) return std::nullopt;
  return value;
}

// Sets bits first..last (inclusive, both below kRepresentableProcessors).
void set_processor_range(std::map<std::uint64_t, std::uint64_t>& masks, std::uint64_t first,
                         std::uint64_t last) {
  for (std::uint64_t group = first / kProcessorsPerGroup; group <= last / kProcessorsPerGroup; ++group) {
    const std::uint64_t low = std::max(first, group * kProcessorsPerGroup) % kProcessorsPerGroup;
    const std::uint64_t high = std::min(last, group * kProcessorsPerGroup + 63) % kProcessorsPerGroup;
    const std::uint64_t width = high - low + 1;
    const std::uint64_t bits = width == 64 ? ~std::uint64_t{0} : ((std::uint64_t{1} << width) - 1) << low;
    masks[group] |= bits;
  }
}

std::vector<GroupAffinity> to_group_masks(const std::map<std::uint64_t, std::uint64_t>& masks) {
  std::vector<GroupAffinity> groups;
  for (const auto& [group, mask] : masks) {
    if (mask != 0) groups.push_back({mask, static_cast<std::uint16_t>(group)});
  }
  return groups;
}

// Kernel list format, e.g. "0-3,8,10-11"; an empty list is valid.
std::optional<std::vector<GroupAffinity>> parse_processor_list(std::string_view text) {
  text = trim(text);
  std::map<std::uint64_t, std::uint64_t> masks;
  while (!text.empty()) {
    const auto comma = text.find(',');
    const std::string_view item = text.substr(0, comma);
    text = comma == std::string_view::npos ? std::string_view{} : text.substr(comma + 1);
    if (comma != std::string_view::npos && text.empty()) return std::nullopt;  // trailing comma
    const auto dash = item.find('-');
    const auto first = parse_whole<std::uint64_t>(item.substr(0, dash));
    const auto last = dash == std::string_view::npos ? first
                                                     : parse_whole<std::uint64_t>(item.substr(dash + 1));
    if (!first || !last || *first > *last) return std::nullopt;
    if (*first >= kRepresentableProcessors) continue;
    set_processor_range(masks, *first, std::min(*last, kRepresentableProcessors - 1));
  }
  return to_group_masks(masks);
}

// Kernel mask format: comma-separated 32-bit hex words, most significant
// first, e.g. "00000000,0000000f".
std::optional<std::vector<GroupAffinity>> parse_processor_map(std::string_view text) {
  text = trim(text);
  if (text.empty()) return std::nullopt;
  std::vector<std::string_view> words;
  while (true) {
    const auto comma = text.find(',');
    words.push_back(text.substr(0, comma));
    if (comma == std::string_view::npos) break;
    text = text.substr(comma + 1);
  }
  std::map<std::uint64_t, std::uint64_t> masks;
  for (std::size_t index = 0; index < words.size(); ++index) {
    const std::string_view word = words[words.size() - 1 - index];  // least significant first
    if (word.size() > 8) return std::nullopt;
    const auto bits = parse_whole<std::uint32_t>(word, 16);
    if (!bits) return std::nullopt;
    const std::uint64_t first_processor = std::uint64_t{index} * 32;
    if (*bits == 0 || first_processor >= kRepresentableProcessors) continue;
    masks[first_processor / kProcessorsPerGroup] |= std::uint64_t{*bits} << (first_processor % kProcessorsPerGroup);
  }
  return to_group_masks(masks);
}

std::optional<std::vector<GroupAffinity>> read_processor_set(const std::string& list_path,
                                                             const std::string& map_path) {
  if (const auto list = read_attribute(list_path)) {
    if (auto groups = parse_processor_list(*list)) return groups;
  }
  if (const auto map = read_attribute(map_path)) return parse_processor_map(*map);
  return std::nullopt;
}

// Entries of `directory` named <prefix><decimal number>, by increasing number.
// A number too large for 32 bits reads as the largest 32-bit value.
std::vector<std::pair<std::uint32_t, std::string>> numbered_entries(const std::string& directory,
                                                                    std::string_view prefix) {
  std::vector<std::pair<std::uint32_t, std::string>> entries;
  std::error_code error;
  std::filesystem::directory_iterator it(directory, error);
  for (; !error && it != std::filesystem::directory_iterator{}; it.increment(error)) {
    const std::string name = it->path().filename().string();
    if (!name.starts_with(prefix)) continue;
    const std::string_view digits = std::string_view(name).substr(prefix.size());
    if (digits.empty() || !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      continue;
    }
    std::error_code type_error;
    if (!it->is_directory(type_error)) continue;
    const auto number = parse_whole<std::uint32_t>(digits);
    entries.emplace_back(number.value_or(0xFFFFFFFFu), it->path().string());
  }
  std::sort(entries.begin(), entries.end());
  return entries;
}

std::uint32_t count_processors(const std::vector<GroupAffinity>& groups) {
  std::uint64_t count = 0;
  for (const GroupAffinity& group : groups) count += static_cast<std::uint64_t>(__builtin_popcountll(group.mask));
  return static_cast<std::uint32_t>(std::min<std::uint64_t>(count, 0xFFFFFFFFu));
}

std::optional<CacheType> parse_cache_type(std::string_view text) {
  text = trim(text);
  if (text == "Unified") return CacheType::unified;
  if (text == "Data") return CacheType::data;
  if (text == "Instruction") return CacheType::instruction;
  return std::nullopt;
}

// "48K", "1024K", "32M" (binary multiples) or plain bytes; 0 when unreadable.
std::uint64_t parse_cache_size(std::string_view text) {
  text = trim(text);
  std::uint64_t scale = 1;
  if (!text.empty()) {
    switch (text.back()) {
      case 'K': scale = std::uint64_t{1} << 10; break;
      case 'M': scale = std::uint64_t{1} << 20; break;
      case 'G': scale = std::uint64_t{1} << 30; break;
      default: break;
    }
    if (scale != 1) text.remove_suffix(1);
  }
  const auto count = parse_whole<std::uint64_t>(text);
  if (!count || *count > ~std::uint64_t{0} / scale) return 0;
  return *count * scale;
}

std::optional<CacheRecord> read_cache_record(const std::string& index_dir) {
  const auto level_text = read_attribute(index_dir + "/level");
  const auto type_text = read_attribute(index_dir + "/type");
  if (!level_text || !type_text) return std::nullopt;
  const auto level = parse_whole<std::uint32_t>(trim(*level_text));
  const auto type = parse_cache_type(*type_text);
  if (!level || !type) return std::nullopt;

  CacheRecord record;
  record.level = *level;
  record.type = *type;
  if (const auto size = read_attribute(index_dir + "/size")) record.size_bytes = parse_cache_size(*size);
  if (const auto line = read_attribute(index_dir + "/coherency_line_size")) {
    record.line_size = parse_whole<std::uint16_t>(trim(*line)).value_or(0);
  }
  record.groups = read_processor_set(index_dir + "/shared_cpu_list", index_dir + "/shared_cpu_map")
                      .value_or(std::vector<GroupAffinity>{});
  return record;
}

}  // namespace

SysfsTopologySource::SysfsTopologySource(std::string sysfs_root) : sysfs_root_(std::move(sysfs_root)) {}

// A kernel built without NUMA support has no node directory at all. Windows
// describes such a machine as node 0 holding every processor, and so do we,
// from the online processor list.
bool SysfsTopologySource::without_numa_support() const noexcept {
  std::error_code error;
  return !std::filesystem::is_directory(sysfs_root_ + "/devices/system/node", error);
}

std::optional<std::vector<GroupAffinity>> SysfsTopologySource::online_processors() const noexcept {
  const auto online = read_attribute(sysfs_root_ + "/devices/system/cpu/online");
  if (!online) return std::nullopt;
  return parse_processor_list(*online);
}

std::optional<std::uint32_t> SysfsTopologySource::highest_node_number() const noexcept {
  if (without_numa_support()) {
    if (online_processors()) return 0;
    return std::nullopt;
  }
  const auto nodes = numbered_entries(sysfs_root_ + "/devices/system/node", "node");
  if (nodes.empty()) return std::nullopt;
  return nodes.back().first;
}

std::vector<GroupAffinity> SysfsTopologySource::node_processor_masks(std::uint32_t node) const noexcept {
  if (without_numa_support()) {
    if (node != 0) return {};
    return online_processors().value_or(std::vector<GroupAffinity>{});
  }
  const std::string dir = sysfs_root_ + "/devices/system/node/node" + std::to_string(node);
  return read_processor_set(dir + "/cpulist", dir + "/cpumap").value_or(std::vector<GroupAffinity>{});
}

std::uint32_t SysfsTopologySource::processor_count() const noexcept {
  if (const auto online = online_processors()) return count_processors(*online);
  // Without the online list, every processor the kernel made a directory for.
  const auto processors = numbered_entries(sysfs_root_ + "/devices/system/cpu", "cpu");
  return static_cast<std::uint32_t>(std::min<std::size_t>(processors.size(), 0xFFFFFFFFu));
}

std::optional<std::vector<CacheRecord>> SysfsTopologySource::cache_records() const noexcept {
  const auto processors = numbered_entries(sysfs_root_ + "/devices/system/cpu", "cpu");
  if (processors.empty()) return std::nullopt;
  std::vector<CacheRecord> records;
  for (const auto& [number, processor_dir] : processors) {
    for (const auto& [index, index_dir] : numbered_entries(processor_dir + "/cache", "index")) {
      if (auto record = read_cache_record(index_dir)) records.push_back(std::move(*record));
    }
  }
  return records;
}

const TopologySource& system_topology_source() noexcept {
  // Never destroyed: probes may run while other static objects are torn down.
  static const SysfsTopologySource* const source = new SysfsTopologySource("/sys");
  return *source;
}

}  // namespace platform
