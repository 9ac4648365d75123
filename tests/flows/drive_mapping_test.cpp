// The drive-mapping panel of the main dialog over the headless UI, a scripted device port and the
// simulated network drives, registry and Windows version: the letter combo, the share list with its
// letters, Connect by Windows version, Disconnect, and a device that vanished before Connect.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/device_port.h"
#include "app/login_dlg.h"
#include "app/seekwell_app.h"
#include "app/seekwell_dlg.h"
#include "fake_device_port.h"
#include "simulated_machine.h"
#include "protocol/protocol_state.h"
#include "resource.h"
#include "share/network_drives.h"
#include "share/reachability.h"
#include "ui/headless.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;
using Rows = std::vector<std::vector<std::string>>;
using Strings = std::vector<std::string>;
using Kind = winsim::NetworkCall::Kind;

// NAS1 offers two open shares and one with a non-Latin name; LOCKED's share needs bob's password.
constexpr const char* kFabric = R"({
  "devices": [
    {"name": "NAS1", "nodeId": "00:1c:c0:00:00:01", "address": "10.77.0.11",
     "shares": ["Volume_1", "Public", "Документы"]},
    {"name": "LOCKED", "nodeId": "00:1c:c0:00:00:02", "address": "10.77.0.12",
     "shares": [{"name": "Secure", "user": "bob", "password": "s3cret"}]}
  ],
  "drives": {"C:": "fixed", "D:": "cdrom"}
})";

void UseWindows(const char* name) {
  winsim::WindowsVersion windows;
  ASSERT_TRUE(winsim::ParseWindowsVersion(name, windows)) << name;
  winsim::TheMachine().SetVersion(windows);
}

class DriveMappingFlow : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    hl::Reset();
    std::string error;
    ASSERT_TRUE(winsim::TheMachine().SetFabricText(kFabric, &error)) << error;
    UseWindows("xp");
    SetDevicePort(&port);
    port.devices = {
        {"NAS1", "10.77.0.11", "255.255.255.0", "10.77.0.254", false, false, {"Volume_1", "Public", "Документы"}},
        {"LOCKED", "10.77.0.12", "255.255.255.0", "10.77.0.254", false, false, {"Secure"}},
    };
    share::SetProbeStandIn([this](const std::string& url) {
      probes.push_back(url);
      return probeAnswer;
    });
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    share::SetProbeStandIn({});
    SetDevicePort(nullptr);
  }

  void RunApp(std::function<void(CSeekwellDlg&)> script) {
    hl::ScriptModal(IDD_SEEKWELL_DIALOG, [script](ui::CDialog& d) {
      CSeekwellDlg& dlg = static_cast<CSeekwellDlg&>(d);
      script(dlg);
      if (!dlg.HasEnded()) hl::Click(dlg, IDC_EXIT);
    });
    CSeekwellApp app;
    ui::RunApplication(app);
  }

  static int RowOf(CSeekwellDlg& dlg, int list, const std::string& text) {
    Rows rows = hl::Rows(dlg, list);
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i][0] == text) return static_cast<int>(i);
    }
    return -1;
  }
  static int ItemOf(CSeekwellDlg& dlg, const std::string& text) {
    const Strings& items = hl::Control(dlg, IDC_DRIVE_LETTERS)->items;
    auto it = std::find(items.begin(), items.end(), text);
    return it == items.end() ? -1 : static_cast<int>(it - items.begin());
  }
  static std::string Location(CSeekwellDlg& dlg, const std::string& volume) {
    int row = RowOf(dlg, IDC_VOLUME_LIST, volume);
    return row < 0 ? "(absent)" : hl::Rows(dlg, IDC_VOLUME_LIST)[static_cast<size_t>(row)][1];
  }
  static std::string SelectedLetterItem(CSeekwellDlg& dlg) {
    hl::Window* combo = hl::Control(dlg, IDC_DRIVE_LETTERS);
    return combo->curSel < 0 ? "" : combo->items[static_cast<size_t>(combo->curSel)];
  }

  // Clicks the device, then the volume, then picks the letter and presses Connect.
  void Connect(CSeekwellDlg& dlg, const std::string& device, const std::string& volume, const std::string& letterItem) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, IDC_DEVICE_LIST, device)));
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_VOLUME_LIST, RowOf(dlg, IDC_VOLUME_LIST, volume)));
    ASSERT_TRUE(hl::SelectComboItem(dlg, IDC_DRIVE_LETTERS, ItemOf(dlg, letterItem))) << letterItem;
    winsim::TheMachine().letters.ClearCalls();
    ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_CONNECT));
  }

  static std::vector<winsim::NetworkCall> Adds() {
    std::vector<winsim::NetworkCall> adds;
    for (const auto& c : winsim::TheMachine().letters.Calls()) {
      if (c.kind == Kind::Add) adds.push_back(c);
    }
    return adds;
  }

  // Scripts the next login dialog: types the credentials and presses OK; counts the dialogs shown.
  void AnswerLogin(const std::string& user, const std::string& password) {
    hl::ScriptModal(IDD_LOGIN, [this, user, password](ui::CDialog& d) {
      ++loginDialogs;
      loginUserEnabled = hl::Enabled(d, IDC_LOGIN_USER);
      hl::TypeText(d, IDC_LOGIN_USER, user);
      hl::TypeText(d, IDC_LOGIN_PASSWORD, password);
      hl::Click(d, ui::kIdOk);
    });
  }

  test::FakeDevicePort port;
  std::vector<std::string> probes;
  share::ProbeAnswer probeAnswer = share::ProbeAnswer::Reachable;
  int loginDialogs = 0;
  bool loginUserEnabled = false;
};

