#include "platform/threads.h"

#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <limits.h>
#include <memory>
#include <utility>

namespace platform {
namespace {

// Linux keeps 15 name bytes plus the terminator; longer names are refused
// with ERANGE, so they are cut here.
constexpr std::size_t kNameBytes = 15;

struct StartRecord {
  std::string name;
  std::move_only_function<void()> body;
};

void* thread_entry(void* argument) {
  std::unique_ptr<StartRecord> start(static_cast<StartRecord*>(argument));
  std::string name = start->name.substr(0, kNameBytes);
  pthread_setname_np(pthread_self(), name.c_str());
  start->body();
  return nullptr;
}

}  // namespace

ThreadHandle::ThreadHandle(ThreadHandle&& other) noexcept
    : native_(std::exchange(other.native_, 0)), joinable_(std::exchange(other.joinable_, false)) {}

ThreadHandle& ThreadHandle::operator=(ThreadHandle&& other) noexcept {
  if (this != &other) {
    detach();
    native_ = std::exchange(other.native_, 0);
    joinable_ = std::exchange(other.joinable_, false);
  }
  return *this;
}

ThreadHandle::~ThreadHandle() { detach(); }

void ThreadHandle::join() noexcept {
  if (!joinable_) return;
  pthread_join(static_cast<pthread_t>(native_), nullptr);
  joinable_ = false;
}

void ThreadHandle::detach() noexcept {
  if (!joinable_) return;
  pthread_detach(static_cast<pthread_t>(native_));
  joinable_ = false;
}

std::expected<ThreadHandle, int> spawn_thread(std::string name, std::size_t stack_bytes,
                                              std::move_only_function<void()> body) {
  auto start = std::make_unique<StartRecord>(StartRecord{std::move(name), std::move(body)});
  pthread_attr_t attributes;
  if (int error = pthread_attr_init(&attributes); error != 0) return std::unexpected(error);
  const std::size_t minimum = static_cast<std::size_t>(PTHREAD_STACK_MIN);
  const std::size_t stack = stack_bytes < minimum ? minimum : stack_bytes;
  int error = pthread_attr_setstacksize(&attributes, stack);
  pthread_t thread{};
  if (error == 0) error = pthread_create(&thread, &attributes, &thread_entry, start.get());
  pthread_attr_destroy(&attributes);
  if (error != 0) return std::unexpected(error);
  start.release();  // the new thread owns it now
  static_assert(sizeof(pthread_t) <= sizeof(std::uintptr_t));
  return ThreadHandle(static_cast<std::uintptr_t>(thread));
}

namespace {

// Bumped in every child of fork(): there the forking thread becomes the
// main thread, so what each thread knew about itself is out of date.
std::atomic<unsigned> g_fork_generation{1};
void count_fork_in_child() { g_fork_generation.fetch_add(1, std::memory_order_relaxed); }
[[maybe_unused]] const bool g_forks_counted = pthread_atfork(nullptr, nullptr, &count_fork_in_child) == 0;

}  // namespace

bool on_process_main_thread() noexcept {
  // Two system calls decide, once per thread and process; later calls read
  // the thread's answer.
  thread_local unsigned known_for_generation = 0;
  thread_local bool known_main = false;
  const unsigned generation = g_fork_generation.load(std::memory_order_relaxed);
  if (known_for_generation != generation) {
    known_main = gettid() == getpid();
    known_for_generation = generation;
  }
  return known_main;
}

std::string current_thread_name() {
  char buffer[kNameBytes + 1] = {};
  if (pthread_getname_np(pthread_self(), buffer, sizeof buffer) != 0) return {};
  return buffer;
}

}  // namespace platform
