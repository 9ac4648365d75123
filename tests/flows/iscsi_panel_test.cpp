// The iSCSI panel over the headless UI, a fake device and the simulated initiator, service,
// registry, version and disk: which road a device click takes to fill list 1029, what Connect
// does for each kind of machine, the install prompt and the restore that resumes, and the list
// that the refresh timer builds.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "app/device_port.h"
#include "app/seekwell_app.h"
#include "app/seekwell_dlg.h"
#include "fake_device_port.h"
#include "host/initiator_presence.h"
#include "simulated_machine.h"
#include "host/registry.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "iscsi/wmi_wrapper.h"
#include "resource.h"
#include "ui/headless.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;
using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

constexpr const char* kDevice = "10.77.0.11";
constexpr const char* kOtherDevice = "10.77.0.12";
constexpr const char* kFabric = R"({"devices": [
  {"name": "NAS-ISCSI", "address": "10.77.0.11", "iscsi": true, "targets": [
    {"name": "iqn.2009-11.com.halden:zeta", "sizeMiB": 4},
    {"name": "IQN.2009-11.com.halden:Alpha", "sizeMiB": 4},
    {"name": "iqn.2009-11.com.halden:mid", "sizeMiB": 4}]},
  {"name": "NAS-OTHER", "address": "10.77.0.12", "iscsi": true, "targets": [
    {"name": "iqn.2009-11.com.halden:other", "sizeMiB": 4}]}]})";
// What the device itself reports, for the list built without the initiator.
const Texts kEntries = {"iqn.2009-11.com.halden:zeta|none@$", "iqn.2009-11.com.halden:alpha|chap@u$c2VjcmV0"};
const Rows kFallbackRows = {{"zeta", "NO"}, {"alpha", "NO"}};
const Rows kInitiatorRows = {{"alpha", "NO"}, {"mid", "NO"}, {"zeta", "NO"}};

struct Machine {
  const char* windows;
  bool serviceInstalled;
  winsim::ServiceStatus state;
  const char* displayName;  // the Uninstall entry's DisplayName, or nullptr for none
  winsim::StartBehaviour behaviour = winsim::StartBehaviour::Starts;
};