TEST_F(DriveMappingFlow, ComboListsFreeAndMappedLettersFromZDownToCAndSelectsTheHighestFree) {
  winsim::TheMachine().letters.ClearDriveTypes();
  RunApp([&](CSeekwellDlg& dlg) {
    Strings expected;
    for (char c = 'Z'; c >= 'C'; --c) expected.push_back(std::string(1, c) + ":");
    EXPECT_EQ(hl::Control(dlg, IDC_DRIVE_LETTERS)->items, expected);
    EXPECT_EQ(SelectedLetterItem(dlg), "Z:");
  });

  // Local fixed, removable, CD and RAM drives are never offered, nor A: and B:; a mapped Z: is
  // listed with its remote name but never pre-selected.
  std::string error;
  ASSERT_TRUE(winsim::TheMachine().SetFabricText(R"({"devices": [], "drives": {"C:": "fixed", "E:": "removable", "F:": "cdrom",
                                        "R:": "ram", "A:": "none", "B:": "unknown"},
                                        "connections": {"Z:": "\\\\SRV\\SHARE", "Q:": "\\\\SRV\\SHARE\\SUB"}})",
                                    &error))
      << error;
  RunApp([&](CSeekwellDlg& dlg) {
    const Strings& items = hl::Control(dlg, IDC_DRIVE_LETTERS)->items;
    EXPECT_EQ(items.size(), 20u);
    EXPECT_EQ(items.front(), "Z: \\\\SRV\\SHARE");
    EXPECT_EQ(items[static_cast<size_t>(ItemOf(dlg, "Q: \\\\SRV\\SHARE\\SUB"))], "Q: \\\\SRV\\SHARE\\SUB");
    for (const char* absent : {"C:", "E:", "F:", "R:", "B:", "A:"}) EXPECT_EQ(ItemOf(dlg, absent), -1) << absent;
    EXPECT_EQ(items.back(), "D:");
    EXPECT_EQ(SelectedLetterItem(dlg), "Y:");
  });
}

