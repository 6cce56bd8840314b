// The text rules of one PELMARK_ variable: anything not exactly right reads
// as "not set", so that a bad value falls back to the default.

#include <gtest/gtest.h>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "pelmark/environment_setting_parse.h"

namespace pelmark {
namespace {

using namespace std::string_literals;

struct UnsignedCase {
  std::string raw;
  std::optional<std::uint64_t> expected;
};

TEST(EnvironmentSettingParse, UnsignedValues) {
  const UnsignedCase cases[] = {
      {"0", 0},
      {"7", 7},
      {"+7", 7},
      {"007", 7},
      {"5000", 5000},  // the retained limit is clamped by the step, not here
      {" 12 ", 12},
      {"\t12\r\n", 12},
      {"\u00A012\u3000", 12},  // no-break space, ideographic space
      {"\u2000\u200A12\u2028\u205F", 12},
      {"\u008512\u1680", 12},
      {"18446744073709551615", UINT64_MAX},
      {std::string(29, '0') + "12", 12},  // 31 bytes
      {"7x", std::nullopt},
      {"-7", std::nullopt},
      {"", std::nullopt},
      {"+", std::nullopt},
      {"-", std::nullopt},
      {"++7", std::nullopt},
      {"+-7", std::nullopt},
      {"+ 7", std::nullopt},
      {"1 2", std::nullopt},
      {"0x10", std::nullopt},
      {"1e3", std::nullopt},
      {"   ", std::nullopt},
      {"\u200B12", std::nullopt},  // zero-width space is not white space
      {"\uFF11\uFF12", std::nullopt},  // fullwidth digits
      {"18446744073709551616", std::nullopt},
      {"99999999999999999999", std::nullopt},
      {std::string(30, '0') + "12", std::nullopt},  // 32 bytes
      {"12" + std::string(30, ' '), std::nullopt},  // white space counts toward the length
      {"\xff" "7", std::nullopt},
      {"7\xc0\x80", std::nullopt},        // overlong NUL
      {"\xed\xa0\x80" "7", std::nullopt},  // surrogate
      {"12\xe2\x80", std::nullopt},       // truncated sequence
      {"\x80" "12", std::nullopt},        // stray continuation byte
      {"12\xf4\x90\x80\x80", std::nullopt},  // beyond U+10FFFF
      {"7\0"s, std::nullopt},
  };
  for (const UnsignedCase& c : cases) {
    EXPECT_EQ(parse_unsigned_setting(c.raw), c.expected) << '"' << c.raw << '"';
  }
}

struct BooleanCase {
  std::string raw;
  std::optional<bool> expected;
};

TEST(EnvironmentSettingParse, BooleanValues) {
  const BooleanCase cases[] = {
      {"1", true},
      {"true", true},
      {"TRUE", true},
      {"True", true},
      {"tRuE", true},
      {" true\u00A0", true},
      {"0", false},
      {"false", false},
      {"FALSE", false},
      {"\tFalse\n", false},
      {"yes", std::nullopt},
      {"no", std::nullopt},
      {"on", std::nullopt},
      {"2", std::nullopt},
      {"01", std::nullopt},
      {"+1", std::nullopt},
      {"t", std::nullopt},
      {"truee", std::nullopt},
      {"tr ue", std::nullopt},
      {"", std::nullopt},
      {"true\xff", std::nullopt},
      {std::string(28, ' ') + "true", std::nullopt},  // 32 bytes
  };
  for (const BooleanCase& c : cases) {
    EXPECT_EQ(parse_boolean_setting(c.raw), c.expected) << '"' << c.raw << '"';
  }
}

TEST(EnvironmentSettingParse, TextIsTrimmedOnlyAtTheEnds) {
  EXPECT_EQ(setting_text("\u3000a b\u00A0"), std::optional<std::string_view>("a b"));
  EXPECT_EQ(setting_text("\u00A0\u00A0"), std::optional<std::string_view>(""));
  EXPECT_EQ(setting_text("\u00E9t\u00E9"), std::optional<std::string_view>("\u00E9t\u00E9"));
}

}  // namespace
}  // namespace pelmark
