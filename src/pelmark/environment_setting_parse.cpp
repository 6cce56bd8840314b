#include "pelmark/environment_setting_parse.h"

#include <charconv>

namespace pelmark {

namespace {

struct DecodedCharacter {
  char32_t code_point;
  std::size_t length;
};

// The UTF-8 sequence starting at `at`; nullopt for a truncated sequence, a
// stray continuation byte, an overlong form, a surrogate or a value beyond
// U+10FFFF.
std::optional<DecodedCharacter> decode_at(std::string_view text, std::size_t at) {
  const auto lead = static_cast<unsigned char>(text[at]);
  if (lead < 0x80) return DecodedCharacter{lead, 1};
  std::size_t length = 0;
  char32_t code_point = 0;
  char32_t smallest = 0;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, code_point = lead & 0x1F, smallest = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, code_point = lead & 0x0F, smallest = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, code_point = lead & 0x07, smallest = 0x10000;
  } else {
    return std::nullopt;
  }
  if (text.size() - at < length) return std::nullopt;
  for (std::size_t i = 1; i < length; ++i) {
    const auto byte = static_cast<unsigned char>(text[at + i]);
    if ((byte & 0xC0) != 0x80) return std::nullopt;
    code_point = (code_point << 6) | (byte & 0x3F);
  }
  if (code_point < smallest || code_point > 0x10FFFF || (code_point >= 0xD800 && code_point <= 0xDFFF)) {
    return std::nullopt;
  }
  return DecodedCharacter{code_point, length};
}

// The Unicode White_Space property.
bool is_white_space(char32_t c) {
  return (c >= 0x09 && c <= 0x0D) || c == 0x20 || c == 0x85 || c == 0xA0 || c == 0x1680 ||
         (c >= 0x2000 && c <= 0x200A) || c == 0x2028 || c == 0x2029 || c == 0x202F || c == 0x205F ||
         c == 0x3000;
}

bool equals_ignoring_ascii_case(std::string_view text, std::string_view lower) {
  if (text.size() != lower.size()) return false;
  for (std::size_t i = 0; i < text.size(); ++i) {
    char c = text[i];
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
    if (c != lower[i]) return false;
  }
  return true;
}

}  // namespace

std::optional<std::string_view> setting_text(std::string_view raw) {
  if (raw.empty() || raw.size() > kLongestSettingBytes) return std::nullopt;
  // Byte range from the first to the end of the last non-space character;
  // the whole value is decoded so that invalid UTF-8 anywhere rejects it.
  std::size_t begin = raw.size();
  std::size_t end = raw.size();
  for (std::size_t at = 0; at < raw.size();) {
    const std::optional<DecodedCharacter> decoded = decode_at(raw, at);
    if (!decoded) return std::nullopt;
    if (!is_white_space(decoded->code_point)) {
      if (begin == raw.size()) begin = at;
      end = at + decoded->length;
    }
    at += decoded->length;
  }
  if (begin == raw.size()) return std::string_view{};
  return raw.substr(begin, end - begin);
}

std::optional<std::uint64_t> parse_unsigned_setting(std::string_view raw) {
  std::optional<std::string_view> text = setting_text(raw);
  if (!text) return std::nullopt;
  std::string_view digits = *text;
  if (digits.starts_with('+')) digits.remove_prefix(1);
  // from_chars takes no sign for unsigned types, so "+-7" and "++7" fail here.
  if (digits.empty() || digits.front() < '0' || digits.front() > '9') return std::nullopt;
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), value);
  if (error != std::errc{} || end != digits.data() + digits.size()) return std::nullopt;
  return value;
}

std::optional<bool> parse_boolean_setting(std::string_view raw) {
  std::optional<std::string_view> text = setting_text(raw);
  if (!text) return std::nullopt;
  if (*text == "1" || equals_ignoring_ascii_case(*text, "true")) return true;
  if (*text == "0" || equals_ignoring_ascii_case(*text, "false")) return false;
  return std::nullopt;
}

}  // namespace pelmark
