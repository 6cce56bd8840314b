#include "kavo_python/numpy_bridge/array_text.h"

namespace kavo_python {

std::string dtype_text(PyArray_Descr* descr) {
  std::string out = "an unnamed dtype";
  if (PyObject* text = PyObject_Str(reinterpret_cast<PyObject*>(descr))) {
    if (const char* utf8 = PyUnicode_AsUTF8(text)) out = utf8;
    Py_DECREF(text);
  }
  PyErr_Clear();
  return out;
}

std::string type_name_text(PyObject* object) {
  std::string out = "an object of unknown type";
  if (PyObject* name = PyType_GetQualName(Py_TYPE(object))) {
    if (const char* utf8 = PyUnicode_AsUTF8(name)) out = utf8;
    Py_DECREF(name);
  }
  PyErr_Clear();
  return out;
}

std::string tuple_text(const npy_intp* values, int count) {
  std::string out = "(";
  for (int i = 0; i < count; ++i) {
    if (i > 0) out += ", ";
    out += std::to_string(values[i]);
  }
  return out + (count == 1 ? ",)" : ")");
}

std::string shape_text(PyArrayObject* array) { return tuple_text(PyArray_DIMS(array), PyArray_NDIM(array)); }

}  // namespace kavo_python
