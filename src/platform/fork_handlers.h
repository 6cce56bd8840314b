#pragma once
// Hooks around fork() (pthread_atfork on Linux; Windows has no fork, so
// there the registration does nothing). Only the forking thread exists in
// the child, so state that other threads held or owned must be made safe
// there: locks taken in `prepare` and released in `parent`/`child`, pools
// whose threads are gone forgotten in `child`.

namespace platform {

using ForkHandler = void (*)();

// `prepare` runs in the forking thread just before fork(); `parent` and
// `child` run just after it in the respective process. Any may be null.
// Handlers registered later prepare first and resume last, so a subsystem
// registered after one it depends on brackets it. Returns false when the
// system refused the registration.
bool register_fork_handlers(ForkHandler prepare, ForkHandler parent, ForkHandler child) noexcept;

}  // namespace platform
