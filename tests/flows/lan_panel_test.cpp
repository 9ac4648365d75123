// The LAN settings panel over the headless UI, the simulated initiator and devices played by
// halden-sim's device code: every refusal of Apply with its box and focused field, the static road,
// the login check, and the switch to DHCP with its ten-second wait and completion.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/device_port.h"
#include "app/logout_context.h"
#include "app/seekwell_app.h"
#include "app/seekwell_dlg.h"
#include "iscsi/command_lines.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/target_list.h"
#include "peer_device_port.h"
#include "protocol/protocol_state.h"
#include "resource.h"
#include "ui/headless.h"
#include "unit/iscsi_sim_fixture.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;
using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kTarget = "iqn.2009-11.com.halden:open.disk1";
constexpr const char* kFabric = R"({"devices": [
  {"name": "NAS-OPEN", "address": "10.77.0.11", "nodeId": "02:00:00:00:00:11", "gateway": "10.77.0.1",
   "announcement": "extended", "iscsi": true, "adminPassword": "",
   "targets": [{"name": "iqn.2009-11.com.halden:open.disk1", "sizeMiB": 8}]},
  {"name": "NAS-LOCKED", "address": "10.77.0.12", "nodeId": "02:00:00:00:00:12", "gateway": "10.77.0.1",
   "adminPassword": "secret", "dhcpPool": ["10.77.0.112"]}]})";

class LanPanelFlow : public iscsi::IscsiSim {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    iscsi::IscsiSim::SetUp();
    ASSERT_TRUE(machine.SetFabricText(kFabric));
    hl::Reset();
    SetDevicePort(&port);
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    SetDevicePort(nullptr);
    SetLogoutVolumeInventory({});
    iscsi::IscsiSim::TearDown();
  }

  void RunApp(std::function<void(CSeekwellDlg&)> script) {
    hl::ScriptModal(IDD_SEEKWELL_DIALOG, [script](ui::CDialog& d) {
      script(static_cast<CSeekwellDlg&>(d));
      hl::Click(d, IDC_EXIT);
    });
    CSeekwellApp app;
    ui::RunApplication(app);
  }

  static int RowOf(CSeekwellDlg& dlg, const std::string& name) {
    Rows rows = hl::Rows(dlg, IDC_DEVICE_LIST);
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i][0] == name) return static_cast<int>(i);
    }
    return -1;
  }

  static void Fill(CSeekwellDlg& dlg, int id, const std::array<int, 4>& f) {
    ASSERT_TRUE(hl::SetAddressFields(dlg, id, f[0], f[1], f[2], f[3]));
  }

  // A click on the device, then the list as the initiator's road fills it.
  static void ShowTargetsOf(CSeekwellDlg& dlg, const std::string& name) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, name)));
    auto* main = hl::WindowOf(dlg.GetSafeHwnd());
    ASSERT_TRUE(hl::PumpMessagesUntil([&] { return main->timers.count(kTimerIscsi) > 0; }));
    hl::AdvanceClock(main->timers[kTimerIscsi].interval);
  }

  int LoginChecks() const { return port.Requests(protocol::QUERY, protocol::SUB_QUERY_LOGIN); }
  int SetRequests() const { return port.Requests(protocol::SET); }

  test::PeerDevicePort port{kFabric};
};

constexpr std::array<int, 4> kBlank{-1, -1, -1, -1};
constexpr std::array<int, 4> kIp{10, 77, 0, 50}, kMask{255, 255, 0, 0}, kGateway{10, 77, 0, 1};
constexpr unsigned kWarning = ui::kMbIconExclamation, kInfo = ui::kMbIconInformation;

struct Refusal {
  std::array<int, 4> ip, mask, gateway;
  const char* message;
  const char* caption;
  unsigned icon;
  int focusControl;  // 0: the focus is not moved
  int focusField;
};

