// Connecting a target over the headless UI, a fake device and the simulated initiator and disks:
// the typical road with CHAP from the device click through the real wizard and disk manager to
// "YES" and back, the CHAP dialog's checks,
// a cancelled dialog, a disk that already has a volume, the missing initiator name and the login
// deferred until the started service has refreshed the portals.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>

#include "app/device_port.h"
#include "app/disk_mgr_dlg.h"
#include "app/seekwell_app.h"
#include "app/seekwell_dlg.h"
#include "simulated_machine.h"
#include "disk/volume_format.h"
#include "fabric/fabric.h"
#include "fake_device_port.h"
#include "iscsi/target_login.h"
#include "resource.h"
#include "ui/headless.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;
using Rows = std::vector<std::vector<std::string>>;
using Texts = std::vector<std::string>;

constexpr const char* kDevice = "10.77.0.11";
constexpr const char* kChapTarget = "iqn.2009-11.com.halden:chap";
constexpr const char* kNoUserTarget = "iqn.2009-11.com.halden:nouser";
constexpr const char* kPlainTarget = "iqn.2009-11.com.halden:plain";
// "CHAP" in capitals asks for CHAP as "chap" does.
constexpr const char* kFabric = R"({"devices": [
  {"name": "NAS-ISCSI", "address": "10.77.0.11", "iscsi": true, "targets": [
    {"name": "iqn.2009-11.com.halden:chap", "auth": "CHAP", "user": "nas2chap", "secret": "chapsecret12", "sizeMiB": 64},
    {"name": "iqn.2009-11.com.halden:nouser", "auth": "chap", "secret": "chapsecret12", "sizeMiB": 16},
    {"name": "iqn.2009-11.com.halden:plain", "auth": "none", "sizeMiB": 16}]}]})";

class ConnectFlow : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    hl::Reset();
    SetDevicePort(&port);
    port.devices = {{"NAS-ISCSI", kDevice, "255.255.255.0", "10.77.0.254", false, true}};
    fabric::Fabric f;
    std::string error;
    ASSERT_TRUE(fabric::LoadFabric(kFabric, &f, &error)) << error;
    for (const fabric::Target& t : f.devices[0].targets) port.devices[0].targets.push_back(fabric::TargetEntryText(t));
    // This device's entry has no '$': the user piece is empty, the secret the whole credentials.
    port.devices[0].targets[1] = std::string(kNoUserTarget) + "|chap@" + fabric::EncodeBase64("chapsecret12");
    machine.SetClock([] { return ui::TickCount(); });
    machine.processes.SetIpconfigDurationMs(0);
    ASSERT_TRUE(machine.SetFabricText(kFabric));
    images = std::filesystem::temp_directory_path() /
             ("seekwell-connect-flow-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    std::filesystem::remove_all(images);
    machine.initiator.SetImageFolder(images.string());
    disk::NoFormatCompletedYet = true;
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    SetDevicePort(nullptr);
    std::filesystem::remove_all(images);
  }

  // Windows 7 with the initiator's service in `state`.
  void Install(winsim::ServiceStatus state) {
    winsim::WindowsVersion w;
    ASSERT_TRUE(winsim::ParseWindowsVersion("win7", w));
    machine.SetVersion(w);
    winsim::InitiatorInstall install;
    install.serviceInstalled = true;
    install.service = {state, 0, winsim::StartBehaviour::Starts};
    machine.services.SetInitiatorInstall(install);
  }

  // `standIns`: the wizard and the disk manager only record what the road asks of them; without,
  // the real dialogs open and the test scripts them.
  void RunApp(std::function<void(CSeekwellDlg&)> script, bool standIns = true) {
    hl::ScriptModal(IDD_SEEKWELL_DIALOG, [this, script, standIns](ui::CDialog& d) {
      auto& dlg = static_cast<CSeekwellDlg&>(d);
      if (standIns) {
        dlg.Iscsi().SetNewDiskDialogs({[this](const std::string& target) {
                                         wizardCalls.push_back(target);
                                         return true;
                                       },
                                       [this](const std::string& ip) { diskManagerCalls.push_back(ip); }});
      }
      script(dlg);
      hl::Click(dlg, IDC_EXIT);
    });
    CSeekwellApp app;
    ui::RunApplication(app);
  }

  // Lets the process-terminated message start timer 1054, then lets it fire.
  void RunRefresh(CSeekwellDlg& dlg) {
    auto* main = hl::WindowOf(dlg.GetSafeHwnd());
    ASSERT_TRUE(hl::PumpMessagesUntil([&] { return main->timers.count(kTimerIscsi) > 0; }));
    hl::AdvanceClock(main->timers[kTimerIscsi].interval);
  }

  static std::string Shell(const std::string& command) {
    std::string out;
    if (std::FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
      char buffer[512];
      while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
      pclose(pipe);
    }
    return out;
  }

  bool Ran(const std::string& needle) {
    for (const std::string& run : machine.initiator.ToolRuns()) {
      if (run.find(needle) != std::string::npos) return true;
    }
    return false;
  }

  test::FakeDevicePort port;
  std::filesystem::path images;
  Texts wizardCalls, diskManagerCalls;
};

