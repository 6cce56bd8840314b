#include "pelmark/configuration.h"

namespace pelmark {

void configure_from_environment_once() noexcept {}

}  // namespace pelmark