class IscsiPanelFlow : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    hl::Reset();
    SetDevicePort(&port);
    port.devices = {{"NAS-ISCSI", kDevice, "255.255.255.0", "10.77.0.254", false, true}};
    port.devices[0].targets = kEntries;
    port.targetQueries = 0;
    machine.SetClock([] { return ui::TickCount(); });
    machine.processes.SetIpconfigDurationMs(0);
    ASSERT_TRUE(machine.SetFabricText(kFabric));
    images = std::filesystem::temp_directory_path() /
             ("seekwell-iscsi-flow-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    machine.initiator.SetImageFolder(images.string());
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    SetDevicePort(nullptr);
    std::filesystem::remove_all(images);
  }

  void Install(const Machine& m) {
    winsim::WindowsVersion w;
    ASSERT_TRUE(winsim::ParseWindowsVersion(m.windows, w));
    machine.SetVersion(w);
    winsim::InitiatorInstall install;
    install.serviceInstalled = m.serviceInstalled;
    install.service = {m.state, 0, m.behaviour};
    machine.services.SetInitiatorInstall(install);
    if (m.displayName) {
      host::RegistryKey key;
      ASSERT_TRUE(key.Create(host::RegistryRoot::LocalMachine, std::string(host::kInitiatorUninstallKey) + "\\Entry"));
      key.WriteString("DisplayName", m.displayName);
    }
  }

  void RunApp(std::function<void(CSeekwellDlg&)> script) {
    hl::ScriptModal(IDD_SEEKWELL_DIALOG, [script](ui::CDialog& d) {
      auto& dlg = static_cast<CSeekwellDlg&>(d);
      script(dlg);
      hl::Click(dlg, IDC_EXIT);
    });
    CSeekwellApp app;
    ui::RunApplication(app);
  }

  // A click on the device, then what the user sees once the initiator's road (if taken) is done.
  void ClickDevice(CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, 0));
    if (dlg.Iscsi().Flags().InitiatorListActive != 1) return;
    // "ipconfig /all" ends on a thread of its own: its message is posted once that thread is done,
    // and a refresh timer may be pending already.
    machine.processes.WaitForWaiters();
    hl::PumpMessages();
    auto* main = hl::WindowOf(dlg.GetSafeHwnd());
    ASSERT_TRUE(hl::PumpMessagesUntil([&] { return main->timers.count(kTimerIscsi) > 0; }))
        << "the process-terminated message started the refresh timer";
    hl::AdvanceClock(main->timers[kTimerIscsi].interval);
  }

  bool Launched(const std::string& commandLine) {
    const auto l = machine.processes.Launches();
    return std::find(l.begin(), l.end(), commandLine) != l.end();
  }

  // The log entries from `from` on that say what the initiator dialogs and sleeps did.
  Texts DialogLog(std::size_t from) {
    Texts out;
    for (std::size_t i = from; i < hl::Log().size(); ++i) {
      const std::string& e = hl::Log()[i];
      for (const char* p : {"modeless ", "destroy ", "sleep 1000", "sleep 2000", "minimise 102", "restore 102"}) {
        if (e.rfind(p, 0) == 0) out.push_back(e);
      }
    }
    return out;
  }

  std::vector<int> OpenTemplates() {
    std::vector<int> ids;
    for (ui::CDialog* d : hl::OpenDialogs()) ids.push_back(d->TemplateId());
    return ids;
  }

  test::FakeDevicePort port;
  std::filesystem::path images;
};

