#include "kavo_python/numpy_bridge/slice_container.h"

#include "platform/invariant_failure.h"

namespace kavo_python {
namespace {

struct SliceContainer {
  PyObject_HEAD
  void* data;
  std::size_t length;
  std::size_t capacity;
  ReleaseRoutine release;
};

void release_container(PyObject* self) {
  auto* keeper = reinterpret_cast<SliceContainer*>(self);
  if (keeper->release) keeper->release(keeper->data);
  Py_TYPE(self)->tp_free(self);
}

PyTypeObject* container_type() {
  static PyTypeObject type = [] {
    PyTypeObject t{PyVarObject_HEAD_INIT(nullptr, 0)};
    t.tp_name = "PySliceContainer";
    t.tp_basicsize = sizeof(SliceContainer);
    t.tp_dealloc = release_container;
    t.tp_flags = Py_TPFLAGS_DEFAULT;
    t.tp_doc = "Owner of a result buffer shared with a NumPy array.";
    return t;
  }();
  static bool ready = false;  // guarded by the interpreter lock
  if (!ready) {
    if (PyType_Ready(&type) < 0) return nullptr;
    ready = true;
  }
  return &type;
}

}  // namespace

PyObject* new_slice_container(void* data, std::size_t length, std::size_t capacity, ReleaseRoutine release) {
  PyTypeObject* type = container_type();
  SliceContainer* keeper = type ? PyObject_New(SliceContainer, type) : nullptr;
  if (!keeper) {
    PyErr_Clear();
    if (release) release(data);
    platform::fail_invariant("Failed to create slice container");
  }
  keeper->data = data;
  keeper->length = length;
  keeper->capacity = capacity;
  keeper->release = release;
  return reinterpret_cast<PyObject*>(keeper);
}

}  // namespace kavo_python
