#include "kavo_python/panic_exception.h"

#include <cstdio>
#include <cstdlib>

namespace kavo_python {
namespace {

constexpr const char* kDoc =
    "\nThe exception raised when native code called from Python fails.\n\n"
    "Like SystemExit, this exception is derived from BaseException so that\n"
    "it will typically propagate all the way up and end the interpreter.\n";

// Created on first use and kept for the life of the process.
PyObject* panic_type() {
  static PyObject* type = nullptr;
  if (!type) {
    type = PyErr_NewExceptionWithDoc("pyo3_runtime.PanicException", kDoc, PyExc_BaseException, nullptr);
    if (!type) {
      // A failure while reporting a failure cannot be reported.
      std::fputs("kavo_python: failed to create PanicException\n", stderr);
      std::abort();
    }
  }
  return type;
}

}  // namespace

void raise_panic(const platform::InvariantFailure& failure) {
  const auto& where = failure.where();
  std::fprintf(stderr, "kavo_python panicked at %s:%u:%u:\n%s\n", where.file_name(),
               static_cast<unsigned>(where.line()), static_cast<unsigned>(where.column()),
               failure.message().c_str());
  std::fflush(stderr);
  PyErr_SetString(panic_type(), failure.message().c_str());
}

void raise_panic_without_message() {
  constexpr const char* kGeneric = "panic from native code with no message";
  std::fprintf(stderr, "kavo_python panicked:\n%s\n", kGeneric);
  PyErr_SetString(panic_type(), kGeneric);
}

}  // namespace kavo_python
