#pragma once
// The rules every output view must satisfy before anything is written to it,
// shared by the elementwise map ("binary map") and the matrix products
// ("matmul"): it owns its storage window exclusively, fits its storage, and
// no two of its indices reach the same element. Inputs need none of this: a
// broadcast input legitimately maps many indices to one element.

#include "kavo/error/array_error.h"
#include "kavo/view/view.h"

namespace kavo_ops {

template <class T>
kavo::Expected<void> validate_output(const kavo::MutView<T, 2>& out, const char* operation);

}  // namespace kavo_ops
