#define KAVO_PYTHON_OWNS_NUMPY_API
#include "kavo_python/numpy_bridge/numpy_api.h"

#include "platform/invariant_failure.h"

namespace kavo_python {

void ensure_numpy_api() {
  // The interpreter lock serialises callers; importing twice would be harmless.
  static bool imported = false;
  if (imported) return;
  if (_import_array() < 0) {
    PyErr_Clear();
    platform::fail_invariant("Failed to access NumPy array API capsule");
  }
  imported = true;
}

}  // namespace kavo_python
