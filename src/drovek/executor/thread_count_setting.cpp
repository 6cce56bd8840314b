#include "drovek/executor/thread_count_setting.h"

#include "platform/debug_quoted.h"

namespace drovek {

std::optional<std::uint64_t> parse_thread_count(std::string_view text) noexcept {
  auto is_blank = [](char c) { return c == ' ' || c == '\t'; };
  while (!text.empty() && is_blank(text.front())) text.remove_prefix(1);
  while (!text.empty() && is_blank(text.back())) text.remove_suffix(1);
  if (text.empty()) return std::nullopt;
  std::uint64_t value = 0;
  for (char c : text) {
    if (c < '0' || c > '9') return std::nullopt;
    value = value * 10 + static_cast<std::uint64_t>(c - '0');
    if (value > kMaxThreadCountSetting) return std::nullopt;  // also stops any overflow
  }
  if (value == 0) return std::nullopt;
  return value;
}

std::string ignored_thread_count_message(std::string_view text, std::uint64_t workers) {
  return std::string(kThreadCountVariable) + "=" + platform::debug_quoted(text) +
         " ignored: not a whole number from 1 to " + std::to_string(kMaxThreadCountSetting) + "; using " +
         std::to_string(workers) + (workers == 1 ? " worker thread\n" : " worker threads\n");
}

}  // namespace drovek
