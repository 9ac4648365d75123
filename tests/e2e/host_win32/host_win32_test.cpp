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

namespace sw::host {
namespace {

// A key of this run only, so repeated runs in one prefix do not see each other.
std::string ScratchKey() {
  return "Software\\SeekwellE2E\\run-" + std::to_string(GetCurrentProcessId()) + "-" + std::to_string(GetTickCount());
}

TEST(RegistryWin32, RoundTripBoundsAndEnumeration) {
  const std::string base = ScratchKey();
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, base + "\\Policies\\System"));
  EXPECT_TRUE(key.WriteDword("EnableLinkedConnections", 1));
  EXPECT_TRUE(key.WriteString("", "FIREFOX.EXE"));
  for (const char* name : {"Zeta", "alpha", "Beta"}) {
    RegistryKey child;
    ASSERT_TRUE(child.Create(RegistryRoot::CurrentUser, base + "\\Enum\\" + name));
  }

  RegistryKey reader;
  ASSERT_TRUE(reader.Open(RegistryRoot::CurrentUser, base + "\\POLICIES\\system", RegistryAccess::Read));
  std::uint32_t value = 0;
  EXPECT_TRUE(reader.ReadDword("enablelinkedconnections", value));
  EXPECT_EQ(1u, value);
  char exact[12];
  EXPECT_TRUE(reader.ReadString("", exact, sizeof exact));
  EXPECT_STREQ("FIREFOX.EXE", exact);
  char small[11];
  std::memset(small, 'Q', sizeof small);
  EXPECT_FALSE(reader.ReadString("", small, sizeof small));
  EXPECT_EQ('Q', small[0]);
  char text[8] = "keep";
  EXPECT_FALSE(reader.ReadString("EnableLinkedConnections", text, sizeof text));
  EXPECT_STREQ("keep", text);
  unsigned char raw[256];
  std::size_t length = 0;
  std::uint32_t type = 0;
  EXPECT_TRUE(reader.ReadValue("EnableLinkedConnections", raw, sizeof raw, length, &type));
  EXPECT_EQ(kRegDword, type);
  EXPECT_EQ(4u, length);
  EXPECT_EQ(1, raw[0]);
  EXPECT_FALSE(reader.WriteDword("EnableLinkedConnections", 2));

  ASSERT_TRUE(reader.Open(RegistryRoot::CurrentUser, base + "\\Enum", RegistryAccess::Read));
  std::vector<std::string> names;
  char name[256];
  for (std::uint32_t i = 0; reader.EnumSubKey(i, name, sizeof name); ++i) names.push_back(name);
  EXPECT_EQ((std::vector<std::string>{"alpha", "Beta", "Zeta"}), names);
  char shortName[4] = "abc";
  EXPECT_FALSE(reader.EnumSubKey(1, shortName, sizeof shortName));  // "Beta" needs 5 bytes
  EXPECT_STREQ("abc", shortName);

  EXPECT_FALSE(reader.Open(RegistryRoot::CurrentUser, base + "\\Missing", RegistryAccess::Read));
  EXPECT_FALSE(reader.IsOpen());
}

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