// The typical road: device click, every row "NO", Connect on the CHAP row, the dialog's checks in
// their order until the right credentials, the login, the real wizard (NTFS over the whole disk,
// closed by its format) and the real disk manager showing the new volume, "YES"; then Disconnect
// and "NO" again, and the image holds a table sfdisk accepts and the NTFS blkid finds.
TEST_F(ConnectFlow, TypicalRoadWithChap) {
  Install(winsim::ServiceStatus::Running);
  std::string image;
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, 0));
    RunRefresh(dlg);
    ASSERT_EQ((Rows{{"chap", "NO"}, {"nouser", "NO"}, {"plain", "NO"}}), hl::Rows(dlg, IDC_TARGET_LIST));
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 0));

    hl::ScriptModal(IDD_CHAP, [&](ui::CDialog& chap) {
      auto ok = [&] { ASSERT_TRUE(hl::Click(chap, ui::kIdOk)); };
      auto lastBox = [] { return hl::MessageBoxes().empty() ? std::string() : hl::MessageBoxes().back().text; };
      hl::TypeText(chap, IDC_CHAP_USER, "nas2chap");
      hl::TypeText(chap, IDC_CHAP_SECRET, "chapsecret1");
      ok();
      EXPECT_EQ(iscsi::kChapPasswordLengthMessage, lastBox());
      EXPECT_EQ("", hl::Text(chap, IDC_CHAP_SECRET));

      hl::TypeText(chap, IDC_CHAP_USER, "");
      ok();
      EXPECT_EQ(iscsi::kChapUserEmptyMessage, hl::Text(chap, IDC_CHAP_MESSAGE));

      hl::TypeText(chap, IDC_CHAP_SECRET, "chapsecret12-4567");
      EXPECT_EQ("chapsecret12-456", hl::Text(chap, IDC_CHAP_SECRET)) << "a 17th character cannot be typed";
      hl::TypeText(chap, IDC_CHAP_USER, "nas2chaq");
      ok();
      EXPECT_EQ("", hl::Text(chap, IDC_CHAP_MESSAGE)) << "emptied at every OK";
      EXPECT_EQ(iscsi::kChapUserErrorMessage, lastBox());
      EXPECT_EQ("", hl::Text(chap, IDC_CHAP_USER));

      hl::TypeText(chap, IDC_CHAP_USER, "nas2chap");
      // A typed value that could not stand in the command line differs from the device's anyway.
      hl::TypeText(chap, IDC_CHAP_SECRET, "chapsecret\"12");
      ok();
      EXPECT_EQ(iscsi::kChapPasswordErrorMessage, lastBox());
      EXPECT_EQ("", hl::Text(chap, IDC_CHAP_SECRET));
      EXPECT_TRUE(machine.initiator.ToolRuns().empty()) << "no refused value reached a command line";

      hl::TypeText(chap, IDC_CHAP_SECRET, "chapsecret12");
      ok();
    });
    std::string wizardTarget, chosenLetter, managerDevice;
    hl::ScriptModal(IDD_WIZARD, [&](ui::CDialog& wizard) {
      wizardTarget = hl::Text(wizard, IDC_TARGET_TEXT);
      const hl::Window* letters = hl::Control(wizard, IDC_NEW_DRIVE);
      if (letters->curSel >= 0) chosenLetter = letters->items[static_cast<std::size_t>(letters->curSel)];
      // NTFS over the maximum size, as the wizard offers it.
      EXPECT_EQ(1, hl::Control(wizard, IDC_NTFS)->check);
      EXPECT_EQ(1, hl::Control(wizard, IDC_MAX_SPACE)->check);
      for (const auto& session : machine.initiator.SessionDisks()) {
        if (session.targetName == kChapTarget) image = session.imagePath;
      }
      ASSERT_TRUE(hl::Click(wizard, ui::kIdOk));
      EXPECT_TRUE(hl::PumpMessagesUntil([&] { return wizard.HasEnded(); }, 60000)) << hl::Text(wizard, IDC_STATUS);
      if (!wizard.HasEnded()) hl::Click(wizard, ui::kIdCancel);
    });
    hl::ScriptModal(IDD_DISK_MANAGER, [&](ui::CDialog& d) {
      auto& manager = static_cast<CDiskMgrDlg&>(d);
      managerDevice = manager.DeviceText();
      const auto rows = hl::Rows(manager, IDC_DISK_VOLUMES);
      ASSERT_EQ(1u, rows.size());
      EXPECT_EQ(chosenLetter, rows[0][2]);
      EXPECT_EQ("NTFS", rows[0][3]);
      EXPECT_EQ("chap", rows[0].back());
      ASSERT_NE(nullptr, manager.Bar(1));
      const disk::DiskLayoutView& view = manager.Bar(1)->Segments();
      ASSERT_EQ(1, view.count) << "one partition over the whole disk";
      EXPECT_EQ("NTFS", view.segments[0].fileSystem);
      EXPECT_EQ(chosenLetter, view.segments[0].volumePath);
      hl::CloseBox(manager);
    });
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    EXPECT_EQ(0, hl::PendingScripts()) << "the CHAP dialog, the wizard and the disk manager each opened";
    EXPECT_EQ("chap", wizardTarget);
    EXPECT_EQ(kDevice, managerDevice);
    ASSERT_EQ(3u, chosenLetter.size());
    EXPECT_TRUE(disk::WizardFormatCompleted.load());
    EXPECT_EQ(3u, hl::MessageBoxes().size()) << "none from the wizard or the manager";
    for (const auto& box : hl::MessageBoxes()) EXPECT_EQ("Corvane's Halden Seekwell", box.caption);
    EXPECT_TRUE(Ran(std::string("logintarget ") + kChapTarget + " t * * " + winsim::kDefaultInitiatorName +
                    " * * * * * * * * nas2chap chapsecret12 1 * 0"));
    EXPECT_TRUE(Ran(std::string("persistentlogintarget ") + kChapTarget));
    EXPECT_TRUE(Ran("iscsicli AddPersistentDevice " + chosenLetter));
    EXPECT_EQ(1, dlg.Iscsi().Login().ChapLoginResult);
    EXPECT_EQ(0, hl::CurrentCursorResource());

    RunRefresh(dlg);
    EXPECT_EQ((Rows{{"chap", "YES"}, {"nouser", "NO"}, {"plain", "NO"}}), hl::Rows(dlg, IDC_TARGET_LIST));

    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 0));
    ASSERT_EQ("Disconnect", hl::Text(dlg, IDC_TARGET_CONNECT));
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    RunRefresh(dlg);
    EXPECT_EQ((Rows{{"chap", "NO"}, {"nouser", "NO"}, {"plain", "NO"}}), hl::Rows(dlg, IDC_TARGET_LIST));
    EXPECT_TRUE(machine.initiator.Snapshot().sessions.empty());
    EXPECT_TRUE(machine.initiator.Snapshot().persistentLogins.empty());
  }, false);
  ASSERT_FALSE(image.empty());
  EXPECT_EQ("", Shell("sfdisk --verify -q '" + image + "'"));
  const std::string start = Shell("sfdisk --dump '" + image + "' | sed -n 's/.*start= *\\([0-9]*\\),.*/\\1/p'");
  ASSERT_FALSE(start.empty());
  const std::string blkid = Shell("blkid -p -o export -s TYPE -s LABEL -O $((" + start.substr(0, start.find('\n')) +
                                  " * 512)) '" + image + "'");
  EXPECT_NE(std::string::npos, blkid.find("TYPE=ntfs\n")) << blkid;
  EXPECT_NE(std::string::npos, blkid.find("LABEL=iSCSI\n")) << blkid;
}

