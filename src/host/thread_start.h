#pragma once
// Starting a short-lived worker thread that nobody joins (the reachability probe, the process
// waiter). thread_start_win32.cpp uses the system's own thread start; thread_start_posix.cpp uses
// std::thread. Returns false when no thread could be started; the work is then not run.

#include <functional>

namespace sw::host {

bool StartDetachedThread(std::function<void()> work);

}  // namespace sw::host
