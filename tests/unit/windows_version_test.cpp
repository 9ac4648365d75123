// Version detection over the simulated version port and registry: the name table and its build
// boundaries, the predicates the features branch on, and each fallback of the query.

#include <cstdlib>
#include <string>

#include <gtest/gtest.h>

#include "host/registry.h"
#include "simulated_machine.h"
#include "host/windows_version.h"

namespace sw::host {
namespace {

using winsim::WindowsVersion;

const char* kProductOptionsKey = "System\\CurrentControlSet\\Control\\ProductOptions";

class WindowsVersionTest : public test::MachineTest {
 protected:
  static WindowsVersion Windows(const std::string& text) {
    winsim::WindowsVersion windows;
    EXPECT_TRUE(winsim::ParseWindowsVersion(text, windows)) << text;
    return windows;
  }

  static void Run(const std::string& text) { winsim::TheMachine().SetVersion(Windows(text)); }

  static std::string Name() {
    std::string name;
    EXPECT_TRUE(GetWindowsVersionName(name));
    return name;
  }

  static WindowsVersionInfo Query() {
    WindowsVersionInfo info;
    EXPECT_TRUE(QueryWindowsVersion(info));
    return info;
  }
};

// --- The display-name table, including the build boundaries callers cannot see.

struct NameRow {
  std::uint32_t platform, major, minor, build;
  const char* name;
};

TEST(WindowsVersionName, TableRowsAndBuildBoundaries) {
  const NameRow rows[] = {
      {1, 4, 0, 949, kUnknownWindowsVersion},
      {1, 4, 0, 950, "Windows 95"},
      {1, 4, 0, 951, "Windows 95 SP1"},
      {1, 4, 0, 1080, "Windows 95 SP1"},
      {1, 4, 0, 1081, "Windows 95 OSR2"},
      {1, 4, 3, 1212, "Windows 95 OSR2"},
      {1, 4, 10, 1997, kUnknownWindowsVersion},
      {1, 4, 10, 1998, "Windows 98"},
      {1, 4, 10, 1999, "Windows 98 SP1"},
      {1, 4, 10, 2000, "Windows 98 SP1"},
      {1, 4, 10, 2182, "Windows 98 SP1"},
      {1, 4, 10, 2183, "Windows 98 SE"},
      {1, 4, 10, 2222, "Windows 98 SE"},
      {1, 4, 90, 0, "Windows ME"},
      {1, 4, 50, 3000, kUnknownWindowsVersion},
      {1, 5, 0, 950, kUnknownWindowsVersion},
      {2, 3, 51, 1057, "Windows NT 3.51"},
      {2, 3, 50, 807, kUnknownWindowsVersion},
      {2, 4, 0, 1381, "Windows NT 4"},
      {2, 5, 0, 2195, "Windows 2000"},
      {2, 5, 1, 2600, "Windows XP"},
      {2, 5, 2, 3790, kUnknownWindowsVersion},
      {2, 6, 0, 6001, "Vista"},
      {2, 6, 1, 7601, "Vista"},
      {2, 6, 3, 9600, "Vista"},
      {2, 7, 0, 1, kUnknownWindowsVersion},
      {2, 10, 0, 19045, kUnknownWindowsVersion},
      {3, 5, 0, 1400, "Windows CE"},
      {0, 3, 10, 0, kUnknownWindowsVersion},
  };
  for (const auto& row : rows) {
    EXPECT_STREQ(row.name, WindowsVersionNameFor(row.platform, row.major, row.minor, row.build))
        << row.platform << " " << row.major << "." << row.minor << "." << row.build;
  }
}

TEST(WindowsVersionName, NinetyEightFamilyBuildIsMaskedToLow16Bits) {
  // Windows 98 reports major and minor in the build's high word: 4.10.2222 as 0x040A08AE.
  EXPECT_STREQ("Windows 98 SE", WindowsVersionNameFor(1, 4, 10, 0x040A08AE));
  EXPECT_STREQ("Windows 98", WindowsVersionNameFor(1, 4, 10, 0x040A07CE));
}

// --- Whole queries against simulated releases.

TEST_F(WindowsVersionTest, WindowsXp) {
  Run("xp");
  EXPECT_EQ("Windows XP", Name());
  WindowsVersionInfo info = Query();
  EXPECT_EQ(WindowsPlatform::NT, info.platform);
  EXPECT_EQ(5u, info.majorVersion);
  EXPECT_EQ(1u, info.minorVersion);
  EXPECT_EQ(2600u, info.buildNumber);
  EXPECT_EQ(WindowsProductType::Workstation, info.productType);
  EXPECT_FALSE(IsWindows2000(info));
  EXPECT_FALSE(IsWindowsNT4OrEarlier(info));
  EXPECT_FALSE(IsVistaOrLaterClient(info));
}

TEST_F(WindowsVersionTest, Server2008IsNamedVistaButIsNoVistaClient) {
  Run("2008server");
  EXPECT_EQ("Vista", Name());
  WindowsVersionInfo info = Query();
  EXPECT_EQ(WindowsProductType::Server, info.productType);
  EXPECT_FALSE(IsVistaOrLaterClient(info));

  Run("2008dc");
  info = Query();
  EXPECT_EQ(WindowsProductType::DomainController, info.productType);
  EXPECT_FALSE(IsVistaOrLaterClient(info));
}

TEST_F(WindowsVersionTest, Windows7IsVistaClient) {
  Run("win7");
  EXPECT_EQ("Vista", Name());
  WindowsVersionInfo info = Query();
  EXPECT_EQ(6u, info.majorVersion);
  EXPECT_EQ(1u, info.minorVersion);
  EXPECT_TRUE(IsVistaOrLaterClient(info));
}

TEST_F(WindowsVersionTest, Windows2000ServerCountsAsWindows2000) {
  Run("2000server");
  EXPECT_EQ("Windows 2000", Name());
  WindowsVersionInfo info = Query();
  EXPECT_EQ(WindowsProductType::Server, info.productType);
  EXPECT_TRUE(IsWindows2000(info));
  EXPECT_FALSE(IsWindowsNT4OrEarlier(info));
}

TEST_F(WindowsVersionTest, Windows98BuildsNameServicePackAndSecondEdition) {
  Run("98:2222");
  EXPECT_EQ("Windows 98 SE", Name());
  Run("98:2000");
  EXPECT_EQ("Windows 98 SP1", Name());
  // Plain-structure path: the record keeps the build alone, not the version in the high word.
  WindowsVersionInfo info = Query();
  EXPECT_EQ(WindowsPlatform::Windows9x, info.platform);
  EXPECT_EQ(4u, info.majorVersion);
  EXPECT_EQ(10u, info.minorVersion);
  EXPECT_EQ(2000u, info.buildNumber);
  EXPECT_EQ(WindowsProductType::Workstation, info.productType);
  EXPECT_FALSE(IsWindowsNT4OrEarlier(info));
}

TEST_F(WindowsVersionTest, OlderAndOtherPlatforms) {
  Run("nt4");
  EXPECT_EQ("Windows NT 4", Name());
  EXPECT_TRUE(IsWindowsNT4OrEarlier(Query()));
  Run("nt351");
  EXPECT_EQ("Windows NT 3.51", Name());
  EXPECT_TRUE(IsWindowsNT4OrEarlier(Query()));
  Run("me");
  EXPECT_EQ("Windows ME", Name());
  Run("ce");
  EXPECT_EQ("Windows CE", Name());
  EXPECT_EQ(WindowsPlatform::CE, Query().platform);
  Run("2003");
  EXPECT_EQ(kUnknownWindowsVersion, Name());
}

TEST_F(WindowsVersionTest, Win32sHostIsWindows3x) {
  Run("win32s:77");
  WindowsVersionInfo info = Query();
  EXPECT_EQ(WindowsPlatform::Windows3x, info.platform);
  EXPECT_EQ(3u, info.majorVersion);
  EXPECT_EQ(10u, info.minorVersion);
  EXPECT_EQ(0u, info.buildNumber);
  EXPECT_EQ(kUnknownWindowsVersion, Name());
}

TEST_F(WindowsVersionTest, NothingIsCached) {
  Run("xp");
  EXPECT_FALSE(IsVistaOrLaterClient(Query()));
  EXPECT_EQ("Windows XP", Name());
  Run("win7+wow64");
  EXPECT_TRUE(IsVistaOrLaterClient(Query()));
  EXPECT_EQ("Vista", Name());
  EXPECT_TRUE(IsWow64Windows());
}

// --- Predicates at their edges (each must check the platform, not only the numbers).

TEST(WindowsVersionPredicates, PlatformAndProductTypeMatter) {
  WindowsVersionInfo info;
  info.platform = WindowsPlatform::NT;
  info.majorVersion = 6;
  EXPECT_TRUE(IsVistaOrLaterClient(info));
  info.productType = WindowsProductType::DomainController;
  EXPECT_FALSE(IsVistaOrLaterClient(info));
  info.productType = WindowsProductType::Workstation;
  info.majorVersion = 5;
  EXPECT_FALSE(IsVistaOrLaterClient(info));
  info.majorVersion = 10;
  EXPECT_TRUE(IsVistaOrLaterClient(info));
  info.platform = WindowsPlatform::CE;
  EXPECT_FALSE(IsVistaOrLaterClient(info));

  info = WindowsVersionInfo{};
  info.platform = WindowsPlatform::Windows9x;
  info.majorVersion = 4;
  EXPECT_FALSE(IsWindowsNT4OrEarlier(info));
  info.platform = WindowsPlatform::NT;
  EXPECT_TRUE(IsWindowsNT4OrEarlier(info));
  info.majorVersion = 5;
  EXPECT_FALSE(IsWindowsNT4OrEarlier(info));
  EXPECT_TRUE(IsWindows2000(info));
  info.minorVersion = 1;
  EXPECT_FALSE(IsWindows2000(info));
  info.platform = WindowsPlatform::Windows9x;
  info.minorVersion = 0;
  EXPECT_FALSE(IsWindows2000(info));
}

// --- Fallbacks.

TEST_F(WindowsVersionTest, WithoutExtendedStructureProductTypeComesFromRegistry) {
  struct Case {
    const char* text;
    WindowsProductType expected;
  };
  const Case cases[] = {
      {"WinNT", WindowsProductType::Workstation},   {"ServerNT", WindowsProductType::Server},
      {"servernt", WindowsProductType::Server},      {"LanmanNT", WindowsProductType::DomainController},
      {"LANSECNT", WindowsProductType::DomainController}, {"Terminal", WindowsProductType::Workstation},
      {"SERVERNTX", WindowsProductType::Workstation}, {"", WindowsProductType::Workstation},
  };
  for (const auto& c : cases) {
    winsim::WindowsVersion windows = Windows("2008server+noex");
    windows.productOptions = c.text;
    machine.SetVersion(windows);
    if (c.text[0] == '\0') {
      machine.registry.SetValue(winsim::Hive::LocalMachine, kProductOptionsKey, "ProductType", kRegSz, {0});
    }
    WindowsVersionInfo info = Query();
    EXPECT_EQ(c.expected, info.productType) << c.text;
    EXPECT_EQ(6u, info.majorVersion);
    EXPECT_EQ(6001u, info.buildNumber);
  }
}

TEST_F(WindowsVersionTest, UnreadableProductOptionsLeaveWorkstation) {
  winsim::WindowsVersion windows = Windows("nt4server");
  windows.productOptions.clear();  // nothing written: key missing
  machine.SetVersion(windows);
  EXPECT_EQ(WindowsProductType::Workstation, Query().productType);

  // A DWORD where the text should be.
  machine.registry.SetValue(winsim::Hive::LocalMachine, kProductOptionsKey, "ProductType", kRegDword, {3, 0, 0, 0});
  EXPECT_EQ(WindowsProductType::Workstation, Query().productType);

  // A text too long for the buffer is not cut down to a matching prefix.
  std::string longText = "ServerNT" + std::string(200, ' ');
  std::vector<std::uint8_t> data(longText.begin(), longText.end());
  data.push_back(0);
  machine.registry.SetValue(winsim::Hive::LocalMachine, kProductOptionsKey, "ProductType", kRegSz, data);
  EXPECT_EQ(WindowsProductType::Workstation, Query().productType);

  // The key exists but cannot be opened.
  machine.registry.SetValue(winsim::Hive::LocalMachine, kProductOptionsKey, "ProductType", kRegSz,
                      {'S', 'e', 'r', 'v', 'e', 'r', 'N', 'T', 0});
  EXPECT_EQ(WindowsProductType::Server, Query().productType);
  machine.registry.SetAccess(winsim::Hive::LocalMachine, kProductOptionsKey, winsim::KeyAccess::Denied);
  EXPECT_EQ(WindowsProductType::Workstation, Query().productType);
}

TEST_F(WindowsVersionTest, ExtendedAnswerIsTrustedOverRegistry) {
  Run("xp");
  machine.registry.SetValue(winsim::Hive::LocalMachine, kProductOptionsKey, "ProductType", kRegSz,
                      {'S', 'e', 'r', 'v', 'e', 'r', 'N', 'T', 0});
  EXPECT_EQ(WindowsProductType::Workstation, Query().productType);
}

TEST_F(WindowsVersionTest, FailedVersionQueryZeroesRecordAndNamesUnknown) {
  winsim::WindowsVersion windows = Windows("win7");
  windows.extendedSucceeds = false;
  windows.plainSucceeds = false;
  machine.SetVersion(windows);

  WindowsVersionInfo info;
  info.platform = WindowsPlatform::NT;
  info.majorVersion = 9;
  info.buildNumber = 9;
  info.productType = WindowsProductType::Server;
  EXPECT_FALSE(QueryWindowsVersion(info));
  EXPECT_EQ(WindowsPlatform::Unknown, info.platform);
  EXPECT_EQ(0u, info.majorVersion);
  EXPECT_EQ(0u, info.buildNumber);
  EXPECT_EQ(WindowsProductType::Workstation, info.productType);

  std::string name = "stale";
  EXPECT_FALSE(GetWindowsVersionName(name));
  EXPECT_EQ(kUnknownWindowsVersion, name);
}

TEST_F(WindowsVersionTest, MissingKernel32FailsEverything) {
  winsim::WindowsVersion windows = Windows("win7+wow64");
  windows.kernel32Loaded = false;
  machine.SetVersion(windows);
  WindowsVersionInfo info;
  EXPECT_FALSE(QueryWindowsVersion(info));
  EXPECT_FALSE(IsWow64Windows());
}

TEST_F(WindowsVersionTest, WithoutGetVersionExTheGetVersionValueIsUsed) {
  Run("xp+nogetversionex");
  WindowsVersionInfo info = Query();
  EXPECT_EQ(WindowsPlatform::NT, info.platform);
  EXPECT_EQ(5u, info.majorVersion);
  EXPECT_EQ(1u, info.minorVersion);
  EXPECT_EQ(0u, info.buildNumber);
  // The name needs GetVersionExA itself.
  std::string name;
  EXPECT_FALSE(GetWindowsVersionName(name));
  EXPECT_EQ(kUnknownWindowsVersion, name);
}

TEST_F(WindowsVersionTest, Wow64Detection) {
  Run("win7");
  EXPECT_FALSE(IsWow64Windows());
  Run("win7+wow64");
  EXPECT_TRUE(IsWow64Windows());
  Run("xp+wow64+nowow64entry");
  EXPECT_FALSE(IsWow64Windows());
  winsim::WindowsVersion windows = Windows("win7+wow64");
  windows.isWow64CallSucceeds = false;
  machine.SetVersion(windows);
  EXPECT_FALSE(IsWow64Windows());
}

// --- The simulation's configuration text, which starts seekwell-sim.exe as any Windows.

TEST(SimulatedWindowsText, RejectsWhatItDoesNotKnowAndLeavesOutputAlone) {
  winsim::WindowsVersion windows;
  windows.reported.majorVersion = 42;
  for (const char* bad : {"", "win99", "98:", "98:x1", "98:70000", "win7+turbo", "xp+", "+wow64"}) {
    EXPECT_FALSE(winsim::ParseWindowsVersion(bad, windows)) << bad;
    EXPECT_EQ(42u, windows.reported.majorVersion) << bad;
  }
  ASSERT_TRUE(winsim::ParseWindowsVersion(" Win7 + WOW64 ", windows));
  EXPECT_EQ(6u, windows.reported.majorVersion);
  EXPECT_TRUE(windows.wow64);
}

TEST_F(WindowsVersionTest, EnvironmentChoosesTheSimulatedWindowsAtStart) {
  static char unset[] = "SEEKWELL_SIM_WINDOWS=";
  static char nt4[] = "SEEKWELL_SIM_WINDOWS=nt4server";
  static char bogus[] = "SEEKWELL_SIM_WINDOWS=os2";

  putenv(unset);
  test::FreshMachine();
  EXPECT_EQ("Vista", Name());  // default: Windows 7 workstation
  EXPECT_TRUE(IsVistaOrLaterClient(Query()));

  putenv(nt4);
  test::FreshMachine();
  WindowsVersionInfo info = Query();
  EXPECT_TRUE(IsWindowsNT4OrEarlier(info));
  // NT 4 takes the plain-structure path; the preset's registry entry names the server.
  EXPECT_EQ(WindowsProductType::Server, info.productType);

  putenv(bogus);
  test::FreshMachine();
  EXPECT_TRUE(IsVistaOrLaterClient(Query()));

  putenv(unset);
  test::FreshMachine();
}

}  // namespace
}  // namespace sw::host
