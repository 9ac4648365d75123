// Win32 backend of the system libraries: GetSystemDirectoryA, LoadLibraryA by full path, and the
// process's library search; no logic here.

#include <windows.h>

#include <cstring>

#include "base/system_folder.h"
#include "base/system_library.h"

namespace sw::base {

namespace {

template <typename F>
F KernelFunction(const char* name) {
  HMODULE kernel = GetModuleHandleA("kernel32.dll");
  FARPROC p = kernel != nullptr ? GetProcAddress(kernel, name) : nullptr;
  F f = nullptr;
  static_assert(sizeof f == sizeof p, "function pointers of one size");
  std::memcpy(&f, &p, sizeof f);
  return f;
}

}  // namespace

std::string WindowsSystemFolder() {
  char folder[MAX_PATH] = {};
  const UINT length = GetSystemDirectoryA(folder, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return std::string();
  return std::string(folder, length);
}

void* LoadSystemLibrary(const char* fileName) {
  const std::string path = FileInFolder(WindowsSystemFolder(), fileName != nullptr ? fileName : "");
  return path.empty() ? nullptr : LoadLibraryA(path.c_str());
}

void* SystemLibraryFunction(const char* fileName, const char* functionName) {
  HMODULE library = static_cast<HMODULE>(LoadSystemLibrary(fileName));
  return library != nullptr ? reinterpret_cast<void*>(GetProcAddress(library, functionName)) : nullptr;
}

void RestrictLibrarySearch() {
  // Windows 8, and Windows 7 and Vista with update 2533623: names are then searched for in the
  // system folder only.
  using SetDefaultDllDirectoriesFunction = BOOL(WINAPI*)(DWORD);
  if (auto setDefault = KernelFunction<SetDefaultDllDirectoriesFunction>("SetDefaultDllDirectories")) {
    setDefault(LOAD_LIBRARY_SEARCH_SYSTEM32);
  }
  // Windows XP SP1 on: the empty text takes the current folder out; the program's folder stays
  // where the call above is missing, which is why every library is loaded by its full path.
  using SetDllDirectoryFunction = BOOL(WINAPI*)(LPCSTR);
  if (auto setDirectory = KernelFunction<SetDllDirectoryFunction>("SetDllDirectoryA")) setDirectory("");
}

}  // namespace sw::base
