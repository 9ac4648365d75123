#pragma once
// Which Windows we run on. Every version-dependent decision goes through these functions; nothing
// is cached, each caller queries afresh into a record of its own. The raw calls go through the
// version port (version_api.h) and the registry port.

#include <cstdint>
#include <string>

namespace sw::host {

enum class WindowsPlatform : std::int32_t {
  Unknown = 0,      // the zeroed record
  Windows3x = 1,    // a Win32s host
  Windows9x = 2,    // Windows 95, 98, ME
  NT = 3,
  CE = 4,
};

enum class WindowsProductType : std::int32_t {
  Workstation = 0,
  Server = 1,
  DomainController = 2,
};

struct WindowsVersionInfo {
  WindowsPlatform platform = WindowsPlatform::Unknown;
  std::uint32_t majorVersion = 0;
  std::uint32_t minorVersion = 0;
  std::uint32_t buildNumber = 0;  // low 16 bits of the reported build
  WindowsProductType productType = WindowsProductType::Workstation;
};

// Zeroes `info`, then fills it: GetVersionExA with the extended structure, else the plain one
// (product type then from the registry's ProductOptions), else GetVersion. False only when
// KERNEL32 is missing or both GetVersionExA calls fail.
bool QueryWindowsVersion(WindowsVersionInfo& info);

bool IsVistaOrLaterClient(const WindowsVersionInfo& info);   // NT workstation, major >= 6
bool IsWindows2000(const WindowsVersionInfo& info);          // NT 5.0, any product type
bool IsWindowsNT4OrEarlier(const WindowsVersionInfo& info);  // NT, major <= 4

// A 32-bit process on 64-bit Windows. False when KERNEL32 lacks IsWow64Process or the call fails.
bool IsWow64Windows();

constexpr const char* kUnknownWindowsVersion = "unknown Windows version";

// Display name of the running version ("Windows XP", "Vista", ...); callers test it by substring.
// False only when GetVersionExA fails, `name` then being "unknown Windows version". A release the
// table does not know is "unknown Windows version" with true.
bool GetWindowsVersionName(std::string& name);

// The name table itself, over the raw values GetVersionExA reports (platformId 1 = 9x, 2 = NT,
// 3 = CE); the build is masked to its low 16 bits here.
const char* WindowsVersionNameFor(std::uint32_t platformId, std::uint32_t majorVersion,
                                  std::uint32_t minorVersion, std::uint32_t buildNumber);

// The product type named by a ProductOptions "ProductType" text, compared ignoring case; any
// unknown text gives workstation.
WindowsProductType ProductTypeFromProductOptions(const char* text);

}  // namespace sw::host