const Refusal kRefusals[] = {
    {kBlank, kMask, kGateway, "Please input IP address!", "Warning", kWarning, 0, 0},
    {kIp, kBlank, kGateway, "Please input net mask address!", "Warning", kWarning, 0, 0},
    {kIp, kMask, kBlank, "Please input gateway address!", "Warning", kWarning, 0, 0},
    {{127, 0, 0, 5}, kMask, kGateway, "IP address input error. Please try again.", "Warning", kWarning, 0, 0},
    {kIp, {127, 255, 0, 0}, kGateway, "Subnet mask address input error. Please try again.", "Warning", kWarning, 0, 0},
    {kIp, kMask, {127, 0, 0, 1}, "Gateway IP address input error. Please try again.", "Warning", kWarning, 0, 0},
    {{0, 77, 0, 50}, kMask, kGateway, "Invalid IP address in 1st digit. It should be 1-254.", "Error", kInfo,
     IDC_DEVICE_IP, 0},
    {{255, 77, 0, 50}, kMask, kGateway, "Invalid IP address in 1st digit. It should be 1-254.", "Error", kInfo,
     IDC_DEVICE_IP, 0},
    {{10, 255, 0, 50}, kMask, kGateway, "Invalid IP address in 2nd digit. It should be 0-254.", "Error", kInfo,
     IDC_DEVICE_IP, 1},
    {{10, 77, 255, 50}, kMask, kGateway, "Invalid IP address in 3rd digit. It should be 0-254.", "Error", kInfo,
     IDC_DEVICE_IP, 2},
    {{10, 0, 0, 255}, kMask, kGateway, "Invalid IP address in 4th digit. It should be 1-254.", "Error", kInfo,
     IDC_DEVICE_IP, 3},
    {{10, 77, 0, 0}, kMask, kGateway, "Invalid IP address in 4th digit. It should be 1-254.", "Error", kInfo,
     IDC_DEVICE_IP, 3},
    {kIp, {0, 255, 0, 0}, kGateway, "Invalid subnet mask address in 1st digit. It should be 1-255.", "Error", kInfo,
     IDC_DEVICE_NETMASK, 0},
    {kIp, {255, 255, 255, 255}, kGateway, "Invalid subnet mask address in 4th digit. It should be 0-254.", "Error",
     kInfo, IDC_DEVICE_NETMASK, 3},
    {kIp, kMask, {0, 77, 0, 1}, "Invalid gateway IP address in 1st digit. It should be 1-255.", "Error", kInfo,
     IDC_DEVICE_GATEWAY, 0},
    {kIp, kMask, {10, 77, 0, 255}, "Invalid gateway IP address in 4th digit. It should be 1-254.", "Error", kInfo,
     IDC_DEVICE_GATEWAY, 3},
    {kIp, kMask, {10, 77, 0, 0}, "Invalid gateway IP address in 4th digit. It should be 1-254.", "Error", kInfo,
     IDC_DEVICE_GATEWAY, 3},
    {kGateway, kMask, kGateway,
     "IP address and the gateway address have the same address. Please modify ip address.", "Warning", kWarning, 0, 0},
    {kIp, kIp, kGateway, "IP address and the mask address have the same address. Please modify ip address.",
     "Warning", kWarning, 0, 0},
    {kIp, {10, 77, 0, 2}, {10, 77, 0, 2},
     "Gateway address and the mask address have the same address. Please modify the mask or gateway address.",
     "Warning", kWarning, 0, 0},
    {{224, 0, 0, 1}, kMask, kGateway,
     "Ip address and the multicast address have the same address. Please modify the ip address.", "Warning",
     kWarning, 0, 0},
    // No other multicast address (the request builder would refuse it unsent), nor a reserved one
    // (no host could reach the device there).
    {{239, 1, 2, 3}, kMask, kGateway,
     "Ip address and the multicast address have the same address. Please modify the ip address.", "Warning",
     kWarning, 0, 0},
    {{240, 0, 0, 5}, kMask, kGateway,
     "Ip address and the multicast address have the same address. Please modify the ip address.", "Warning",
     kWarning, 0, 0},
};

