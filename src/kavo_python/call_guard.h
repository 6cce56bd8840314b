#pragma once
// The call path every function shares: parse, convert with the lock held,
// compute with the interpreter lock released, build results with it held.
// An internal invariant failure anywhere becomes PanicException; memory the
// system refuses for a caller-sized request becomes MemoryError.

#include <new>
#include <utility>

#include "kavo_python/argument_parser.h"
#include "kavo_python/panic_exception.h"
#include "kavo_python/python_headers.h"

namespace kavo_python {

// Runs `compute` without the interpreter lock. The lock is taken back before
// returning, also when `compute` throws. `compute` must not touch Python
// objects.
template <class Compute>
decltype(auto) without_interpreter_lock(Compute&& compute) {
  struct Reacquire {
    PyThreadState* state;
    ~Reacquire() { PyEval_RestoreThread(state); }
  } reacquire{PyEval_SaveThread()};
  return std::forward<Compute>(compute)();
}

// Parses the arguments against `signature` and runs `body(slots)`, turning
// internal invariant failures into PanicException.
template <class Body>
PyObject* call_function(const Signature& signature, PyObject* const* args, Py_ssize_t nargs,
                        PyObject* kwnames, Body&& body) noexcept {
  try {
    ArgumentSlots slots;
    if (!parse_arguments(signature, args, nargs, kwnames, slots)) return nullptr;
    return std::forward<Body>(body)(slots);
  } catch (const std::bad_alloc&) {
    PyErr_NoMemory();
  } catch (const platform::InvariantFailure& failure) {
    raise_panic(failure);
  } catch (...) {
    raise_panic_without_message();
  }
  return nullptr;
}

}  // namespace kavo_python
