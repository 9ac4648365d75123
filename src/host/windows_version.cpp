// Windows version detection over the version and registry ports: which call to trust first, how
// the reported platform and product type map to ours, and the display-name table.

#include "host/windows_version.h"

#include <cstring>

#include "base/ascii_case.h"
#include "host/registry.h"
#include "host/version_api.h"

namespace sw::host {

namespace {

constexpr std::uint32_t kReportedWin32s = 0;
constexpr std::uint32_t kReportedWindows = 1;
constexpr std::uint32_t kReportedNt = 2;
constexpr std::uint32_t kReportedCe = 3;

WindowsPlatform MapPlatform(std::uint32_t platformId) {
  switch (platformId) {
    case kReportedWindows: return WindowsPlatform::Windows9x;
    case kReportedNt: return WindowsPlatform::NT;
    case kReportedCe: return WindowsPlatform::CE;
    default: return WindowsPlatform::Unknown;
  }
}

WindowsProductType MapProductType(std::uint8_t reported) {
  switch (reported) {
    case 2: return WindowsProductType::DomainController;
    case 3: return WindowsProductType::Server;
    default: return WindowsProductType::Workstation;
  }
}


// Before the extended structure, the product type is only in the registry.
WindowsProductType ProductTypeFromRegistry() {
  RegistryKey key;
  if (!key.Open(RegistryRoot::LocalMachine, "System\\CurrentControlSet\\Control\\ProductOptions",
                RegistryAccess::Read)) {
    return WindowsProductType::Workstation;
  }
  char text[80] = "";
  if (!key.ReadString("ProductType", text, sizeof text)) return WindowsProductType::Workstation;
  return ProductTypeFromProductOptions(text);
}

}  // namespace

WindowsProductType ProductTypeFromProductOptions(const char* text) {
  if (text == nullptr) return WindowsProductType::Workstation;
  if (base::EqualIgnoringAsciiCase(text, "LANMANNT") || base::EqualIgnoringAsciiCase(text, "LANSECNT")) {
    return WindowsProductType::DomainController;
  }
  if (base::EqualIgnoringAsciiCase(text, "SERVERNT")) return WindowsProductType::Server;
  return WindowsProductType::Workstation;
}

bool QueryWindowsVersion(WindowsVersionInfo& info) {
  info = WindowsVersionInfo{};
  if (!version_api::Kernel32Loaded()) return false;

  if (!version_api::HasKernel32Entry("GetVersionExA")) {
    // Only the packed GetVersion value is left: major in the low byte, minor in the next.
    std::uint32_t packed = version_api::CallGetVersion();
    info.platform = WindowsPlatform::NT;
    info.majorVersion = packed & 0xFF;
    info.minorVersion = (packed >> 8) & 0xFF;
    info.buildNumber = 0;
    return true;
  }

  version_api::ReportedVersion reported;
  if (version_api::CallGetVersionEx(true, reported)) {
    info.majorVersion = reported.majorVersion;
    info.minorVersion = reported.minorVersion;
    info.buildNumber = reported.buildNumber & 0xFFFF;
    info.platform = MapPlatform(reported.platformId);
    info.productType = MapProductType(reported.productType);
    return true;
  }

  if (!version_api::CallGetVersionEx(false, reported)) return false;
  info.majorVersion = reported.majorVersion;
  info.minorVersion = reported.minorVersion;
  // The 9x family keeps major and minor in the high word; the record holds the build alone.
  info.buildNumber = reported.buildNumber & 0xFFFF;
  info.platform = MapPlatform(reported.platformId);
  if (reported.platformId == kReportedNt) {
    info.productType = ProductTypeFromRegistry();
  } else if (reported.platformId == kReportedWin32s) {
    info.platform = WindowsPlatform::Windows3x;
    info.majorVersion = 3;
    info.minorVersion = 10;
    info.buildNumber = 0;
  }
  return true;
}

bool IsVistaOrLaterClient(const WindowsVersionInfo& info) {
  return info.platform == WindowsPlatform::NT && info.productType == WindowsProductType::Workstation &&
         info.majorVersion >= 6;
}

bool IsWindows2000(const WindowsVersionInfo& info) {
  return info.platform == WindowsPlatform::NT && info.majorVersion == 5 && info.minorVersion == 0;
}

bool IsWindowsNT4OrEarlier(const WindowsVersionInfo& info) {
  return info.platform == WindowsPlatform::NT && info.majorVersion <= 4;
}

bool IsWow64Windows() {
  if (!version_api::Kernel32Loaded() || !version_api::HasKernel32Entry("IsWow64Process")) return false;
  bool wow64 = false;
  if (!version_api::CallIsWow64Process(wow64)) return false;
  return wow64;
}

const char* WindowsVersionNameFor(std::uint32_t platformId, std::uint32_t majorVersion,
                                  std::uint32_t minorVersion, std::uint32_t buildNumber) {
  std::uint32_t build = buildNumber & 0xFFFF;
  if (platformId == kReportedWindows && majorVersion == 4) {
    if (minorVersion < 10) {
      if (build == 950) return "Windows 95";
      if (build > 950 && build <= 1080) return "Windows 95 SP1";
      if (build > 1080) return "Windows 95 OSR2";
    } else if (minorVersion == 10) {
      if (build == 1998) return "Windows 98";
      if (build > 1998 && build < 2183) return "Windows 98 SP1";
      if (build >= 2183) return "Windows 98 SE";
    } else if (minorVersion == 90) {
      return "Windows ME";
    }
  } else if (platformId == kReportedNt) {
    if (majorVersion == 3 && minorVersion == 51) return "Windows NT 3.51";
    if (majorVersion == 4 && minorVersion == 0) return "Windows NT 4";
    if (majorVersion == 5 && minorVersion == 0) return "Windows 2000";
    if (majorVersion == 5 && minorVersion == 1) return "Windows XP";
    if (majorVersion == 6) return "Vista";
  } else if (platformId == kReportedCe) {
    return "Windows CE";
  }
  return kUnknownWindowsVersion;
}

bool GetWindowsVersionName(std::string& name) {
  name = kUnknownWindowsVersion;
  version_api::ReportedVersion reported;
  if (!version_api::CallGetVersionEx(false, reported)) return false;
  name = WindowsVersionNameFor(reported.platformId, reported.majorVersion, reported.minorVersion,
                               reported.buildNumber);
  return true;
}

}  // namespace sw::host
