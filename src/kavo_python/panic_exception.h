#pragma once
// PanicException: how an internal invariant failure reaches Python. It
// derives from BaseException so that ordinary `except Exception` handlers do
// not swallow it.

#include "kavo_python/python_headers.h"
#include "platform/invariant_failure.h"

namespace kavo_python {

// Prints the message and the location of the failed check to standard
// error, then sets PanicException. Needs the interpreter lock.
void raise_panic(const platform::InvariantFailure& failure);
void raise_panic_without_message();

}  // namespace kavo_python
