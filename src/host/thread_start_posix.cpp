// POSIX backend of the thread start: a detached std::thread; no logic here.

#include <system_error>
#include <thread>

#include "host/thread_start.h"

namespace sw::host {

bool StartDetachedThread(std::function<void()> work) {
  try {
    std::thread(std::move(work)).detach();
    return true;
  } catch (const std::system_error&) {
    return false;
  }
}

}  // namespace sw::host