TEST_F(LanPanelFlow, EveryRefusalShowsItsBoxFocusesTheFieldAndSendsNothing) {
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::Click(dlg, IDC_APPLY));
    ASSERT_EQ(hl::MessageBoxes().size(), 1u);
    EXPECT_EQ(hl::MessageBoxes().back().text, "Please select a device in the above section.");
    EXPECT_EQ(hl::MessageBoxes().back().caption, "Error");
    EXPECT_EQ(hl::MessageBoxes().back().flags, ui::kMbIconStop);

    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-OPEN")));
    for (const Refusal& r : kRefusals) {
      SCOPED_TRACE(r.message);
      Fill(dlg, IDC_DEVICE_IP, r.ip);
      Fill(dlg, IDC_DEVICE_NETMASK, r.mask);
      Fill(dlg, IDC_DEVICE_GATEWAY, r.gateway);
      hl::Control(dlg, IDC_REFRESH)->hasFocus = true;  // wherever the focus was before
      const size_t boxes = hl::MessageBoxes().size();
      ASSERT_TRUE(hl::Click(dlg, IDC_APPLY));
      ASSERT_EQ(hl::MessageBoxes().size(), boxes + 1);
      EXPECT_EQ(hl::MessageBoxes().back().text, r.message);
      EXPECT_EQ(hl::MessageBoxes().back().caption, r.caption);
      EXPECT_EQ(hl::MessageBoxes().back().flags, r.icon);
      if (r.focusControl) {
        EXPECT_TRUE(hl::Control(dlg, r.focusControl)->hasFocus);
        EXPECT_EQ(hl::Control(dlg, r.focusControl)->focusField, r.focusField);
      } else {
        EXPECT_TRUE(hl::Control(dlg, IDC_REFRESH)->hasFocus);
      }
    }
    EXPECT_EQ(LoginChecks(), 0);
    EXPECT_EQ(SetRequests(), 0);
    EXPECT_EQ(port.Find("NAS-OPEN")->address, "10.77.0.11");
  });
}

