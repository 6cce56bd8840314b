#include "platform/invariant_failure.h"

#include <utility>

namespace platform {

InvariantFailure::InvariantFailure(std::string message, std::source_location where)
    : message_(std::move(message)), where_(where) {}

void fail_invariant(std::string message, std::source_location where) {
  throw InvariantFailure(std::move(message), where);
}

}  // namespace platform