TEST_F(DriveMappingFlow, WithEveryOfferedLetterMappedNothingIsSelectedAndConnectDoesNothing) {
  std::string connections;
  for (char c = 'D'; c <= 'Z'; ++c) {
    connections += std::string(connections.empty() ? "" : ",") + "\"" + c + ":\": \"\\\\\\\\SRV\\\\S" + c + "\"";
  }
  ASSERT_TRUE(winsim::TheMachine().SetFabricText(std::string(R"({"devices": [{"name": "NAS1", "nodeId": "00:1c:c0:00:00:01",
      "address": "10.77.0.11", "shares": ["Volume_1"]}], "drives": {"C:": "fixed"}, "connections": {)") +
                                    connections + "}}"));
  RunApp([&](CSeekwellDlg& dlg) {
    EXPECT_EQ(hl::Control(dlg, IDC_DRIVE_LETTERS)->items.size(), 23u);
    EXPECT_EQ(hl::Control(dlg, IDC_DRIVE_LETTERS)->curSel, -1);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, IDC_DEVICE_LIST, "NAS1")));
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_VOLUME_LIST, RowOf(dlg, IDC_VOLUME_LIST, "Volume_1")));
    winsim::TheMachine().letters.ClearCalls();
    ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_CONNECT));
    EXPECT_TRUE(winsim::TheMachine().letters.Calls().empty());
    EXPECT_TRUE(hl::MessageBoxes().empty());
    EXPECT_EQ(hl::CurrentCursorResource(), 0);
  });
}

TEST_F(DriveMappingFlow, DeviceClickListsSharesWithTheLowestMatchingLetterAnyCase) {
  ASSERT_TRUE(winsim::TheMachine().SetFabricText(std::string(kFabric).replace(
      std::string(kFabric).rfind('}'), 1,
      R"(, "connections": {"X:": "\\\\nas1\\PUBLIC", "M:": "\\\\10.77.0.11\\public", "K:": "\\\\OTHER\\Public"}})")));
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, IDC_DEVICE_LIST, "NAS1")));
    EXPECT_EQ(port.shareQueries, 1);
    EXPECT_EQ(hl::Rows(dlg, IDC_VOLUME_LIST), (Rows{{"Volume_1", ""}, {"Public", "M:"}, {"Документы", ""}}));
    EXPECT_TRUE(hl::Control(dlg, IDC_VOLUME_LIST)->redraw);

    // A device that does not answer the share query gets an empty list and no message.
    port.devices[1].answersQueries = false;
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, IDC_DEVICE_LIST, "LOCKED")));
    EXPECT_TRUE(hl::Rows(dlg, IDC_VOLUME_LIST).empty());
    EXPECT_TRUE(hl::MessageBoxes().empty());
  });
}

TEST_F(DriveMappingFlow, ConnectMapsTheShareAndShowsItsLetter) {
  RunApp([&](CSeekwellDlg& dlg) {
    Connect(dlg, "NAS1", "Volume_1", "Z:");
    ASSERT_EQ(winsim::TheMachine().letters.Calls().size(), 2u);
    // The letter's old mapping is cancelled first (forced, profile updated), then one attempt does it.
    EXPECT_EQ(winsim::TheMachine().letters.Calls()[0].kind, Kind::Cancel);
    EXPECT_EQ(winsim::TheMachine().letters.Calls()[0].localName, "Z:");
    EXPECT_EQ(winsim::TheMachine().letters.Calls()[0].flags, share::kConnectUpdateProfile);
    EXPECT_TRUE(winsim::TheMachine().letters.Calls()[0].force);
    const winsim::NetworkCall add = winsim::TheMachine().letters.Calls()[1];
    EXPECT_EQ(add.remoteName, "\\\\NAS1\\Volume_1");
    EXPECT_EQ(add.localName, "Z:");
    EXPECT_EQ(add.userName, "");
    EXPECT_EQ(add.password, "");
    EXPECT_EQ(add.flags, share::kConnectUpdateProfile);
    EXPECT_EQ(probes, Strings{"http://10.77.0.11"});
    EXPECT_STREQ(dlg.Selection().SelectedDeviceAddress(), "10.77.0.11");

    ASSERT_EQ(hl::MessageBoxes().size(), 1u);
    EXPECT_EQ(hl::MessageBoxes()[0].text, "Successfully mapped drive.");
    EXPECT_EQ(hl::MessageBoxes()[0].caption, "Confirm");
    EXPECT_EQ(hl::MessageBoxes()[0].flags, ui::kMbIconInformation);
    EXPECT_EQ(Location(dlg, "Volume_1"), "Z:");
    EXPECT_EQ(hl::Control(dlg, IDC_DRIVE_LETTERS)->items[0], "Z: \\\\NAS1\\Volume_1");
    EXPECT_EQ(SelectedLetterItem(dlg), "Y:");
    EXPECT_EQ(hl::CurrentCursorResource(), 0);
    EXPECT_EQ(share::ReachabilityFlag(), share::kReachabilityPending);

    // Connect on a letter already mapped replaces that mapping.
    Connect(dlg, "NAS1", "Public", "Z: \\\\NAS1\\Volume_1");
    EXPECT_EQ(winsim::TheMachine().letters.Connection('Z'), "\\\\NAS1\\Public");
    EXPECT_EQ(Location(dlg, "Public"), "Z:");
    EXPECT_EQ(Location(dlg, "Volume_1"), "");
  });
}

