// PyInit_kavo_python: the module's single export.
//
// The module is created once per process and only ever served to the
// interpreter that first imported it: its process-wide state (the NumPy API
// table, the executor) is not per-interpreter. The definition declares no
// per-module state as m_size 0 rather than -1, so that CPython runs this
// initializer again for a legacy subinterpreter instead of copying the
// module's dict, and the guard below gets to refuse it.

#include <atomic>
#include <cstdint>

#include "kavo_python/forced_tier_setting.h"
#include "kavo_python/function_table.h"
#include "kavo_python/python_errors.h"
#include "kavo_python/python_headers.h"

namespace kavo_python {
namespace {

constexpr int kModuleApiVersion = 1013;

#ifndef KAVO_PYTHON_VERSION
#error "the build defines KAVO_PYTHON_VERSION from the project's version"
#endif
// The installed distribution's version (importlib.metadata agrees).
constexpr const char* kVersion = KAVO_PYTHON_VERSION;

PyModuleDef module_definition = {
    PyModuleDef_HEAD_INIT, "kavo_python", "", 0, nullptr, nullptr, nullptr, nullptr, nullptr,
};

// Interpreter of the first successful import; -1 until then.
std::atomic<std::int64_t> owning_interpreter{-1};
// Kept for the life of the process; guarded by the interpreter lock.
PyObject* created_module = nullptr;

bool claim_interpreter() {
  std::int64_t id = PyInterpreterState_GetID(PyInterpreterState_Get());
  if (id == -1) {
    keep_or_raise_missing_exception();
    return false;
  }
  std::int64_t expected = -1;
  if (owning_interpreter.compare_exchange_strong(expected, id) || expected == id) return true;
  PyErr_SetString(PyExc_ImportError, "kavo_python does not support subinterpreters");
  return false;
}

bool add_to_all(PyObject* module, const char* name) {
  PyObject* all = PyObject_GetAttrString(module, "__all__");
  if (!all) {
    if (!PyErr_ExceptionMatches(PyExc_AttributeError)) return false;
    PyErr_Clear();
    all = PyList_New(0);
    if (!all || PyModule_AddObjectRef(module, "__all__", all) < 0) {
      Py_XDECREF(all);
      return false;
    }
  }
  PyObject* text = PyUnicode_FromString(name);
  int appended = text ? PyList_Append(all, text) : -1;
  Py_XDECREF(text);
  Py_DECREF(all);
  return appended == 0;
}

bool add_functions(PyObject* module) {
  PyObject* module_name = PyModule_GetNameObject(module);
  if (!module_name) return false;
  bool ok = true;
  for (PyMethodDef& record : function_table()) {
    PyObject* function = PyCMethod_New(&record, module, module_name, nullptr);
    ok = function && PyModule_AddObjectRef(module, record.ml_name, function) == 0 &&
         add_to_all(module, record.ml_name);
    Py_XDECREF(function);
    if (!ok) break;
  }
  Py_DECREF(module_name);
  return ok;
}

// The threadpoolctl controller registers itself when its module is
// imported (and does nothing without threadpoolctl). Without that module (a
// build not installed through pip) the pool goes unlisted; any other
// failure is reported as unraisable. The module works either way.
void register_thread_controls() {
  PyObject* controls = PyImport_ImportModule("kavo_python_threadpoolctl");
  if (controls) {
    Py_DECREF(controls);
  } else if (PyErr_ExceptionMatches(PyExc_ModuleNotFoundError)) {
    PyErr_Clear();
  } else {
    PyErr_FormatUnraisable("kavo_python: registering the thread pool with threadpoolctl failed");
  }
}

PyObject* create_module() {
  PyObject* module = PyModule_Create2(&module_definition, kModuleApiVersion);
  if (!module) return keep_or_raise_missing_exception();
  if (!add_functions(module) || PyModule_AddStringConstant(module, "__version__", kVersion) < 0) {
    Py_DECREF(module);
    return keep_or_raise_missing_exception();
  }
  return module;
}

}  // namespace
}  // namespace kavo_python

PyMODINIT_FUNC PyInit_kavo_python() {
  using namespace kavo_python;
  if (!claim_interpreter()) return nullptr;
  if (!created_module) {
    if (!apply_forced_tier_setting()) return nullptr;
    created_module = create_module();
    if (!created_module) return nullptr;
    register_thread_controls();
  }
  return Py_NewRef(created_module);
}