// An entry without '$' gives an empty user, which the dialog requires; cancelling then ends the
// login without a word and leaves 1030 and 1031 disabled until the next row click.
TEST_F(ConnectFlow, EntryWithoutUserThenCancel) {
  Install(winsim::ServiceStatus::Running);
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, 0));
    RunRefresh(dlg);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 1));
    hl::ScriptModal(IDD_CHAP, [&](ui::CDialog& chap) {
      hl::TypeText(chap, IDC_CHAP_SECRET, "chapsecret12");
      ASSERT_TRUE(hl::Click(chap, ui::kIdOk));
      EXPECT_EQ(iscsi::kChapUserEmptyMessage, hl::Text(chap, IDC_CHAP_MESSAGE));
      ASSERT_TRUE(hl::Click(chap, ui::kIdCancel));
    });
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    EXPECT_TRUE(hl::MessageBoxes().empty());
    EXPECT_FALSE(hl::Enabled(dlg, IDC_TARGET_CONNECT));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_MANAGEMENT));
    EXPECT_EQ(0u, hl::WindowOf(dlg.GetSafeHwnd())->timers.count(kTimerIscsi));
    EXPECT_FALSE(Ran("logintarget"));
    EXPECT_TRUE(wizardCalls.empty());
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 1));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_TARGET_CONNECT));
  });
}

