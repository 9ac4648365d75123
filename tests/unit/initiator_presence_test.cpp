// The initiator decision table over the simulated registry, version and services, row by row.

#include "host/initiator_presence.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "host/registry.h"
#include "simulated_machine.h"

namespace sw::host {
namespace {

struct Recorder : InitiatorReadyActions {
  std::vector<std::string> log;
  std::uint32_t now = 5000;
  int cursorDepth = 0;
  void BeginBusyCursor() override { ++cursorDepth; }
  void RestoreCursor() override { --cursorDepth; }
  void Sleep(unsigned ms) override {
    now += ms;
    if (ms != kServiceStartPollMs) log.push_back("sleep " + std::to_string(ms));
  }
  std::uint32_t NowMs() override { return now; }
  void ShowServiceStartingWindow() override { log.push_back("show 232"); }
  void CloseServiceStartingWindow() override { log.push_back("close 232"); }
  void ShowInstallPrompt() override { log.push_back("show 233"); }
  void BuildFallbackTargetList() override { log.push_back("fallback list"); }
  void StartInitiatorRefresh() override { log.push_back("initiator refresh"); }
  void ReportServiceNotStarted() override { log.push_back("not started"); }
};

using Log = std::vector<std::string>;

class InitiatorPresence : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    machine.SetClock([this] { return actions.now; });
  }
  void TearDown() override {
    test::MachineTest::TearDown();
      }
  void Machine(const char* windows, winsim::ServiceStatus state, bool uninstallEntry, bool serviceInstalled = true,
               winsim::StartBehaviour behaviour = winsim::StartBehaviour::Starts, std::uint32_t delayMs = 0) {
    winsim::WindowsVersion w;
    ASSERT_TRUE(winsim::ParseWindowsVersion(windows, w));
    machine.SetVersion(w);
    winsim::InitiatorInstall install;
    install.serviceInstalled = serviceInstalled;
    install.service = {state, delayMs, behaviour};
    install.uninstallEntry = uninstallEntry;
    machine.services.SetInitiatorInstall(install);
  }
  Log Run(int mode) {
    actions.log.clear();
    EnsureInitiatorReady(mode, actions, flags);
    EXPECT_EQ(0, actions.cursorDepth) << "every busy cursor is put back";
    return actions.log;
  }
  int Starts() { return machine.services.StartRequests(winsim::kInitiatorServiceName); }

  Recorder actions;
  InitiatorFlags flags;
};

TEST_F(InitiatorPresence, XpWithoutInitiator) {
  Machine("xp", winsim::ServiceStatus::Stopped, false, false);
  EXPECT_EQ((Log{"fallback list"}), Run(0));
  EXPECT_EQ((Log{"show 233"}), Run(1));
  EXPECT_EQ(1, flags.InstallPending);
  EXPECT_EQ(0, flags.ServiceJustStarted);
  // The restore after the prompt resumes the Connect with the service counted as just started.
  EXPECT_FALSE(ResumeConnectAfterRestore(1, flags));
  EXPECT_TRUE(ResumeConnectAfterRestore(0, flags));
  EXPECT_EQ(0, flags.InstallPending);
  EXPECT_EQ(1, flags.ServiceJustStarted);
  EXPECT_FALSE(ResumeConnectAfterRestore(0, flags));
}

TEST_F(InitiatorPresence, XpWithInitiatorStopped) {
  Machine("xp", winsim::ServiceStatus::Stopped, true);
  EXPECT_EQ((Log{"fallback list"}), Run(0));
  EXPECT_EQ(0, flags.InitiatorListActive);
  EXPECT_EQ((Log{"show 232", "sleep 2000", "sleep 1000", "close 232"}), Run(1));
  EXPECT_EQ(1, Starts());
  EXPECT_EQ(1, flags.ServiceJustStarted);
  // Once running, a device click takes the initiator road; a Connect then does nothing.
  EXPECT_EQ((Log{"initiator refresh"}), Run(0));
  EXPECT_EQ(1, flags.InitiatorListActive);
  EXPECT_EQ((Log{}), Run(1));
}

TEST_F(InitiatorPresence, XpServiceRunningSetsJustStarted) {
  Machine("xp", winsim::ServiceStatus::Running, true);
  EXPECT_EQ((Log{"sleep 1000"}), Run(1));
  EXPECT_EQ(0, Starts());
  EXPECT_EQ(1, flags.ServiceJustStarted);
}

