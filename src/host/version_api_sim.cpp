// Simulated backend of the version port: answers as the simulated machine's Windows would
// (winsim/windows_version.h). No logic here.

#include <string>

#include "host/version_api.h"
#include "winsim/machine.h"

namespace sw::host::version_api {

namespace {
winsim::WindowsVersion Current() { return winsim::TheMachine().Version(); }
}  // namespace

bool Kernel32Loaded() { return Current().kernel32Loaded; }

bool HasKernel32Entry(const char* entryName) {
  const winsim::WindowsVersion windows = Current();
  if (!windows.kernel32Loaded || entryName == nullptr) return false;
  const std::string name = entryName;
  if (name == "GetVersionExA") return windows.hasGetVersionEx;
  if (name == "IsWow64Process") return windows.hasIsWow64Process;
  return name == "GetVersion";
}

bool CallGetVersionEx(bool extended, ReportedVersion& out) {
  const winsim::WindowsVersion windows = Current();
  if (!windows.kernel32Loaded || !windows.hasGetVersionEx) return false;
  if (!(extended ? windows.extendedSucceeds : windows.plainSucceeds)) return false;
  const winsim::ReportedVersion& r = windows.reported;
  out.majorVersion = r.majorVersion;
  out.minorVersion = r.minorVersion;
  out.buildNumber = r.buildNumber;
  out.platformId = r.platformId;
  out.productType = extended ? r.productType : 0;
  return true;
}

std::uint32_t CallGetVersion() { return Current().packedVersion; }

bool CallIsWow64Process(bool& wow64) {
  const winsim::WindowsVersion windows = Current();
  if (!windows.kernel32Loaded || !windows.hasIsWow64Process || !windows.isWow64CallSucceeds) return false;
  wow64 = windows.wow64;
  return true;
}

}  // namespace sw::host::version_api
