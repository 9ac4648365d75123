// Win32 backend of the version port: GetVersionExA, GetVersion and IsWow64Process as Windows
// answers them; no logic here.

#include "host/version_api.h"

#include <windows.h>

namespace sw::host::version_api {

namespace {

static_assert(sizeof(OSVERSIONINFOEXA) == 156, "extended version structure size");
static_assert(sizeof(OSVERSIONINFOA) == 148, "plain version structure size");

using GetVersionExAFn = BOOL(WINAPI*)(LPOSVERSIONINFOA);
using IsWow64ProcessFn = BOOL(WINAPI*)(HANDLE, PBOOL);

FARPROC LookUp(const char* entryName) {
  HMODULE kernel = GetModuleHandleA("KERNEL32.DLL");
  if (kernel == nullptr) return nullptr;
  return GetProcAddress(kernel, entryName);
}

// FARPROC has no parameters; going through void(*)() keeps -Wcast-function-type quiet.
template <typename Fn>
Fn LookUpAs(const char* entryName) {
  return reinterpret_cast<Fn>(reinterpret_cast<void (*)()>(LookUp(entryName)));
}

}  // namespace

bool Kernel32Loaded() { return GetModuleHandleA("KERNEL32.DLL") != nullptr; }

bool HasKernel32Entry(const char* entryName) { return LookUp(entryName) != nullptr; }

bool CallGetVersionEx(bool extended, ReportedVersion& out) {
  auto getVersionEx = LookUpAs<GetVersionExAFn>("GetVersionExA");
  if (getVersionEx == nullptr) return false;
  OSVERSIONINFOEXA info;
  ZeroMemory(&info, sizeof info);
  info.dwOSVersionInfoSize = extended ? sizeof(OSVERSIONINFOEXA) : sizeof(OSVERSIONINFOA);
  if (!getVersionEx(reinterpret_cast<LPOSVERSIONINFOA>(&info))) return false;
  out.majorVersion = info.dwMajorVersion;
  out.minorVersion = info.dwMinorVersion;
  out.buildNumber = info.dwBuildNumber;
  out.platformId = info.dwPlatformId;
  out.productType = extended ? info.wProductType : 0;
  return true;
}

std::uint32_t CallGetVersion() { return static_cast<std::uint32_t>(GetVersion()); }

bool CallIsWow64Process(bool& wow64) {
  auto isWow64Process = LookUpAs<IsWow64ProcessFn>("IsWow64Process");
  if (isWow64Process == nullptr) return false;
  BOOL flag = FALSE;
  if (!isWow64Process(GetCurrentProcess(), &flag)) return false;
  wow64 = flag != FALSE;
  return true;
}

}  // namespace sw::host::version_api
