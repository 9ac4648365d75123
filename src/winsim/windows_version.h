#pragma once
// Which Windows the simulated machine is: what GetVersionExA, GetVersion and IsWow64Process
// answer, which of them KERNEL32 has, and the ProductOptions value the registry holds.
//
// SEEKWELL_SIM_WINDOWS grammar (settings.h), case-insensitive:  NAME[:BUILD][+FLAG]...
//   NAME   win32s 95 95sp1 95osr2 98 98sp1 98se me nt351 nt4 nt4server 2000 2000server xp 2003
//          vista 2008server 2008dc win7 2008r2 win8 ce
//   BUILD  replaces the low 16 bits of the reported build number (e.g. 98:2222)
//   FLAG   wow64           the process is a 32-bit process on 64-bit Windows
//          noex            GetVersionExA refuses the extended structure (registry fallback)
//          nogetversionex  KERNEL32 lacks GetVersionExA (GetVersion fallback)
//          nowow64entry    KERNEL32 lacks IsWow64Process
// Example: SEEKWELL_SIM_WINDOWS=2008server+wow64. Default: win7, a 64-bit process.

#include <cstdint>
#include <string>

namespace sw::winsim {

// The fields of OSVERSIONINFOA / OSVERSIONINFOEXA, exactly as reported.
struct ReportedVersion {
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;   // the Windows 9x family keeps the version in its high word
  std::uint32_t platformId = 0;    // 0 Win32s, 1 Windows 9x, 2 NT, 3 CE
  std::uint8_t productType = 0;    // extended structure only: 1 workstation, 2 DC, 3 server
};

struct WindowsVersion {
  bool kernel32Loaded = true;
  bool hasGetVersionEx = true;
  bool extendedSucceeds = true;    // GetVersionExA accepts the 156-byte structure
  bool plainSucceeds = true;       // GetVersionExA accepts the 148-byte structure
  ReportedVersion reported;        // productType only through the extended structure
  std::uint32_t packedVersion = 0; // what GetVersion returns
  bool hasIsWow64Process = true;
  bool isWow64CallSucceeds = true;
  bool wow64 = false;
  // HKLM\System\CurrentControlSet\Control\ProductOptions "ProductType"; empty: none written.
  std::string productOptions;
};

constexpr const char* kDefaultWindows = "win7";
constexpr const char* kProductOptionsKey = "System\\CurrentControlSet\\Control\\ProductOptions";

// Parses the grammar above. False (and `out` untouched) for an unknown name, flag or bad build.
bool ParseWindowsVersion(const std::string& text, WindowsVersion& out);

}  // namespace sw::winsim