TEST_F(LanPanelFlow, StaticRoadEndsTheSessionsFirstThenMovesTheDeviceWithoutAskingForLogin) {
  iscsi::CWmiWrapper wmi;
  ASSERT_EQ(0, iscsi::AddDevicePortal(wmi, "10.77.0.11"));
  ASSERT_TRUE(iscsi::RunCommand(iscsi::LoginTargetCommand(kTarget, winsim::kDefaultInitiatorName).value()));
  ASSERT_TRUE(iscsi::RunCommand(iscsi::AddPersistentDeviceCommand("E:\\").value()));
  SetLogoutVolumeInventory([] { return std::vector<iscsi::InventoryVolume>{{"E:\\", kTarget}}; });
  bool loginShown = false;
  hl::ScriptModal(IDD_LOGIN, [&](ui::CDialog& d) {
    loginShown = true;
    hl::Click(d, ui::kIdCancel);
  });

  RunApp([&](CSeekwellDlg& dlg) {
    ShowTargetsOf(dlg, "NAS-OPEN");
    ASSERT_EQ(dlg.Iscsi().TargetRowStatuses(), std::vector<std::string>{"YES"});
    machine.processes.Reset();

    // A gateway equal to the address is refused only after the sessions were ended.
    Fill(dlg, IDC_DEVICE_IP, {10, 77, 0, 50});
    Fill(dlg, IDC_DEVICE_GATEWAY, {10, 77, 0, 50});
    ASSERT_TRUE(hl::Click(dlg, IDC_APPLY));
    EXPECT_EQ(hl::MessageBoxes().back().text,
              "IP address and the gateway address have the same address. Please modify ip address.");
    EXPECT_TRUE(machine.initiator.Snapshot().sessions.empty());
    EXPECT_TRUE(machine.initiator.Snapshot().persistentDevices.empty());
    const std::vector<std::string> launches = machine.processes.Launches();
    ASSERT_GE(launches.size(), 5u);
    EXPECT_EQ(launches[0], "iscsicli RemovePersistentDevice E:\\");
    EXPECT_EQ(launches[1].rfind("iscsicli logouttarget ", 0), 0u);
    EXPECT_EQ((std::vector<std::string>(launches.end() - 3, launches.end())),
              (std::vector<std::string>{"iscsicli ClearPersistentDevices ", "iscsicli RemoveTargetPortal 10.77.0.11 3260",
                                        "iscsicli ListTargets t"}));
    EXPECT_EQ(LoginChecks(), 0);
    EXPECT_EQ(dlg.Iscsi().LogoutInProgress, 1);

    Fill(dlg, IDC_DEVICE_GATEWAY, {10, 77, 0, 1});
    ASSERT_TRUE(hl::Click(dlg, IDC_APPLY));
    EXPECT_FALSE(loginShown) << "the device accepts admin with the empty password";
    EXPECT_EQ(LoginChecks(), 1);
    EXPECT_EQ(SetRequests(), 1);
    EXPECT_EQ(port.Find("NAS-OPEN")->address, "10.77.0.50");
    EXPECT_EQ(hl::Rows(dlg, IDC_DEVICE_LIST),
              (Rows{{"NAS-OPEN", "10.77.0.50", "255.255.0.0", "10.77.0.1"},
                    {"NAS-LOCKED", "10.77.0.12", "255.255.0.0", "10.77.0.1"}}));
    EXPECT_TRUE(hl::Rows(dlg, IDC_TARGET_LIST).empty());
    EXPECT_EQ(hl::AddressText(dlg, IDC_DEVICE_IP), "");
    EXPECT_TRUE(hl::Enabled(dlg, IDC_REFRESH));
    EXPECT_EQ(dlg.Selection().DeviceSelected, 1);
    EXPECT_EQ(hl::CurrentCursorResource(), 0);
  });
}

