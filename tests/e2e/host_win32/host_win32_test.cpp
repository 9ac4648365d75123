// The real Win32 backends of the registry and version ports, run under Wine: the same contract
// the simulated registry honours, and version detection against what Wine claims to be. The E2E
// runner starts this binary once per Windows version it makes Wine report (AppDefaults), naming
// that version in SW_EXPECT_WINDOWS.

#include <windows.h>

#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "host/registry.h"
#include "host/version_api.h"
#include "host/windows_version.h"
#include "registry_contract.h"

namespace sw::host {

// A key of this run and test only, so repeated runs in one prefix do not see each other.
std::string contract::RegistryContractKey() {
  static int counter = 0;
  return "Software\\SeekwellE2E\\run-" + std::to_string(GetCurrentProcessId()) + "-" +
         std::to_string(GetTickCount()) + "-" + std::to_string(++counter);
}

namespace {

TEST(RegistryWin32, ProductOptionsAreReadable) {
  RegistryKey key;
  ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, "System\\CurrentControlSet\\Control\\ProductOptions",
                       RegistryAccess::Read));
  char text[80];
  EXPECT_TRUE(key.ReadString("ProductType", text, sizeof text));
}

struct Expectation {
  const char* wineVersion;
  const char* name;
  bool vistaClient;
  WindowsProductType productType;
};

const Expectation kExpectations[] = {
    {"win2008", "Vista", false, WindowsProductType::Server},
    {"vista", "Vista", true, WindowsProductType::Workstation},
    {"winxp64", kUnknownWindowsVersion, false, WindowsProductType::Workstation},
    {"win2003", kUnknownWindowsVersion, false, WindowsProductType::Server},
};

TEST(VersionWin32, MatchesWhatWineReports) {
  WindowsVersionInfo info;
  ASSERT_TRUE(QueryWindowsVersion(info));
  EXPECT_EQ(WindowsPlatform::NT, info.platform);
  EXPECT_GE(info.majorVersion, 5u);
  EXPECT_LE(info.buildNumber, 0xFFFFu);
  std::string name;
  ASSERT_TRUE(GetWindowsVersionName(name));
  // A 64-bit process is never a WOW64 process.
  EXPECT_FALSE(IsWow64Windows());

  const char* expected = std::getenv("SW_EXPECT_WINDOWS");
  if (expected == nullptr || *expected == '\0') return;
  const Expectation* e = nullptr;
  for (const auto& candidate : kExpectations) {
    if (std::strcmp(candidate.wineVersion, expected) == 0) e = &candidate;
  }
  ASSERT_NE(nullptr, e) << "no expectation for " << expected;
  version_api::ReportedVersion raw;
  ASSERT_TRUE(version_api::CallGetVersionEx(true, raw));
  SCOPED_TRACE(std::string(expected) + ": Wine reports " + std::to_string(raw.majorVersion) + "." +
               std::to_string(raw.minorVersion) + "." + std::to_string(raw.buildNumber) + " product type " +
               std::to_string(raw.productType));
  EXPECT_EQ(e->name, name);
  EXPECT_EQ(e->vistaClient, IsVistaOrLaterClient(info));
  EXPECT_EQ(e->productType, info.productType);
  EXPECT_FALSE(IsWindows2000(info));
  EXPECT_FALSE(IsWindowsNT4OrEarlier(info));
}

}  // namespace
}  // namespace sw::host
