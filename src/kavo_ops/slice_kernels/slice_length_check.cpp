#include "kavo_ops/slice_kernels/slice_length_check.h"

#include <string>

#include "platform/invariant_failure.h"

namespace kavo_ops {

void fail_length_mismatch(std::size_t left, std::size_t right, const char* message,
                          std::source_location where) {
  platform::fail_invariant(std::string(message) + "\n  left: " + std::to_string(left) +
                               "\n right: " + std::to_string(right),
                           where);
}

}  // namespace kavo_ops