TEST_F(DriveMappingFlow, ConnectWithoutAVolumeRowWarnsAndProbesNothing) {
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, IDC_DEVICE_LIST, "NAS1")));
    winsim::TheMachine().letters.ClearCalls();
    ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_CONNECT));
    ASSERT_EQ(hl::MessageBoxes().size(), 1u);
    EXPECT_EQ(hl::MessageBoxes()[0].text, "Please select a device in the above section.");
    EXPECT_EQ(hl::MessageBoxes()[0].caption, "Warning");
    EXPECT_EQ(hl::MessageBoxes()[0].flags, ui::kMbIconExclamation);
    EXPECT_TRUE(probes.empty());
    EXPECT_TRUE(winsim::TheMachine().letters.Calls().empty());
    EXPECT_EQ(hl::CurrentCursorResource(), 0);
  });
}

TEST_F(DriveMappingFlow, OnXpSixSilentAttemptsThenTheLoginDialogThenOneWithWhatWasTyped) {
  RunApp([&](CSeekwellDlg& dlg) {
    AnswerLogin("bob", "s3cret");
    Connect(dlg, "LOCKED", "Secure", "Z:");
    std::vector<winsim::NetworkCall> adds = Adds();
    ASSERT_EQ(adds.size(), 7u);
    for (int i = 0; i < 6; ++i) {
      EXPECT_EQ(adds[static_cast<size_t>(i)].userName, "") << i;
      EXPECT_EQ(adds[static_cast<size_t>(i)].password, "") << i;
      EXPECT_EQ(adds[static_cast<size_t>(i)].flags, 1u) << i;
      EXPECT_EQ(adds[static_cast<size_t>(i)].result, share::kErrorInvalidPassword) << i;
    }
    EXPECT_EQ(adds[6].userName, "bob");
    EXPECT_EQ(adds[6].password, "s3cret");
    EXPECT_EQ(adds[6].flags, 1u);
    EXPECT_EQ(adds[6].result, share::kNoError);
    EXPECT_EQ(loginDialogs, 1);
    EXPECT_TRUE(loginUserEnabled);
    EXPECT_EQ(AdminLoginMode, 0);
    EXPECT_EQ(Location(dlg, "Secure"), "Z:");

    // Credentials never carry over to the next Connect: it starts with empty ones again.
    AnswerLogin("bob", "wrong");
    Connect(dlg, "LOCKED", "Secure", "Y:");
    adds = Adds();
    ASSERT_EQ(adds.size(), 7u);
    EXPECT_EQ(adds[0].userName, "");
    EXPECT_EQ(adds[6].password, "wrong");
    EXPECT_EQ(hl::MessageBoxes().back().text, "Failed to map drive.");
    EXPECT_EQ(hl::MessageBoxes().back().caption, "Error");
    EXPECT_EQ(hl::MessageBoxes().back().flags, ui::kMbIconStop);
    EXPECT_EQ(winsim::TheMachine().letters.Connection('Y'), "");
  });
}

