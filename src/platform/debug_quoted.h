#pragma once
// Text payloads in debug forms are shown between double quotes with quotes,
// backslashes and control characters escaped, so a message stays one
// unambiguous line inside an invariant-failure text.

#include <string>
#include <string_view>

namespace platform {

std::string debug_quoted(std::string_view text);

}  // namespace platform
