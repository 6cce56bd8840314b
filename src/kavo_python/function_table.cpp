#include "kavo_python/function_table.h"

#include <array>
#include <string>

#include "kavo_python/function_list.h"
#include "kavo_python/functions/function_entries.h"
#include "kavo_python/signatures.h"

namespace kavo_python {
namespace {

constexpr int kFlags = METH_FASTCALL | METH_KEYWORDS;

template <PyObject* (*Entry)(PyObject*, PyObject* const*, Py_ssize_t, PyObject*)>
PyCFunction as_method() {
  return reinterpret_cast<PyCFunction>(reinterpret_cast<void (*)()>(Entry));
}

struct Described {
  const Signature& signature;
  PyCFunction entry;
  const char* description;
};

#define KAVO_PYTHON_DESCRIBED(name, required, shape_rule, description, ...) \
  Described{signatures::name, as_method<entries::name>(), description},
const std::array kFunctions{KAVO_PYTHON_FUNCTIONS(KAVO_PYTHON_DESCRIBED)};
#undef KAVO_PYTHON_DESCRIBED

// Built once, on the first call (module creation), and never destroyed:
// function objects keep pointing at the records and their docstrings until
// the process ends.
struct Table {
  std::array<std::string, kFunctions.size()> docstrings;
  std::array<PyMethodDef, kFunctions.size()> methods;

  Table() {
    for (std::size_t i = 0; i < kFunctions.size(); ++i) {
      const Described& f = kFunctions[i];
      docstrings[i] = signature_text(f.signature) + "\n--\n\n" + f.description;
      methods[i] = PyMethodDef{f.signature.name, f.entry, kFlags, docstrings[i].c_str()};
    }
  }
};

}  // namespace

std::span<PyMethodDef> function_table() {
  static Table& table = *new Table;
  return table.methods;
}

}  // namespace kavo_python