// An apostrophe cannot change a double-quoted argument: a device's user and secret holding one
// are typed and reach the login command lines as they are.
TEST_F(ConnectFlow, ApostropheInTheDevicesChapValues) {
  std::string fabric = kFabric;
  fabric.replace(fabric.find("\"nas2chap\""), 10, "\"o'neil\"");
  fabric.replace(fabric.find("\"chapsecret12\""), 14, "\"it's-a-secret\"");
  ASSERT_TRUE(winsim::TheMachine().SetFabricText(fabric));
  fabric::Fabric f;
  ASSERT_TRUE(fabric::LoadFabric(fabric, &f, nullptr));
  port.devices[0].targets[0] = fabric::TargetEntryText(f.devices[0].targets[0]);
  Install(winsim::ServiceStatus::Running);
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, 0));
    RunRefresh(dlg);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 0));
    hl::ScriptModal(IDD_CHAP, [&](ui::CDialog& chap) {
      hl::TypeText(chap, IDC_CHAP_USER, "o'neil");
      hl::TypeText(chap, IDC_CHAP_SECRET, "it's-a-secret");
      ASSERT_TRUE(hl::Click(chap, ui::kIdOk));
    });
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    EXPECT_EQ(0, hl::PendingScripts()) << "the CHAP dialog opened";
    EXPECT_TRUE(hl::MessageBoxes().empty());
    EXPECT_TRUE(Ran(std::string("logintarget ") + kChapTarget + " t * * " + winsim::kDefaultInitiatorName +
                    " * * * * * * * * o'neil it's-a-secret 1 * 0"));
    EXPECT_EQ(Texts{kChapTarget}, wizardCalls) << "the session came up";
  });
}