TEST_F(InitiatorPresence, Windows7WithoutUninstallEntryCountsAsInstalled) {
  Machine("win7", winsim::ServiceStatus::Running, false);
  EXPECT_EQ((Log{"initiator refresh"}), Run(0));
  EXPECT_EQ(1, flags.InitiatorListActive);
  EXPECT_EQ((Log{}), Run(1));

  Machine("win7", winsim::ServiceStatus::Stopped, false, true, winsim::StartBehaviour::Starts, 2500);
  flags = {};
  EXPECT_EQ((Log{"fallback list"}), Run(0));
  std::uint32_t before = actions.now;
  EXPECT_EQ((Log{"show 232", "sleep 1000", "sleep 1000", "close 232"}), Run(1));
  EXPECT_EQ(1, flags.ServiceJustStarted);
  EXPECT_GE(actions.now - before, 2500u + 1000u) << "polled until the service ran";
  EXPECT_LT(actions.now - before, 2500u + 1000u + 2 * kServiceStartPollMs);
}

TEST_F(InitiatorPresence, DisplayNameNearMissesAreNotInstalled) {
  for (const char* name : {"Microsoft iSCSI Initiator 2.08", "microsoft iSCSI initiator", "Microsoft iSCSI Initiato"}) {
    Machine("xp", winsim::ServiceStatus::Stopped, false);
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, std::string(kInitiatorUninstallKey) + "\\Other"));
    key.WriteString("DisplayName", name);
    EXPECT_FALSE(IsInitiatorInstalled()) << name;
    EXPECT_EQ((Log{"show 233"}), Run(1)) << name;
  }
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, std::string(kInitiatorUninstallKey) + "\\Exact"));
  key.WriteString("DisplayName", kInitiatorDisplayName);
  EXPECT_TRUE(IsInitiatorInstalled());
}

TEST_F(InitiatorPresence, VersionUnknownDoesNothing) {
  Machine("xp", winsim::ServiceStatus::Stopped, false, false);
  winsim::WindowsVersion w = machine.Version();
  w.kernel32Loaded = false;
  machine.SetVersion(w);
  EXPECT_EQ((Log{}), Run(0));
  EXPECT_EQ((Log{}), Run(1));
  EXPECT_EQ(0, flags.InstallPending);
}

// A service that never comes up: dialog 232 closes, the cursor comes back and the user is told,
// within the stated bound (Vista path) or after the fixed wait (before Vista).
TEST_F(InitiatorPresence, ServiceThatNeverStartsEndsAndSaysSo) {
  Machine("win7", winsim::ServiceStatus::Stopped, false, true, winsim::StartBehaviour::NeverStarts);
  std::uint32_t before = actions.now;
  EXPECT_EQ((Log{"show 232", "sleep 1000", "close 232", "not started"}), Run(1));
  EXPECT_EQ(0, flags.ServiceJustStarted);
  EXPECT_LE(actions.now - before, 1000u + kServiceStartBoundMs + kServiceStartPollMs);

  Machine("win7", winsim::ServiceStatus::Stopped, false, true, winsim::StartBehaviour::FailsToStart, 300);
  EXPECT_EQ((Log{"show 232", "sleep 1000", "close 232", "not started"}), Run(1));

  Machine("xp", winsim::ServiceStatus::Stopped, true, true, winsim::StartBehaviour::RefusesStart);
  EXPECT_EQ((Log{"show 232", "sleep 2000", "close 232", "not started"}), Run(1));
  EXPECT_EQ(0, flags.ServiceJustStarted);
}

TEST_F(InitiatorPresence, MissingInstallerMessage) {
  const std::string path = "C:\\Program Files\\Seekwell\\seekwell.exe";
  EXPECT_EQ("C:\\Program Files\\Seekwell\\Initiator-2.07-build3640-x86fre.exe", InstallerPath(path));
  EXPECT_EQ("The Initiator-2.07-build3640-x86fre.exe does not exist in\nC:\\Program Files\\Seekwell\n"
            "Please copy or move Initiator-2.07-build3640-x86fre.exe to the above folder.",
            MissingInstallerMessage(ProgramFolder(path)));
}

}  // namespace
}  // namespace sw::host
