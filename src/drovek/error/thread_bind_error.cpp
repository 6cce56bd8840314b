#include "drovek/error/thread_bind_error.h"

namespace drovek {

std::string display(const ThreadBindError& error) {
  using E = ThreadBindError;
  struct Visitor {
    std::string operator()(const E::Unsupported&) const { return "thread binding is unsupported on this target"; }
    std::string operator()(const E::OutOfRange&) const {
      return "the processor is outside the range this target can bind";
    }
    std::string operator()(const E::Os& os) const {
      return "the operating system refused the binding (error code " + std::to_string(os.code) + ")";
    }
  };
  return std::visit(Visitor{}, error.variant());
}

std::string debug(const ThreadBindError& error) {
  using E = ThreadBindError;
  struct Visitor {
    std::string operator()(const E::Unsupported&) const { return "Unsupported"; }
    std::string operator()(const E::OutOfRange&) const { return "OutOfRange"; }
    std::string operator()(const E::Os& os) const { return "Os { code: " + std::to_string(os.code) + " }"; }
  };
  return std::visit(Visitor{}, error.variant());
}

}  // namespace drovek
