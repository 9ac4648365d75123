// Win32 backend of the thread start: CreateThread, handle closed at once. A detached std::thread of
// the mingw runtime sometimes never ran its body under load under Wine; the system's own start
// does not go through that runtime.

#include <windows.h>

#include <memory>

#include "host/thread_start.h"

namespace sw::host {

namespace {
DWORD WINAPI RunWork(LPVOID parameter) {
  std::unique_ptr<std::function<void()>> work(static_cast<std::function<void()>*>(parameter));
  (*work)();
  return 0;
}
}  // namespace

bool StartDetachedThread(std::function<void()> work) {
  auto* owned = new std::function<void()>(std::move(work));
  HANDLE thread = ::CreateThread(nullptr, 0, RunWork, owned, 0, nullptr);
  if (!thread) {
    delete owned;
    return false;
  }
  ::CloseHandle(thread);
  return true;
}

}  // namespace sw::host
