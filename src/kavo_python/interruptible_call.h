#pragma once
// Ctrl-C during a long call. The interpreter handles signals on its main
// thread only, and only while it runs Python code; a computation holding no
// interpreter lock would otherwise hear of a SIGINT only when it returns.
//
// While an InterruptibleCall lives (on the main thread, around the part of
// a call that runs without the interpreter lock), a SIGINT also requests an
// interrupt (platform/sigint_watch.h): the computation's long loops stop at
// their next step and throw platform::Interrupted, parallel tasks of the
// call included. The interpreter's own handler still runs for the signal
// and records it; without_interpreter_lock then lets the interpreter act on
// it (PyErr_CheckSignals: KeyboardInterrupt by default). Calls from other
// threads, and their tasks, never stop.

#include <optional>

#include "platform/interrupt.h"

namespace kavo_python {

class InterruptibleCall {
 public:
  InterruptibleCall() noexcept;
  InterruptibleCall(const InterruptibleCall&) = delete;
  InterruptibleCall& operator=(const InterruptibleCall&) = delete;

 private:
  std::optional<platform::InterruptibleScope> scope_;
};

}  // namespace kavo_python
