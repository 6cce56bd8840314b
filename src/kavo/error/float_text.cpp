#include "kavo/error/float_text.h"

#include <charconv>
#include <cmath>

namespace kavo {
namespace {

std::string non_finite_text(double value) {
  if (std::isnan(value)) return "NaN";
  return value > 0 ? "inf" : "-inf";
}

std::string shortest(double value, std::chars_format format) {
  char buffer[400];  // fixed form of the smallest subnormal needs ~330 chars
  auto [end, ec] = std::to_chars(buffer, buffer + sizeof buffer, value, format);
  return std::string(buffer, end);
}

// "1.5e-05" -> "1.5e-5", "1e+16" -> "1e16": the exponent without sign padding.
std::string compact_exponent(const std::string& text) {
  auto e = text.find('e');
  if (e == std::string::npos) return text;
  std::string mantissa = text.substr(0, e);
  std::string exponent = text.substr(e + 1);
  bool negative = !exponent.empty() && exponent[0] == '-';
  if (!exponent.empty() && (exponent[0] == '-' || exponent[0] == '+')) exponent.erase(0, 1);
  exponent.erase(0, exponent.find_first_not_of('0'));
  if (exponent.empty()) exponent = "0";
  return mantissa + "e" + (negative ? "-" : "") + exponent;
}

}  // namespace

std::string plain_decimal(double value) {
  if (!std::isfinite(value)) return non_finite_text(value);
  return shortest(value, std::chars_format::fixed);
}

std::string debug_decimal(double value) {
  if (!std::isfinite(value)) return non_finite_text(value);
  double magnitude = std::fabs(value);
  if (magnitude != 0.0 && (magnitude < 1e-4 || magnitude >= 1e16)) {
    return compact_exponent(shortest(value, std::chars_format::scientific));
  }
  std::string text = shortest(value, std::chars_format::fixed);
  if (text.find('.') == std::string::npos) text += ".0";
  return text;
}

}  // namespace kavo
