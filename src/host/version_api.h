#pragma once
// Port to the Windows version functions. Each call forwards one raw Windows call and reports what
// Windows reported; mapping and fallbacks live in windows_version.cpp. Backends:
// version_api_win32.cpp (the real calls) and version_api_sim.cpp (a configurable simulated Windows,
// controlled through version_api_sim.h).

#include <cstdint>

namespace sw::host::version_api {

// The fields of OSVERSIONINFOA / OSVERSIONINFOEXA we use, exactly as reported.
struct ReportedVersion {
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;   // whole dwBuildNumber; the Windows 9x family keeps the version in its high word
  std::uint32_t platformId = 0;    // 0 Win32s, 1 Windows 9x, 2 NT, 3 CE
  std::uint8_t productType = 0;    // wProductType, extended structure only: 1 workstation, 2 DC, 3 server
};

// GetModuleHandleA("KERNEL32.DLL") found the module.
bool Kernel32Loaded();

// GetProcAddress on KERNEL32.DLL found `entryName` (false when the module itself is missing).
bool HasKernel32Entry(const char* entryName);

// GetVersionExA, looked up at run time, with the extended (size field 156) or the plain (148)
// structure. `out` is untouched on failure, including when the entry point is missing.
bool CallGetVersionEx(bool extended, ReportedVersion& out);

// GetVersion's packed value: major in the low byte, minor in the next, build in the high word.
std::uint32_t CallGetVersion();

// IsWow64Process, looked up at run time, for the current process. False when the entry point is
// missing or the call fails; `wow64` is untouched then.
bool CallIsWow64Process(bool& wow64);

}  // namespace sw::host::version_api
