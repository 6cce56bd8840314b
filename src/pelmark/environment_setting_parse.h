#pragma once
// Reading one PELMARK_ variable's text. A value counts only when it is 1 to
// 31 bytes of valid UTF-8; Unicode white space around it is ignored. Every
// rejected value reads as "not set" (std::nullopt), which leaves the
// setting's default: a typo must never stop the allocator.

#include <cstdint>
#include <optional>
#include <string_view>

namespace pelmark {

inline constexpr std::size_t kLongestSettingBytes = 31;

// The value without surrounding white space (possibly empty), or nullopt when
// the raw value is empty, too long or not valid UTF-8.
std::optional<std::string_view> setting_text(std::string_view raw);

// An optional "+" then decimal digits only, within 64 bits.
std::optional<std::uint64_t> parse_unsigned_setting(std::string_view raw);

// "1" or "true" / "0" or "false", in any letter case.
std::optional<bool> parse_boolean_setting(std::string_view raw);

}  // namespace pelmark
