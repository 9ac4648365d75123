// Win32 backend of the process port: CreateProcessA of a program given by its full path, with an
// inheritable anonymous pipe, and a waiter thread per watched process; no logic here.

#include <windows.h>

#include <atomic>
#include <thread>
#include <vector>

#include "host/thread_start.h"
#include "iscsi/process_runner.h"

namespace sw::iscsi {

namespace {

constexpr DWORD kChunkBytes = 100;

// Reads what is in the pipe now, in chunks of at most 100 bytes; false once the pipe is broken
// (every writer closed and nothing left).
bool DrainAvailable(HANDLE readEnd, std::string& output) {
  while (true) {
    DWORD available = 0;
    if (!PeekNamedPipe(readEnd, nullptr, 0, nullptr, &available, nullptr)) return false;
    if (available == 0) return true;
    char chunk[kChunkBytes];
    DWORD read = 0;
    if (!ReadFile(readEnd, chunk, available < kChunkBytes ? available : kChunkBytes, &read, nullptr) || read == 0) {
      return false;
    }
    output.append(chunk, read);
  }
}

}  // namespace

bool RunHiddenProcess(const std::string& programPath, const std::string& commandLine, std::string& output) {
  if (programPath.empty()) return false;
  SECURITY_ATTRIBUTES security{};
  security.nLength = sizeof security;
  security.bInheritHandle = TRUE;
  security.lpSecurityDescriptor = nullptr;
  HANDLE readEnd = nullptr;
  HANDLE writeEnd = nullptr;
  if (!CreatePipe(&readEnd, &writeEnd, &security, 0)) return false;
  // Only the child's end is inherited; our read end stays private so the pipe breaks when the
  // child (and anything it started) is done.
  SetHandleInformation(readEnd, HANDLE_FLAG_INHERIT, 0);

  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESTDHANDLES;
  startup.hStdInput = nullptr;
  startup.hStdOutput = writeEnd;
  startup.hStdError = writeEnd;
  PROCESS_INFORMATION process{};
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  if (!CreateProcessA(programPath.c_str(), mutableLine.data(), nullptr, nullptr, TRUE,
                      CREATE_NO_WINDOW | NORMAL_PRIORITY_CLASS, nullptr, nullptr, &startup, &process)) {
    CloseHandle(readEnd);
    CloseHandle(writeEnd);
    return false;
  }

  // Drained while the child runs: a child writing more than the pipe's buffer would otherwise
  // block on its write while we block on the wait.
  std::string printed;
  std::atomic<bool> ended{false};
  std::thread reader([&] {
    while (DrainAvailable(readEnd, printed)) {
      if (ended.load()) {
        DrainAvailable(readEnd, printed);
        return;
      }
      Sleep(5);
    }
  });
  WaitForSingleObject(process.hProcess, INFINITE);
  ended.store(true);
  reader.join();

  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  CloseHandle(writeEnd);
  CloseHandle(readEnd);
  output += printed;
  return true;
}

bool StartWatchedProcess(const std::string& programPath, const std::string& commandLine,
                         std::function<void(ProcessHandle)> onEnded) {
  if (programPath.empty()) return false;
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  startup.dwFlags = STARTF_USESHOWWINDOW;
  startup.wShowWindow = SW_HIDE;
  PROCESS_INFORMATION process{};
  std::vector<char> mutableLine(commandLine.begin(), commandLine.end());
  mutableLine.push_back('\0');
  if (!CreateProcessA(programPath.c_str(), mutableLine.data(), nullptr, nullptr, FALSE, CREATE_NEW_CONSOLE, nullptr,
                      nullptr, &startup, &process)) {
    return false;
  }
  CloseHandle(process.hThread);
  if (process.hProcess == nullptr) return false;
  HANDLE handle = process.hProcess;
  // The waiter touches nothing but the handle and the callback, which only posts a message.
  bool started = host::StartDetachedThread([handle, onEnded = std::move(onEnded)] {
    WaitForSingleObject(handle, INFINITE);
    onEnded(handle);
  });
  if (!started) CloseHandle(handle);
  return started;
}

void CloseProcessHandle(ProcessHandle handle) {
  if (handle != nullptr) CloseHandle(static_cast<HANDLE>(handle));
}

}  // namespace sw::iscsi