TEST_F(DriveMappingFlow, OnVistaAndLaterTheSeventhAttemptLetsWindowsAskAndNoLoginDialogShows) {
  UseWindows("win7+wow64");
  winsim::TheMachine().letters.SetCredentialPrompt([](const std::string&, std::string& user, std::string& password) {
    user = "bob";
    password = "s3cret";
    return true;
  });
  RunApp([&](CSeekwellDlg& dlg) {
    // Armed but never used: a login dialog would take this script.
    AnswerLogin("x", "y");
    Connect(dlg, "LOCKED", "Secure", "Z:");
    EXPECT_EQ(hl::PendingScripts(), 1);
    EXPECT_EQ(loginDialogs, 0);
    std::vector<winsim::NetworkCall> adds = Adds();
    ASSERT_EQ(adds.size(), 7u);
    EXPECT_EQ(adds[5].flags, 1u);
    EXPECT_EQ(adds[6].flags, 9u);
    EXPECT_EQ(adds[6].userName, "");
    EXPECT_EQ(adds[6].password, "");
    EXPECT_EQ(adds[6].result, share::kNoError);
    // A 32-bit program on 64-bit Vista or later: the user's Explorer sees the drive after a restart.
    EXPECT_EQ(hl::MessageBoxes().back().text,
              "Successfully mapped drive.\nPlease restart your PC to see drive mapping.");
  });
  // The policy that lets the user's Explorer see what the elevated program mapped.
  EXPECT_NE(machine.registry.Dump().find(
                "HKLM\\Software\\Microsoft\\Windows\\CurrentVersion\\Policies\\System \"EnableLinkedConnections\" dword:1"),
            std::string::npos)
      << machine.registry.Dump();
}

TEST_F(DriveMappingFlow, OnNt4TheLoginDialogComesFirstAndSixAttemptsUseWhatWasTyped) {
  UseWindows("nt4");
  RunApp([&](CSeekwellDlg& dlg) {
    AnswerLogin("bob", "wrong");
    Connect(dlg, "LOCKED", "Secure", "Z:");
    std::vector<winsim::NetworkCall> adds = Adds();
    ASSERT_EQ(adds.size(), 6u);
    for (const auto& add : adds) {
      EXPECT_EQ(add.userName, "bob");
      EXPECT_EQ(add.password, "wrong");
      EXPECT_EQ(add.flags, 1u);
    }
    EXPECT_EQ(loginDialogs, 1);
    EXPECT_EQ(hl::MessageBoxes().back().text, "Failed to map drive.");
    // No refresh after a failure: the list keeps its state.
    EXPECT_EQ(Location(dlg, "Secure"), "");
  });
  // Not a Vista-or-later workstation: the policy is left alone.
  EXPECT_EQ(machine.registry.Dump().find("EnableLinkedConnections"), std::string::npos);
}

