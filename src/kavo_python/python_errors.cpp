#include "kavo_python/python_errors.h"

namespace kavo_python {
namespace {

// numpy.linalg.LinAlgError, kept for the life of the process once found.
// Guarded by the interpreter lock, not a static-initialization guard: the
// import may release the lock, and a thread waiting on such a guard while
// holding the lock would deadlock. Two threads may both look it up; the
// second drops its reference. Null when NumPy cannot provide it, in which
// case ValueError stands in.
PyObject* cached_linalg_error = nullptr;

PyObject* linalg_error_type() {
  if (cached_linalg_error) return cached_linalg_error;
  PyObject* module = PyImport_ImportModule("numpy.linalg");
  PyObject* found = module ? PyObject_GetAttrString(module, "LinAlgError") : nullptr;
  Py_XDECREF(module);
  if (!found || !PyType_Check(found) || PyObject_IsSubclass(found, PyExc_ValueError) != 1) {
    Py_XDECREF(found);
    PyErr_Clear();
    return nullptr;
  }
  if (cached_linalg_error) {
    Py_DECREF(found);
  } else {
    cached_linalg_error = found;
  }
  return cached_linalg_error;
}

}  // namespace

bool is_numerical_failure(const kavo::ArrayError& error) {
  return kavo::is_numerical_failure(error.failure_kind());
}

PyObject* raise_array_error(const kavo::ArrayError& error) {
  const std::string message = error.display();
  PyObject* type = is_numerical_failure(error) ? linalg_error_type() : nullptr;
  PyErr_SetString(type ? type : PyExc_ValueError, message.c_str());
  return nullptr;
}

PyObject* raise_value_error(const std::string& message) {
  PyErr_SetString(PyExc_ValueError, message.c_str());
  return nullptr;
}

PyObject* raise_type_error(const std::string& message) {
  PyErr_SetString(PyExc_TypeError, message.c_str());
  return nullptr;
}

void add_note_to_raised(const std::string& note) {
  PyObject* raised = PyErr_GetRaisedException();
  if (!raised) return;
  PyObject* text = PyUnicode_FromStringAndSize(note.data(), static_cast<Py_ssize_t>(note.size()));
  PyObject* added = text ? PyObject_CallMethod(raised, "add_note", "O", text) : nullptr;
  Py_XDECREF(text);
  Py_XDECREF(added);
  PyErr_Clear();  // a note that cannot be attached is dropped, the error stays
  PyErr_SetRaisedException(raised);
}

PyObject* keep_or_raise_missing_exception() {
  if (!PyErr_Occurred()) {
    PyErr_SetString(PyExc_SystemError, "attempted to fetch exception but none was set");
  }
  return nullptr;
}

}  // namespace kavo_python
