#include "share/web_configuration.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "simulated_machine.h"
#include "share/program_launcher.h"

namespace sw::share {
namespace {

using host::RegistryRoot;

class BrowserLaunchTest : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
  }
  void TearDown() override {
    test::MachineTest::TearDown();
  }

  static void Register(const std::string& name, const std::string& command) {
    host::RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, kStartMenuInternetKey));
    ASSERT_TRUE(key.WriteString("", name));
    host::RegistryKey open;
    ASSERT_TRUE(open.Create(RegistryRoot::LocalMachine, BrowserCommandKey(name)));
    ASSERT_TRUE(open.WriteString("", command));
  }
};

TEST(BrowserCommandLine, IeRuleQuotedPathAndEmptyRegistration) {
  EXPECT_EQ(BrowserCommandLine("IEXPLORE.EXE", "\"C:\\ie.exe\"", "10.77.0.10"), "explorer http://10.77.0.10");
  EXPECT_EQ(BrowserCommandLine("xIEx", "b", "10.77.0.10"), "explorer http://10.77.0.10") << "anywhere in the name";
  EXPECT_EQ(BrowserCommandLine("iexplore.exe", "\"C:\\ie.exe\"", "10.77.0.10"), "\"C:\\ie.exe\" http://10.77.0.10")
      << "the test is case-sensitive";
  EXPECT_EQ(BrowserCommandLine("FIREFOX.EXE", "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"", "10.77.0.10"),
            "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" http://10.77.0.10");
  EXPECT_EQ(BrowserCommandLine("", "", "10.77.0.10"), " http://10.77.0.10");
}

TEST(BrowserCommandLine, LongCommandIsNeverCutAndHostileAddressRunsNothing) {
  // 119 characters fill the 120-byte registry text; with the URL that is far beyond 128 bytes.
  std::string command = "\"C:\\" + std::string(110, 'p') + ".exe\"";
  ASSERT_EQ(command.size(), 119u);
  std::string line = BrowserCommandLine("Browser", command, "192.168.100.200");
  EXPECT_EQ(line, command + " http://192.168.100.200");

  EXPECT_EQ(BrowserCommandLine("Browser", std::string(kMaxCommandLineLength, 'x'), "10.77.0.10"), "");
  for (const char* bad : {"10.77.0.10 & calc", "10.77.0.10\" x", "", "nas1"}) {
    EXPECT_EQ(BrowserCommandLine("Browser", "b", bad), "") << bad;
    EXPECT_EQ(ExplorerCommandLine(bad), "") << bad;
  }
}

TEST_F(BrowserLaunchTest, RegisteredBrowserStartsWithTheUrl) {
  Register("FIREFOX.EXE", "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\"");
  machine.programs.Install("C:\\Program Files\\Mozilla Firefox\\firefox.exe");
  WebLaunch launch = LaunchWebConfiguration("10.77.0.10");
  ASSERT_EQ(machine.programs.Launches().size(), 1u);
  EXPECT_EQ(machine.programs.Launches()[0].commandLine, "\"C:\\Program Files\\Mozilla Firefox\\firefox.exe\" http://10.77.0.10");
  EXPECT_EQ(machine.programs.Launches()[0].showCommand, 0u);
  EXPECT_GT(launch.result, 31u);
  EXPECT_EQ(launch.fallbackCommandLine, "");

  // The longest command the 120-byte registry text holds, run in full although the line passes 128.
  machine.programs.Reset();
  std::string command = "\"C:\\" + std::string(110, 'p') + ".exe\"";
  Register("LONGEST", command);
  machine.programs.Install(winsim::Programs::ProgramOf(command));
  launch = LaunchWebConfiguration("192.168.100.200");
  EXPECT_EQ(launch.commandLine, command + " http://192.168.100.200");
  ASSERT_EQ(machine.programs.Launches().size(), 1u);
  EXPECT_EQ(machine.programs.Launches()[0].commandLine.size(), 119u + 23u);
}

TEST_F(BrowserLaunchTest, IeNameGoesStraightToExplorer) {
  Register("IEXPLORE.EXE", "\"C:\\Program Files\\Internet Explorer\\iexplore.exe\"");
  LaunchWebConfiguration("10.77.0.10");
  ASSERT_EQ(machine.programs.Launches().size(), 1u);
  EXPECT_EQ(machine.programs.Launches()[0].commandLine, "explorer http://10.77.0.10");
}

TEST_F(BrowserLaunchTest, MissingOrBrokenRegistrationFallsBackToExplorer) {
  WebLaunch launch = LaunchWebConfiguration("10.77.0.10");
  ASSERT_EQ(machine.programs.Launches().size(), 2u);
  EXPECT_EQ(machine.programs.Launches()[0].commandLine, " http://10.77.0.10");
  EXPECT_EQ(launch.result, kWinExecFileNotFound);
  EXPECT_EQ(machine.programs.Launches()[1].commandLine, "explorer http://10.77.0.10");
  EXPECT_EQ(launch.fallbackCommandLine, "explorer http://10.77.0.10");

  // Registered but not installed.
  machine.programs.Reset();
  Register("GONE.EXE", "C:\\gone.exe");
  LaunchWebConfiguration("10.77.0.10");
  ASSERT_EQ(machine.programs.Launches().size(), 2u);
  EXPECT_EQ(machine.programs.Launches()[0].commandLine, "C:\\gone.exe http://10.77.0.10");
  EXPECT_EQ(machine.programs.Launches()[1].commandLine, "explorer http://10.77.0.10");

  // A command longer than the 120-byte registry text reads as empty: explorer opens the page.
  machine.programs.Reset();
  Register("LONG.EXE", "C:\\" + std::string(200, 'l') + ".exe");
  machine.programs.Install("C:\\" + std::string(200, 'l') + ".exe");
  LaunchWebConfiguration("10.77.0.10");
  ASSERT_EQ(machine.programs.Launches().size(), 2u);
  EXPECT_EQ(machine.programs.Launches()[0].commandLine, " http://10.77.0.10");
  EXPECT_EQ(machine.programs.Launches()[1].commandLine, "explorer http://10.77.0.10");

  // Explorer failing too is not examined further.
  machine.programs.Reset();
  machine.programs.UninstallAll();
  launch = LaunchWebConfiguration("10.77.0.10");
  EXPECT_EQ(machine.programs.Launches().size(), 2u);
  EXPECT_EQ(machine.programs.Launches()[1].result, kWinExecFileNotFound);
}

TEST_F(BrowserLaunchTest, HostileAddressStartsNothing) {
  WebLaunch launch = LaunchWebConfiguration("10.77.0.10 & calc");
  EXPECT_TRUE(machine.programs.Launches().empty());
  EXPECT_EQ(launch.commandLine, "");
}

TEST(BrowserCommandLine, UnquotedProgramPathWithABlankIsQuotedUpToItsExe) {
  EXPECT_EQ(QuoteProgramPath("C:\\Program Files\\B\\b.EXE -osint -url \"%1\""),
            "\"C:\\Program Files\\B\\b.EXE\" -osint -url \"%1\"");
  EXPECT_EQ(QuoteProgramPath("C:\\Program Files\\b.exe"), "\"C:\\Program Files\\b.exe\"");
  for (const char* kept : {"\"C:\\Program Files\\b.exe\" -url", "C:\\b.exe -url x y", "browser --new", ""}) {
    EXPECT_EQ(QuoteProgramPath(kept), kept);
  }
  // ".exe" inside a folder name is not the program's end.
  EXPECT_EQ(QuoteProgramPath("C:\\my.exec files\\b.exe"), "\"C:\\my.exec files\\b.exe\"");
}

TEST_F(BrowserLaunchTest, ExpandableCommandIsExpandedAndQuoted) {
  Register("BROWSER.EXE", "unused");
  const std::string stored = "%ProgramFiles%\\Browser\\browser.exe -url";
  std::vector<std::uint8_t> data(stored.begin(), stored.end());
  data.push_back(0);
  machine.registry.SetValue(winsim::Hive::LocalMachine, BrowserCommandKey("BROWSER.EXE"), "", host::kRegExpandSz, data);
  machine.programs.Install("C:\\Program Files\\Browser\\browser.exe");
  WebLaunch launch = LaunchWebConfiguration("10.77.0.10");
  EXPECT_EQ(launch.commandLine, "\"C:\\Program Files\\Browser\\browser.exe\" -url http://10.77.0.10");
  EXPECT_EQ(launch.fallbackCommandLine, "") << "the browser itself started, not explorer";
}

}  // namespace
}  // namespace sw::share
