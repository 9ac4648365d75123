// Win32 backend of the module-file port: GetModuleFileNameA and FindFirstFileA; no logic here.

#include <windows.h>

#include "host/module_file.h"

namespace sw::host {

std::string ModuleFileName() {
  char path[kModulePathSize] = {};
  const DWORD length = GetModuleFileNameA(nullptr, path, kModulePathSize);
  // A path that was cut to the buffer names another folder: none rather than a wrong one.
  if (length == 0 || length >= kModulePathSize) return std::string();
  return std::string(path, length);
}

bool FileExists(const std::string& path) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
  WIN32_FIND_DATAA found;
  HANDLE search = FindFirstFileA(path.c_str(), &found);
  if (search == INVALID_HANDLE_VALUE) return false;
  FindClose(search);
  return (found.dwFileAttributes & FILE_ATTRIBUTE_DIRECTORY) == 0;
}

}  // namespace sw::host