// The decision table, row by row: the road of a device click and what Connect on the first row does.
TEST_F(IscsiPanelFlow, DeviceClickAndConnectForEachMachine) {
  using S = winsim::ServiceStatus;
  using B = winsim::StartBehaviour;
  struct Case {
    const char* name;
    Machine machine;
    bool initiatorRoad;          // else the device's own target list
    Texts connectLog;            // dialogs and sleeps of the Connect
    std::vector<int> openAfter;  // dialogs still open
    const char* message;         // the message box of the Connect, or nullptr
    int justStarted;
  };
  const Case cases[] = {
      {"xp without initiator", {"xp", false, S::Stopped, nullptr}, false, {"modeless 233"}, {102, 233}, nullptr, 0},
      {"xp, a longer display name, service running",
       {"xp", true, S::Running, "Microsoft iSCSI Initiator 2.08"}, false, {"modeless 233"}, {102, 233}, nullptr, 0},
      {"xp, display name in other letter case", {"xp", true, S::Running, "Microsoft iSCSI initiator"}, false,
       {"modeless 233"}, {102, 233}, nullptr, 0},
      {"xp, installed, service stopped", {"xp", true, S::Stopped, host::kInitiatorDisplayName}, false,
       {"modeless 232", "sleep 2000", "sleep 1000", "destroy 232"}, {102}, nullptr, 1},
      {"xp, installed, service refuses to start", {"xp", true, S::Stopped, host::kInitiatorDisplayName, B::RefusesStart},
       false, {"modeless 232", "sleep 2000", "destroy 232"}, {102}, host::kServiceNotStartedMessage, 0},
      {"windows 7 without Uninstall entry, service running", {"win7", true, S::Running, nullptr}, true, {}, {102},
       nullptr, 0},
      {"windows 7, service stopped", {"win7", true, S::Stopped, nullptr}, false,
       {"modeless 232", "sleep 1000", "sleep 1000", "destroy 232"}, {102}, nullptr, 1},
      {"windows 7, service never starts", {"win7", true, S::Stopped, nullptr, B::NeverStarts}, false,
       {"modeless 232", "sleep 1000", "destroy 232"}, {102}, host::kServiceNotStartedMessage, 0},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.name);
    TearDown();
    SetUp();
    Install(c.machine);
    RunApp([&](CSeekwellDlg& dlg) {
      ClickDevice(dlg);
      EXPECT_EQ(c.initiatorRoad, Launched("ipconfig /all"));
      EXPECT_EQ(c.initiatorRoad ? 0 : 1, port.targetQueries);
      EXPECT_EQ(c.initiatorRoad ? kInitiatorRows : kFallbackRows, hl::Rows(dlg, IDC_TARGET_LIST));
      EXPECT_FALSE(hl::Enabled(dlg, IDC_TARGET_CONNECT));

      ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 0));
      EXPECT_EQ("Connect", hl::Text(dlg, IDC_TARGET_CONNECT));
      // alpha asks for CHAP; the user cancels (the login itself is the connect flows' matter).
      if (c.initiatorRoad) hl::ScriptModal(IDD_CHAP, [](ui::CDialog& chap) { hl::Click(chap, ui::kIdCancel); });
      const std::size_t logFrom = hl::Log().size();
      const std::uint32_t before = hl::Now();
      ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
      EXPECT_EQ(c.connectLog, DialogLog(logFrom));
      EXPECT_EQ(c.openAfter, OpenTemplates());
      EXPECT_EQ(c.message ? 1u : 0u, hl::MessageBoxes().size());
      if (c.message && !hl::MessageBoxes().empty()) {
        EXPECT_EQ(c.message, hl::MessageBoxes()[0].text);
        EXPECT_EQ("Corvane's Halden Seekwell", hl::MessageBoxes()[0].caption);
      }
      EXPECT_LE(hl::Now() - before, 1000u + host::kServiceStartBoundMs + 2 * host::kServiceStartPollMs);
      EXPECT_EQ(c.justStarted, dlg.Iscsi().Flags().ServiceJustStarted);
      EXPECT_EQ(0, hl::CurrentCursorResource()) << "every busy cursor is put back";
      // No login yet: after a service start it waits for the portal refresh, which empties the list.
      if (c.justStarted == 0) {
        EXPECT_EQ(c.initiatorRoad ? kInitiatorRows : kFallbackRows, hl::Rows(dlg, IDC_TARGET_LIST));
      }
      EXPECT_TRUE(machine.initiator.Snapshot().sessions.empty());
    });
  }
}