TEST_F(LanPanelFlow, CancelRetriesTheDefaultThenDhcpSwitchWaitsPaintingAndRelistsOnTheTimer) {
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-LOCKED")));
    dlg.Iscsi().EnableTargetButtons();
    ASSERT_TRUE(hl::SelectComboItem(dlg, IDC_DHCP, 1));
    for (int id : {IDC_DEVICE_IP, IDC_DEVICE_NETMASK, IDC_DEVICE_GATEWAY, IDC_TARGET_CONNECT, IDC_MANAGEMENT}) {
      EXPECT_FALSE(hl::Enabled(dlg, id)) << id << " still enabled before Apply";
    }

    hl::ScriptModal(IDD_LOGIN, [](ui::CDialog& d) {
      EXPECT_EQ(hl::Text(d, IDC_LOGIN_USER), "admin");
      hl::Click(d, ui::kIdCancel);
    });
    ASSERT_TRUE(hl::Click(dlg, IDC_APPLY));
    EXPECT_EQ(hl::MessageBoxes().back().text, "Wrong administrator password input!");
    EXPECT_EQ(hl::MessageBoxes().back().caption, "Error");
    EXPECT_EQ(hl::MessageBoxes().back().flags, ui::kMbIconStop);
    ASSERT_EQ(LoginChecks(), 2);
    std::vector<test::Bytes> checks;
    for (const auto& s : port.sent) {
      if (s.bytes[0] == protocol::QUERY && s.bytes[21] == protocol::SUB_QUERY_LOGIN) checks.push_back(s.bytes);
    }
    EXPECT_EQ(checks[0], checks[1]) << "Cancel must retry the same credentials";
    EXPECT_EQ(SetRequests(), 0);

    hl::ScriptModal(IDD_LOGIN, [](ui::CDialog& d) {
      hl::TypeText(d, IDC_LOGIN_PASSWORD, "secret");
      hl::Click(d, ui::kIdOk);
    });
    const size_t logAt = hl::Log().size();
    const std::uint32_t before = hl::Now();
    ASSERT_TRUE(hl::Click(dlg, IDC_APPLY));
    EXPECT_GE(hl::Now() - before, 10000u);
    EXPECT_EQ(hl::MessageBoxes().back().text, "Getting IP Address ...\nPlease wait 10 seconds.");
    EXPECT_EQ(hl::MessageBoxes().back().caption, "Confirm");
    EXPECT_EQ(hl::MessageBoxes().back().flags, ui::kMbIconInformation);
    const std::vector<std::string> log(hl::Log().begin() + static_cast<long>(logAt), hl::Log().end());
    const auto box = std::find(log.begin(), log.end(), "message-box Confirm");
    const auto wait = std::find(log.begin(), log.end(), "wait-painting 10000");
    EXPECT_LT(box, wait) << "the wait follows the box";
    EXPECT_NE(wait, log.end());
    EXPECT_EQ(std::find(log.begin(), log.end(), "sleep 10000"), log.end()) << "a dead sleep";
    EXPECT_EQ(port.Find("NAS-LOCKED")->address, "10.77.0.112");
    EXPECT_TRUE(port.Find("NAS-LOCKED")->dhcp);

    // Waiting for the timer: the lists are empty, nothing can be refreshed, nothing is selected.
    for (int list : {IDC_DEVICE_LIST, IDC_VOLUME_LIST, IDC_TARGET_LIST}) EXPECT_TRUE(hl::Rows(dlg, list).empty());
    EXPECT_FALSE(hl::Enabled(dlg, IDC_REFRESH));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_DEVICE_IP));
    EXPECT_EQ(hl::AddressText(dlg, IDC_DEVICE_IP), "");
    EXPECT_EQ(dlg.Selection().DeviceSelected, 0);
    EXPECT_EQ(hl::CurrentCursorResource(), 0);

    hl::AdvanceClock(0);
    EXPECT_EQ(hl::MessageBoxes().back().text, "DHCP client enabled.");
    EXPECT_EQ(hl::MessageBoxes().back().caption, "Confirm");
    EXPECT_EQ(hl::MessageBoxes().back().flags, ui::kMbIconInformation);
    EXPECT_EQ(hl::Rows(dlg, IDC_DEVICE_LIST),
              (Rows{{"NAS-OPEN", "10.77.0.11", "255.255.0.0", "10.77.0.1"},
                    {"NAS-LOCKED", "10.77.0.112", "255.255.0.0", "10.77.0.1"}}));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_REFRESH));
    const size_t boxes = hl::MessageBoxes().size();
    hl::AdvanceClock(20000);
    EXPECT_EQ(hl::MessageBoxes().size(), boxes) << "timer 1055 fires once";
  });
}

// A device that refuses the switch sends no confirmation: the user is told, and nothing waits.
TEST_F(LanPanelFlow, DhcpSwitchTheDeviceRefusesIsReported) {
  std::string fabric = kFabric;
  fabric.replace(fabric.find("\"dhcpPool\""), 0, "\"silent\": [\"dhcp\"], ");
  test::PeerDevicePort refusing{fabric};
  SetDevicePort(&refusing);
  RunApp([&](CSeekwellDlg& dlg) {
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-LOCKED")));
    ASSERT_TRUE(hl::SelectComboItem(dlg, IDC_DHCP, 1));
    hl::ScriptModal(IDD_LOGIN, [](ui::CDialog& d) {
      hl::TypeText(d, IDC_LOGIN_PASSWORD, "secret");
      hl::Click(d, ui::kIdOk);
    });
    ASSERT_TRUE(hl::Click(dlg, IDC_APPLY));
    ASSERT_EQ(hl::MessageBoxes().size(), 1u);
    EXPECT_EQ(hl::MessageBoxes().back().text, "Set to dhcp client fail.");
    EXPECT_EQ(hl::MessageBoxes().back().caption, "Error");
    EXPECT_EQ(hl::MessageBoxes().back().flags, ui::kMbIconStop);
    EXPECT_EQ(refusing.Requests(protocol::SET, protocol::SUB_SET_DHCP), 1);
    EXPECT_EQ(refusing.Find("NAS-LOCKED")->address, "10.77.0.12");
    EXPECT_EQ(hl::Rows(dlg, IDC_DEVICE_LIST).size(), 2u);
    EXPECT_TRUE(hl::Enabled(dlg, IDC_REFRESH));
  });
}

}  // namespace
}  // namespace sw::app