TEST_F(DriveMappingFlow, ADeviceSwitchedOffBeforeConnectIsReportedAfterTwoSecondsAndSearchedAgain) {
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, IDC_DEVICE_LIST, "NAS1")));
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_VOLUME_LIST, RowOf(dlg, IDC_VOLUME_LIST, "Volume_1")));
    // Switched off: the check hangs, and the device no longer answers discovery.
    probeAnswer = share::ProbeAnswer::NoAnswer;
    port.devices.erase(port.devices.begin());
    const int discoversBefore = port.discovers;
    const size_t logBefore = hl::Log().size();
    const std::uint32_t before = hl::Now();
    winsim::TheMachine().letters.ClearCalls();
    ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_CONNECT));

    ASSERT_EQ(hl::MessageBoxes().size(), 1u);
    EXPECT_EQ(hl::MessageBoxes()[0].text, "Device is no longer available.");
    EXPECT_EQ(hl::MessageBoxes()[0].caption, "Warning");
    EXPECT_EQ(hl::MessageBoxes()[0].flags, ui::kMbIconExclamation);
    // Two one-second sleeps before giving up, then a discovery pass of about 1.5 s.
    std::vector<std::string> sleeps;
    for (size_t i = logBefore; i < hl::Log().size() && sleeps.size() < 2; ++i) {
      if (hl::Log()[i].rfind("sleep", 0) == 0) sleeps.push_back(hl::Log()[i]);
    }
    EXPECT_EQ(sleeps, (Strings{"sleep 1000", "sleep 1000"}));
    EXPECT_GE(hl::Now() - before, 3000u);
    EXPECT_LE(hl::Now() - before, 3700u);
    EXPECT_EQ(port.discovers, discoversBefore + 2);
    EXPECT_EQ(hl::Rows(dlg, IDC_DEVICE_LIST).size(), 1u);
    EXPECT_EQ(dlg.Selection().DeviceSelected, 0);
    EXPECT_TRUE(Adds().empty());
    EXPECT_EQ(share::ReachabilityFlag(), share::kReachabilityPending);
    EXPECT_EQ(hl::CurrentCursorResource(), 0);
  });
}

TEST_F(DriveMappingFlow, LocationAfterConnectComparesServersExactlyAndAfterDisconnectIgnoringCase) {
  ASSERT_TRUE(winsim::TheMachine().SetFabricText(std::string(kFabric).replace(std::string(kFabric).rfind('}'), 1,
                                                                 R"(, "connections": {"P:": "\\\\nas1\\Public"}})")));
  RunApp([&](CSeekwellDlg& dlg) {
    Connect(dlg, "NAS1", "Volume_1", "Z:");
    EXPECT_EQ(Location(dlg, "Volume_1"), "Z:");
    EXPECT_EQ(Location(dlg, "Public"), "");  // "nas1" is not "NAS1" after Connect

    // Disconnect the selected volume's letter: the list rebuilt ignores case again.
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_VOLUME_LIST, RowOf(dlg, IDC_VOLUME_LIST, "Volume_1")));
    winsim::TheMachine().letters.ClearCalls();
    ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_DISCONNECT));
    ASSERT_EQ(winsim::TheMachine().letters.Calls().size(), 1u);
    EXPECT_EQ(winsim::TheMachine().letters.Calls()[0].kind, Kind::Cancel);
    EXPECT_EQ(winsim::TheMachine().letters.Calls()[0].localName, "Z:");
    EXPECT_TRUE(winsim::TheMachine().letters.Calls()[0].force);
    EXPECT_EQ(hl::MessageBoxes().back().text, "Successfully unmapped drive.");
    EXPECT_EQ(hl::MessageBoxes().back().caption, "Confirm");
    EXPECT_EQ(Location(dlg, "Volume_1"), "");
    EXPECT_EQ(Location(dlg, "Public"), "P:");
    EXPECT_EQ(SelectedLetterItem(dlg), "Z:");
    EXPECT_EQ(hl::CurrentCursorResource(), 0);
  });
}