// The install prompt: OK with the installer beside the program, OK without it, and the close box
// followed by a restore of the main window.
TEST_F(IscsiPanelFlow, InstallPromptAndTheRestoreThatResumes) {
  Install({"xp", false, winsim::ServiceStatus::Stopped, nullptr});
  RunApp([&](CSeekwellDlg& dlg) {
    ClickDevice(dlg);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 1));
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    ASSERT_EQ((std::vector<int>{102, 233}), OpenTemplates());
    ui::CDialog& prompt = *hl::OpenDialogs().back();
    EXPECT_EQ(1, dlg.Iscsi().Flags().InstallPending);
    EXPECT_EQ(ui::Rgb(255, 255, 255), hl::QueryColours(prompt, -1, ui::CtlColorKind::Static).textColour);

    // Without the installer: the three lines, the prompt stays.
    ASSERT_TRUE(hl::Click(prompt, ui::kIdOk));
    ASSERT_EQ(1u, hl::MessageBoxes().size());
    EXPECT_EQ("The Initiator-2.07-build3640-x86fre.exe does not exist in\nC:\\Program Files\\Seekwell\n"
              "Please copy or move Initiator-2.07-build3640-x86fre.exe to the above folder.",
              hl::MessageBoxes()[0].text);
    EXPECT_EQ("Corvane's Halden Seekwell", hl::MessageBoxes()[0].caption);
    EXPECT_EQ(ui::kMbOk | ui::kMbIconExclamation, hl::MessageBoxes()[0].flags);
    EXPECT_EQ((std::vector<int>{102, 233}), OpenTemplates());
    EXPECT_FALSE(Launched(host::kInstallerFileName));

    // Closed from its window menu, then the main window restored: the Connect is tried again.
    hl::CloseBox(prompt);
    EXPECT_EQ((std::vector<int>{102}), OpenTemplates());
    EXPECT_EQ(1, dlg.Iscsi().Flags().InstallPending);
    hl::Minimise(dlg);
    EXPECT_EQ((std::vector<int>{102}), OpenTemplates()) << "minimising resumes nothing";
    hl::Restore(dlg);
    EXPECT_EQ((std::vector<int>{102, 233}), OpenTemplates());
    EXPECT_EQ(1, dlg.Iscsi().Flags().InstallPending);

    // With the installer: prompt closed, main window minimised while it runs, then restored,
    // and the resumed Connect finds the initiator installed and its service running.
    machine.files.Place(host::InstallerPath(machine.files.ModuleFileName()));
    const std::size_t logFrom = hl::Log().size();
    ASSERT_TRUE(hl::Click(*hl::OpenDialogs().back(), ui::kIdOk));
    EXPECT_EQ((Texts{"destroy 233", "minimise 102", "restore 102", "sleep 1000"}), DialogLog(logFrom));
    EXPECT_TRUE(Launched(host::kInstallerFileName));
    EXPECT_EQ((std::vector<int>{102}), OpenTemplates());
    EXPECT_FALSE(hl::WindowOf(dlg.GetSafeHwnd())->iconic);
    EXPECT_EQ(0, dlg.Iscsi().Flags().InstallPending);
    EXPECT_EQ(1, dlg.Iscsi().Flags().ServiceJustStarted);
    EXPECT_TRUE(host::IsInitiatorInstalled());
    EXPECT_EQ(1u, hl::MessageBoxes().size());
    EXPECT_EQ(0, hl::CurrentCursorResource());
  });
}

