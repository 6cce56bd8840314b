#pragma once
// The call path every function shares: parse, convert with the lock held,
// compute with the interpreter lock released, build results with it held.
// An internal invariant failure anywhere becomes PanicException; memory the
// system refuses for a caller-sized request (or for the worker pool)
// becomes MemoryError; Ctrl-C during the computation becomes what the
// interpreter's SIGINT handler raises (KeyboardInterrupt by default).

#include <new>
#include <utility>

#include "kavo_python/argument_parser.h"
#include "kavo_python/interruptible_call.h"
#include "kavo_python/panic_exception.h"
#include "kavo_python/python_headers.h"
#include "platform/interrupt.h"

namespace kavo_python {

// Leaves a call whose Python exception is already set: call_function
// returns null for it.
struct PythonErrorRaised {};

// Runs `compute` without the interpreter lock. The lock is taken back before
// returning, also when `compute` throws. `compute` must not touch Python
// objects, and must give the same result when run again: a computation
// stopped by Ctrl-C whose SIGINT handler does not raise runs again from the
// start (there is no other way to continue it). When the handler raises,
// PythonErrorRaised leaves the call with that exception.
template <class Compute>
decltype(auto) without_interpreter_lock(Compute&& compute) {
  for (;;) {
    // A SIGINT that came just before this call: the interpreter acts on it
    // now rather than after the whole computation. (A request left over
    // from a signal it has already handled finds nothing to do.)
    if (platform::interrupt_requested() && PyErr_CheckSignals() != 0) throw PythonErrorRaised{};
    try {
      struct Reacquire {
        PyThreadState* state;
        ~Reacquire() { PyEval_RestoreThread(state); }
      } reacquire{PyEval_SaveThread()};
      const InterruptibleCall interruptible;
      return compute();
    } catch (const platform::Interrupted&) {
      // The lock is held again here; let the interpreter run its handler.
    }
    if (PyErr_CheckSignals() != 0) throw PythonErrorRaised{};
  }
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
  } catch (const PythonErrorRaised&) {
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