namespace sw::app {
namespace {

TEST_F(LanPanelFlow, DisconnectLogsTheSelectedTargetOutAndRefreshesTheListByTimer) {
  iscsi::CWmiWrapper wmi;
  ASSERT_EQ(0, iscsi::AddDevicePortal(wmi, "10.77.0.11"));
  ASSERT_TRUE(iscsi::RunCommand(iscsi::LoginTargetCommand(kTarget, winsim::kDefaultInitiatorName).value()));
  ASSERT_TRUE(iscsi::RunCommand(iscsi::PersistentLoginTargetCommand(kTarget, winsim::kDefaultInitiatorName).value()));
  RunApp([&](CSeekwellDlg& dlg) {
    ShowTargetsOf(dlg, "NAS-OPEN");
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 0));
    ASSERT_EQ(hl::Text(dlg, IDC_TARGET_CONNECT), "Disconnect");

    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    EXPECT_TRUE(machine.initiator.Snapshot().sessions.empty());
    EXPECT_TRUE(machine.initiator.Snapshot().persistentLogins.empty());
    EXPECT_EQ(hl::WindowOf(dlg.GetSafeHwnd())->timers.count(kTimerIscsi), 1u) << "the refresh is started";
    EXPECT_TRUE(hl::Enabled(dlg, IDC_TARGET_CONNECT));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_MANAGEMENT));
  });
}

// A session the initiator reports for a name outside the iSCSI grammar (made by another tool): its
// Disconnect cannot act, and says why as Connect does.
TEST_F(LanPanelFlow, DisconnectOfATargetWhoseNameFailsTheCheckSaysWhy) {
  const std::string bad = "iqn.2009-11.com.halden:open_disk1";
  std::string fabric = kFabric;
  fabric.replace(fabric.find("open.disk1"), 10, "open_disk1");
  ASSERT_TRUE(winsim::TheMachine().SetFabricText(fabric));
  iscsi::CWmiWrapper wmi;
  ASSERT_EQ(0, iscsi::AddDevicePortal(wmi, "10.77.0.11"));
  std::string output;
  winsim::TheMachine().initiator.RunTool(iscsi::SplitCommandLine("iscsicli logintarget " + bad + " t * * " +
                                                       winsim::kDefaultInitiatorName +
                                                       " * * * * * * * * * * * * 0"),
                               output);
  ASSERT_EQ(1u, winsim::TheMachine().initiator.Snapshot().sessions.size()) << output;
  RunApp([&](CSeekwellDlg& dlg) {
    ShowTargetsOf(dlg, "NAS-OPEN");
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_TARGET_LIST, 0));
    ASSERT_EQ(hl::Text(dlg, IDC_TARGET_CONNECT), "Disconnect");
    ASSERT_TRUE(hl::Click(dlg, IDC_TARGET_CONNECT));
    ASSERT_EQ(1u, hl::MessageBoxes().size());
    EXPECT_EQ(iscsi::kInvalidTargetNameMessage, hl::MessageBoxes()[0].text);
    EXPECT_EQ("Corvane's Halden Seekwell", hl::MessageBoxes()[0].caption);
    EXPECT_EQ(1u, winsim::TheMachine().initiator.Snapshot().sessions.size());
  });
}

}  // namespace
}  // namespace sw::app
