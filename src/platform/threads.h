#pragma once
// Native threads with a chosen stack reservation and a name the operating
// system shows (Linux keeps the first 15 bytes of it in /proc/.../comm).
// std::thread offers neither, and the executor needs both.

#include <cstddef>
#include <cstdint>
#include <expected>
#include <functional>
#include <string>

namespace platform {

// Owns one started thread until it is joined or detached. A handle dropped
// while the thread still runs detaches it rather than ending the process:
// a pool released from one of its own threads cannot join itself.
class ThreadHandle {
 public:
  ThreadHandle() = default;
  ThreadHandle(ThreadHandle&& other) noexcept;
  ThreadHandle& operator=(ThreadHandle&& other) noexcept;
  ThreadHandle(const ThreadHandle&) = delete;
  ThreadHandle& operator=(const ThreadHandle&) = delete;
  ~ThreadHandle();

  bool joinable() const noexcept { return joinable_; }
  void join() noexcept;
  void detach() noexcept;

 private:
  friend std::expected<ThreadHandle, int> spawn_thread(std::string name, std::size_t stack_bytes,
                                                       std::move_only_function<void()> body);
  explicit ThreadHandle(std::uintptr_t native) noexcept : native_(native), joinable_(true) {}

  std::uintptr_t native_ = 0;
  bool joinable_ = false;
};

// Starts `body` on a new thread with a stack of `stack_bytes` (rounded up to
// what the system accepts) and the OS-level name `name`. The name is set
// before `body` runs. Refusal returns the operating system's error number and
// destroys `body` on the calling thread.
std::expected<ThreadHandle, int> spawn_thread(std::string name, std::size_t stack_bytes,
                                              std::move_only_function<void()> body);

// The calling thread's OS-level name, as the system stores it.
std::string current_thread_name();

// Whether the calling thread is the one the process started with.
bool on_process_main_thread() noexcept;

}  // namespace platform