TEST_F(DriveMappingFlow, DisconnectTakesTheVolumeLetterElseTheComboItem) {
  ASSERT_TRUE(winsim::TheMachine().SetFabricText(std::string(kFabric).replace(std::string(kFabric).rfind('}'), 1,
                                                                 R"(, "connections": {"X:": "\\\\SRV\\SHARE"}})")));
  RunApp([&](CSeekwellDlg& dlg) {
    // A selected volume without a letter cannot be disconnected.
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, IDC_DEVICE_LIST, "NAS1")));
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_VOLUME_LIST, RowOf(dlg, IDC_VOLUME_LIST, "Public")));
    ASSERT_TRUE(hl::SelectComboItem(dlg, IDC_DRIVE_LETTERS, ItemOf(dlg, "X: \\\\SRV\\SHARE")));
    ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_DISCONNECT));
    EXPECT_EQ(hl::MessageBoxes().back().text,
              "Unable to disconnect this drive.\nPlease select a drive to disconnect and verify that the drive is "
              "not being accessed.");
    EXPECT_EQ(hl::MessageBoxes().back().caption, "Error");
    EXPECT_EQ(hl::MessageBoxes().back().flags, ui::kMbIconStop);
    EXPECT_EQ(winsim::TheMachine().letters.Connection('X'), "\\\\SRV\\SHARE");

    // With no volume row selected the combo's item says which letter.
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_VOLUME_LIST, -1));
    ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_DISCONNECT));
    EXPECT_EQ(winsim::TheMachine().letters.Connection('X'), "");
    EXPECT_EQ(hl::MessageBoxes().back().text, "Successfully unmapped drive.");
    EXPECT_EQ(ItemOf(dlg, "X:"), 2);

    // Nothing selected anywhere: nothing happens.
    hl::Control(dlg, IDC_DRIVE_LETTERS)->curSel = -1;
    const size_t boxes = hl::MessageBoxes().size();
    winsim::TheMachine().letters.ClearCalls();
    ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_DISCONNECT));
    EXPECT_TRUE(winsim::TheMachine().letters.Calls().empty());
    EXPECT_EQ(hl::MessageBoxes().size(), boxes);
  });
}

TEST_F(DriveMappingFlow, AShareWithNonLatinLettersMapsEndToEnd) {
  RunApp([&](CSeekwellDlg& dlg) {
    Connect(dlg, "NAS1", "Документы", "Z:");
    ASSERT_EQ(Adds().size(), 1u);
    EXPECT_EQ(Adds()[0].remoteName, "\\\\NAS1\\Документы");
    EXPECT_EQ(Adds()[0].result, share::kNoError);
    EXPECT_EQ(Location(dlg, "Документы"), "Z:");
    EXPECT_EQ(hl::Control(dlg, IDC_DRIVE_LETTERS)->items[0], "Z: \\\\NAS1\\Документы");
  });
}

TEST_F(DriveMappingFlow, ShareNamesThatWouldLeaveTheDeviceAreNotOffered) {
  port.devices[0].shares = {"Volume_1", "..\\..\\OTHER\\C$", "a/b", std::string("bell\a"), "Public"};
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, IDC_DEVICE_LIST, "NAS1")));
    EXPECT_EQ(protocol::GetProtocolState().shareNameList.count, 5);
    EXPECT_EQ(hl::Rows(dlg, IDC_VOLUME_LIST), (Rows{{"Volume_1", ""}, {"Public", ""}}));
  });
}

TEST_F(DriveMappingFlow, AShareNameTheCodePageCannotHoldIsShownButNeverMapped) {
  // Not UTF-8: shown with '?' in place of what was lost, and never used to name a share, so the
  // letter's current mapping stays.
  port.devices[0].shares = {"Bad\xff\xfeName"};
  winsim::TheMachine().letters.SetConnection('Z', "\\\\SRV\\SHARE");
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, IDC_DEVICE_LIST, "NAS1")));
    ASSERT_EQ(hl::Rows(dlg, IDC_VOLUME_LIST).size(), 1u);
    const std::string shown = hl::Rows(dlg, IDC_VOLUME_LIST)[0][0];
    EXPECT_NE(shown.find('?'), std::string::npos) << shown;
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_VOLUME_LIST, 0));
    ASSERT_TRUE(hl::SelectComboItem(dlg, IDC_DRIVE_LETTERS, 0));
    winsim::TheMachine().letters.ClearCalls();
    ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_CONNECT));
    EXPECT_TRUE(winsim::TheMachine().letters.Calls().empty());
    EXPECT_EQ(hl::MessageBoxes().back().text, "Failed to map drive.");
    EXPECT_EQ(winsim::TheMachine().letters.Connection('Z'), "\\\\SRV\\SHARE");
  });
}

}  // namespace
}  // namespace sw::app