// The list the refresh builds: sessions and discovered targets of the device only, once each,
// sorted, "YES" for any statistics instance; the row click; the deferral after a service start.
TEST_F(IscsiPanelFlow, TargetListRules) {
  Install({"xp", true, winsim::ServiceStatus::Running, host::kInitiatorDisplayName});
  {
    // What the initiator knows before: the other device's portal and a session to its target, and
    // a session to zeta whose statistics say Active FALSE.
    iscsi::CWmiWrapper wmi;
    ASSERT_EQ(0, wmi.CreateInstanceWithProperty("MSiSCSIInitiator_SendTargetPortalClass", "PortalAddress", kOtherDevice));
    ASSERT_EQ(0, wmi.CreateInstanceWithProperty("MSiSCSIInitiator_SendTargetPortalClass", "PortalAddress", kDevice));
    for (const char* t : {"iqn.2009-11.com.halden:other", "iqn.2009-11.com.halden:zeta"}) {
      ASSERT_TRUE(iscsi::RunCommand(*iscsi::LoginTargetCommand(t, winsim::kDefaultInitiatorName)));
    }
    machine.initiator.SetConnectionActive("iqn.2009-11.com.halden:zeta", false);
  }
  Install({"xp", true, winsim::ServiceStatus::Stopped, nullptr});
  RunApp([&](CSeekwellDlg& dlg) {
    dlg.Iscsi().SetNewDiskDialogs({});  // the deferred login's new disk leads nowhere here
    // The service is stopped: the device's own list. Connect starts the service, so the next
    // device click takes the initiator's road while the service counts as just started.
    ClickDevice(dlg);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 0));
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    ASSERT_EQ(1, dlg.Iscsi().Flags().ServiceJustStarted);

    machine.processes.Reset();
    machine.processes.SetIpconfigDurationMs(0);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, 0));
    auto* main = hl::WindowOf(dlg.GetSafeHwnd());
    ASSERT_TRUE(hl::PumpMessagesUntil([&] { return main->timers.count(kTimerIscsi) > 0; }));
    EXPECT_EQ(1000u, main->timers[kTimerIscsi].interval);
    EXPECT_TRUE(hl::Rows(dlg, IDC_TARGET_LIST).empty());
    EXPECT_FALSE(Launched("iscsicli ListTargets t")) << "no listing right after the service start";
    hl::AdvanceClock(1000);
    EXPECT_TRUE(hl::Rows(dlg, IDC_TARGET_LIST).empty()) << "the first refresh after a start fills no rows";
    EXPECT_EQ(0, dlg.Iscsi().Flags().ServiceJustStarted);
    EXPECT_TRUE(hl::Enabled(dlg, IDC_MANAGEMENT));
    hl::AdvanceClock(1000);  // the refresh that the deferred login of the clicked row started

    // The next device click lists the device's targets.
    machine.processes.Reset();
    machine.processes.SetIpconfigDurationMs(0);
    ClickDevice(dlg);
    EXPECT_TRUE(Launched("iscsicli RemoveTargetPortal 10.77.0.11 3260"));
    EXPECT_TRUE(Launched("iscsicli ListTargets t"));
    EXPECT_EQ((Rows{{"alpha", "NO"}, {"mid", "NO"}, {"zeta", "YES"}}), hl::Rows(dlg, IDC_TARGET_LIST));
    EXPECT_EQ((Texts{"iqn.2009-11.com.halden:alpha", "iqn.2009-11.com.halden:mid", "iqn.2009-11.com.halden:zeta"}),
              dlg.Iscsi().Targets().TargetNames);
    EXPECT_FALSE(hl::Enabled(dlg, IDC_TARGET_CONNECT));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_MANAGEMENT));

    // Clicks: a "NO" row sets CurrentTarget, a "YES" row only the button text; empty space
    // disables Connect.
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 1));
    EXPECT_EQ("Connect", hl::Text(dlg, IDC_TARGET_CONNECT));
    EXPECT_EQ("iqn.2009-11.com.halden:mid", dlg.Iscsi().Targets().CurrentTarget);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 2));
    EXPECT_EQ("Disconnect", hl::Text(dlg, IDC_TARGET_CONNECT));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_TARGET_CONNECT));
    EXPECT_EQ("iqn.2009-11.com.halden:mid", dlg.Iscsi().Targets().CurrentTarget);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, -1));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_TARGET_CONNECT));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_MANAGEMENT));
  });
}

// The registered message can come from any program: one that names no process of ours changes
// nothing and closes nothing. Nor does our own when the user has picked another device meanwhile:
// that device must not become the initiator's portal.
TEST_F(IscsiPanelFlow, StaleOrForeignProcessTerminatedMessageIsIgnored) {
  Install({"win7", true, winsim::ServiceStatus::Running, nullptr});
  port.devices.push_back({"NAS-PLAIN", "10.77.0.13"});
  machine.processes.SetIpconfigDurationMs(200);
  RunApp([&](CSeekwellDlg& dlg) {
    const unsigned message = ui::RegisterWindowMessage(iscsi::kProcessTerminatedMessageName);
    dlg.PostMessage(message, 0, 0x4242);
    hl::PumpMessages();
    EXPECT_TRUE(machine.processes.Launches().empty());

    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, 0));
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, 1));
    machine.processes.WaitForWaiters();
    hl::PumpMessages();
    EXPECT_EQ((Texts{"ipconfig /all"}), machine.processes.Launches());
    EXPECT_TRUE(machine.initiator.Snapshot().sendTargetPortals.empty());
    EXPECT_TRUE(hl::MessageBoxes().empty());
    EXPECT_EQ(0u, hl::WindowOf(dlg.GetSafeHwnd())->timers.count(kTimerIscsi));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_TARGET_CONNECT));
  });
}

}  // namespace
}  // namespace sw::app