// A target whose disk already carries a partition: the persistent volumes are bound and no wizard
// opens. Before that, an initiator that reports no name: the user is told, nothing runs and the
// list stays as it was.
TEST_F(ConnectFlow, DiskWithVolumeAndMissingInitiatorName) {
  Install(winsim::ServiceStatus::Running);
  std::filesystem::create_directories(images);
  const std::string image = (images / "10.77.0.11_iqn.2009-11.com.halden_plain.img").string();
  { std::ofstream(image, std::ios::binary).close(); }
  std::filesystem::resize_file(image, 16u << 20);
  ASSERT_EQ(0, std::system(("printf 'start=2048, type=7\\n' | sfdisk -q '" + image + "' >/dev/null").c_str()));
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, 0));
    RunRefresh(dlg);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 2));
    const Rows before = hl::Rows(dlg, IDC_TARGET_LIST);

    machine.initiator.SetInitiatorNames({});
    const std::size_t runsBefore = machine.initiator.ToolRuns().size();
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    ASSERT_EQ(1u, hl::MessageBoxes().size());
    EXPECT_EQ(iscsi::kNoInitiatorNameMessage, hl::MessageBoxes()[0].text);
    EXPECT_EQ("Corvane's Halden Seekwell", hl::MessageBoxes()[0].caption);
    EXPECT_EQ(runsBefore, machine.initiator.ToolRuns().size());
    EXPECT_EQ(0u, hl::WindowOf(dlg.GetSafeHwnd())->timers.count(kTimerIscsi));
    EXPECT_EQ(before, hl::Rows(dlg, IDC_TARGET_LIST));

    machine.initiator.SetInitiatorNames({winsim::kDefaultInitiatorName});
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    EXPECT_EQ(1u, hl::MessageBoxes().size());
    EXPECT_TRUE(Ran("BindPersistentVolumes"));
    EXPECT_TRUE(wizardCalls.empty());
    EXPECT_TRUE(diskManagerCalls.empty());
    RunRefresh(dlg);
    EXPECT_EQ((Rows{{"chap", "NO"}, {"nouser", "NO"}, {"plain", "YES"}}), hl::Rows(dlg, IDC_TARGET_LIST));
  });
}

// The service was stopped: the device's own list, Connect starts the service, and the login of the
// clicked row waits for the portal refresh and the first timer after it.
TEST_F(ConnectFlow, DeferredLoginAfterServiceStart) {
  Install(winsim::ServiceStatus::Stopped);
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, 0));
    ASSERT_EQ((Rows{{"chap", "NO"}, {"nouser", "NO"}, {"plain", "NO"}}), hl::Rows(dlg, IDC_TARGET_LIST));
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 2));
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    EXPECT_EQ(1, dlg.Iscsi().Flags().ServiceJustStarted);
    EXPECT_FALSE(Ran("logintarget")) << "not before the portal refresh";

    RunRefresh(dlg);
    EXPECT_TRUE(Ran(std::string("logintarget ") + kPlainTarget));
    EXPECT_EQ(Texts{kPlainTarget}, wizardCalls);
    EXPECT_EQ(0, dlg.Iscsi().Flags().ServiceJustStarted);
    RunRefresh(dlg);
    EXPECT_EQ((Rows{{"chap", "NO"}, {"nouser", "NO"}, {"plain", "YES"}}), hl::Rows(dlg, IDC_TARGET_LIST));
    EXPECT_TRUE(hl::MessageBoxes().empty());
  });
}

}  // namespace
}  // namespace sw::app
