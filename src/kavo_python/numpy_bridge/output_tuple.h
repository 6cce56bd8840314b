#pragma once
// A tuple of results. Each item is a new reference or null when building it
// failed (with a Python exception set); callers build the items in order and
// stop at the first failure, so the results not handed over yet are freed
// by their owners. Needs the interpreter lock.

#include "kavo_python/python_errors.h"
#include "kavo_python/python_headers.h"

namespace kavo_python {

template <class... Items>
PyObject* output_tuple(Items*... items) {
  PyObject* objects[] = {items...};
  bool complete = true;
  for (PyObject* object : objects) complete = complete && object != nullptr;
  PyObject* tuple = complete ? PyTuple_New(sizeof...(Items)) : nullptr;
  if (!tuple) {
    for (PyObject* object : objects) Py_XDECREF(object);
    return complete ? keep_or_raise_missing_exception() : nullptr;
  }
  for (Py_ssize_t i = 0; i < static_cast<Py_ssize_t>(sizeof...(Items)); ++i) PyTuple_SET_ITEM(tuple, i, objects[i]);
  return tuple;
}

}  // namespace kavo_python
