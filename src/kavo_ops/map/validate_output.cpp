#include "kavo_ops/map/validate_output.h"

#include <string>

#include "kavo/layout/injectivity.h"
#include "kavo/layout/shape_arithmetic.h"

namespace kavo_ops {

template <class T>
kavo::Expected<void> validate_output(const kavo::MutView<T, 2>& out, const char* operation) {
  if (out.shares_window) {
    return kavo::storage_error(std::string(operation) +
                               " output must exclusively own its storage window (interleaved "
                               "iterator-yielded sub-views are rejected)");
  }
  if (auto fits = kavo::check_storage(out.layout, out.len); !fits) return fits;
  auto injective = kavo::is_injective(out.layout);
  if (!injective) return std::unexpected(std::move(injective.error()));
  if (!*injective) return kavo::storage_error(std::string(operation) + " output layout must be injective (no aliasing)");
  return {};
}

template kavo::Expected<void> validate_output<float>(const kavo::MutView<float, 2>&, const char*);
template kavo::Expected<void> validate_output<double>(const kavo::MutView<double, 2>&, const char*);

}  // namespace kavo_ops
