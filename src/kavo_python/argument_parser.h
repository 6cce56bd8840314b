#pragma once
// Argument parsing shared by every function: all parameters are
// positional-or-keyword, with no *args or **kwargs. The error texts are the
// ones Python callers see.

#include <array>
#include <cstddef>
#include <string>

#include "kavo_python/python_headers.h"

namespace kavo_python {

inline constexpr std::size_t kMaxParameters = 2;

struct Signature {
  const char* name;
  std::array<const char*, kMaxParameters> parameters;
  std::size_t parameter_count;
  std::size_t required;  // leading parameters without a default
  const char* shape_rule = "";  // what the arrays' shapes must be, for notes
};

// Borrowed references, one per parameter; null where an optional parameter
// was not given.
using ArgumentSlots = std::array<PyObject*, kMaxParameters>;

// "norm(a, ord=None)": how a call is written, for notes and docstrings.
std::string signature_text(const Signature& signature);

// Fills `slots` from a vectorcall argument vector; false with TypeError set,
// carrying a note that shows the signature and what the call gave.
bool parse_arguments(const Signature& signature, PyObject* const* args, Py_ssize_t nargs,
                     PyObject* kwnames, ArgumentSlots& slots);

// Re-raises a TypeError from converting one argument as
// "argument '<name>': <message>" with the original as its __cause__; other
// exceptions pass unchanged.
void wrap_argument_error(const char* parameter);

}  // namespace kavo_python
