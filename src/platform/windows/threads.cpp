#include "platform/threads.h"

#include <windows.h>

#include <memory>
#include <utility>

namespace platform {
namespace {

// SetThreadDescription and GetThreadDescription arrived with Windows 10
// 1607 and are missing from older import libraries (and MinGW's headers), so
// they are looked up; without them threads simply carry no name.
using SetDescription = HRESULT(WINAPI*)(HANDLE, PCWSTR);
using GetDescription = HRESULT(WINAPI*)(HANDLE, PWSTR*);

template <typename Function>
Function kernel32_function(const char* name) noexcept {
  HMODULE kernel32 = GetModuleHandleW(L"kernel32.dll");
  if (kernel32 == nullptr) return nullptr;
  return reinterpret_cast<Function>(reinterpret_cast<void*>(GetProcAddress(kernel32, name)));
}

std::wstring to_wide(const std::string& text) {
  if (text.empty()) return {};
  const int length = MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), nullptr, 0);
  if (length <= 0) return {};
  std::wstring wide(static_cast<std::size_t>(length), L'\0');
  MultiByteToWideChar(CP_UTF8, 0, text.data(), static_cast<int>(text.size()), wide.data(), length);
  return wide;
}

std::string to_utf8(const wchar_t* wide) {
  const int length = WideCharToMultiByte(CP_UTF8, 0, wide, -1, nullptr, 0, nullptr, nullptr);
  if (length <= 1) return {};
  std::string text(static_cast<std::size_t>(length), '\0');
  WideCharToMultiByte(CP_UTF8, 0, wide, -1, text.data(), length, nullptr, nullptr);
  text.pop_back();  // the terminator
  return text;
}

struct StartRecord {
  std::string name;
  std::move_only_function<void()> body;
};

DWORD WINAPI thread_entry(void* argument) {
  std::unique_ptr<StartRecord> start(static_cast<StartRecord*>(argument));
  // Any success code will do: some systems return one other than S_OK.
  if (const auto set_description = kernel32_function<SetDescription>("SetThreadDescription")) {
    set_description(GetCurrentThread(), to_wide(start->name).c_str());
  }
  start->body();
  return 0;
}

HANDLE native_handle(std::uintptr_t native) noexcept { return reinterpret_cast<HANDLE>(native); }

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
  WaitForSingleObject(native_handle(native_), INFINITE);
  CloseHandle(native_handle(native_));
  joinable_ = false;
}

void ThreadHandle::detach() noexcept {
  if (!joinable_) return;
  CloseHandle(native_handle(native_));  // the thread runs on without a handle
  joinable_ = false;
}

std::expected<ThreadHandle, int> spawn_thread(std::string name, std::size_t stack_bytes,
                                              std::move_only_function<void()> body) {
  auto start = std::make_unique<StartRecord>(StartRecord{std::move(name), std::move(body)});
  // The size reserves address space for the stack (rounded up to the
  // allocation granularity; 0 is the executable's default); pages are
  // committed as it grows.
  HANDLE thread = CreateThread(nullptr, stack_bytes, &thread_entry, start.get(),
                               STACK_SIZE_PARAM_IS_A_RESERVATION, nullptr);
  if (thread == nullptr) return std::unexpected(static_cast<int>(GetLastError()));
  start.release();  // the new thread owns it now
  return ThreadHandle(reinterpret_cast<std::uintptr_t>(thread));
}

std::string current_thread_name() {
  const auto get_description = kernel32_function<GetDescription>("GetThreadDescription");
  if (get_description == nullptr) return {};
  PWSTR wide = nullptr;
  if (FAILED(get_description(GetCurrentThread(), &wide)) || wide == nullptr) return {};
  std::string name = to_utf8(wide);
  LocalFree(wide);
  return name;
}

namespace {
// The thread that runs the program's static initialisation: the process's
// first thread in an executable (Windows has no fork, so it never changes).
const DWORD g_main_thread_id = GetCurrentThreadId();
}  // namespace

bool on_process_main_thread() noexcept { return GetCurrentThreadId() == g_main_thread_id; }

}  // namespace platform
