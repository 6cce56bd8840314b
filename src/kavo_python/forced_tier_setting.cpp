#include "kavo_python/forced_tier_setting.h"

#include <optional>
#include <string>

#include "kavo_python/python_headers.h"
#include "platform/environment.h"
#include "platform/processor_tier_override.h"

namespace kavo_python {

bool apply_forced_tier_setting() {
  const std::optional<std::string> value = platform::environment_variable("KAVO_FORCE_TIER");
  if (!value || value->empty()) return true;
  std::optional<platform::Tier> tier;
  if (*value == "A") tier = platform::Tier::A;
  if (*value == "B") tier = platform::Tier::B;
  if (*value == "C") tier = platform::Tier::C;
  if (!tier) {
    PyErr_Format(PyExc_ImportError, "KAVO_FORCE_TIER=%s names no processor tier (A, B or C)", value->c_str());
    return false;
  }
  if (!platform::tier_supported(*tier)) {
    PyErr_Format(PyExc_ImportError, "KAVO_FORCE_TIER=%s: this processor cannot run that tier", value->c_str());
    return false;
  }
  platform::force_tier(tier);
  return true;
}

}  // namespace kavo_python
