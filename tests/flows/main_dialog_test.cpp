// The main dialog over the headless UI and a scripted device port: start state, discovery into the
// device list, selection, About, and the ways out.

#include <gtest/gtest.h>

#include <algorithm>

#include "app/device_port.h"
#include "app/seekwell_app.h"
#include "app/seekwell_dlg.h"
#include "fake_device_port.h"
#include "protocol/device_table.h"
#include "protocol/protocol_state.h"
#include "resource.h"
#include "ui/headless.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;
using Rows = std::vector<std::vector<std::string>>;

class MainDialogFlow : public ::testing::Test {
 protected:
  void SetUp() override {
    hl::Reset();
    SetDevicePort(&port);
    port.devices = {
        {"NAS-PLAIN", "10.77.0.11"},
        {"NAS-ISCSI", "10.77.0.12", "255.255.255.0", "10.77.0.254", false, true},
        {"NAS-DHCP", "10.77.0.13", "255.255.255.0", "10.77.0.254", true, false},
        {"NAS-FAR", "10.88.0.5", "255.255.255.0", "10.88.0.254", false, false},
    };
  }
  void TearDown() override { SetDevicePort(nullptr); }

  // Runs the application with `script` driving the main dialog; the process exit code.
  int RunApp(std::function<void(CSeekwellDlg&)> script) {
    hl::ScriptModal(IDD_SEEKWELL_DIALOG, [script](ui::CDialog& d) { script(static_cast<CSeekwellDlg&>(d)); });
    CSeekwellApp app;
    return ui::RunApplication(app);
  }

  int RowOf(CSeekwellDlg& dlg, const std::string& name) {
    Rows rows = hl::Rows(dlg, IDC_DEVICE_LIST);
    for (size_t i = 0; i < rows.size(); ++i) {
      if (rows[i][0] == name) return static_cast<int>(i);
    }
    return -1;
  }

  test::FakeDevicePort port;
};

TEST_F(MainDialogFlow, OpensWithColumnsDevicesAndTargetButtonsDisabled) {
  int exitCode = RunApp([&](CSeekwellDlg& dlg) {
    EXPECT_EQ(hl::WindowOf(dlg.GetSafeHwnd())->text, "Corvane's Halden Seekwell");
    EXPECT_EQ(hl::ColumnHeadings(dlg, IDC_DEVICE_LIST), (std::vector<std::string>{"Name", "IP", "Netmask", "Gateway"}));
    EXPECT_EQ(hl::ColumnHeadings(dlg, IDC_VOLUME_LIST), (std::vector<std::string>{"Volume Name", "Location"}));
    EXPECT_EQ(hl::ColumnHeadings(dlg, IDC_TARGET_LIST), (std::vector<std::string>{"Name", "Active"}));
    for (int list : {IDC_DEVICE_LIST, IDC_VOLUME_LIST, IDC_TARGET_LIST}) {
      EXPECT_TRUE(hl::Control(dlg, list)->listExStyle & ui::kLvsExFullRowSelect) << list;
    }
    EXPECT_FALSE(hl::Enabled(dlg, IDC_TARGET_CONNECT));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_MANAGEMENT));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_REFRESH));

    // The first discovery pass ran during initialisation and listed every device in table order.
    EXPECT_EQ(hl::Rows(dlg, IDC_DEVICE_LIST),
              (Rows{{"NAS-PLAIN", "10.77.0.11", "255.255.255.0", "10.77.0.254"},
                    {"NAS-ISCSI", "10.77.0.12", "255.255.255.0", "10.77.0.254"},
                    {"NAS-DHCP", "10.77.0.13", "255.255.255.0", "10.77.0.254"},
                    {"NAS-FAR", "10.88.0.5", "255.255.255.0", "10.88.0.254"}}));
    EXPECT_EQ(dlg.Selection().DeviceSelected, 0);

    // System menu: a separator, then the About item with command 16.
    const auto& menu = hl::WindowOf(dlg.GetSafeHwnd())->systemMenu;
    ASSERT_GE(menu.size(), 2u);
    EXPECT_EQ(menu[menu.size() - 2].flags, ui::kMfSeparator);
    EXPECT_EQ(menu.back().id, 16u);
    EXPECT_EQ(menu.back().text, "About Varezed Averaru Vozuraz(&A)...");
    EXPECT_NE(hl::WindowOf(dlg.GetSafeHwnd())->bigIcon, nullptr);
    EXPECT_EQ(hl::WindowOf(dlg.GetSafeHwnd())->bigIcon, hl::WindowOf(dlg.GetSafeHwnd())->smallIcon);

    // Combo 1015 holds its two initial items, sorted.
    EXPECT_EQ(hl::Control(dlg, IDC_DHCP)->items, (std::vector<std::string>{"Disable", "Enable"}));
    hl::Click(dlg, IDC_EXIT);
  });
  EXPECT_EQ(exitCode, 0);
  const auto& log = hl::Log();
  auto at = [&](const std::string& entry) { return std::find(log.begin(), log.end(), entry) - log.begin(); };
  EXPECT_LT(at("CoInitialize apartment"), at("InitCommonControls 0xff"));
  EXPECT_LT(at("InitCommonControls 0xff"), static_cast<long>(log.size()));
  EXPECT_TRUE(hl::MessageBoxes().empty());
}

TEST_F(MainDialogFlow, ColoursAreBlueWithWhiteStaticText) {
  RunApp([&](CSeekwellDlg& dlg) {
    hl::ColourChoice background = hl::QueryColours(dlg, 0, ui::CtlColorKind::Dialog);
    EXPECT_TRUE(background.hasBrush);
    EXPECT_EQ(background.brushColour, ui::Rgb(0, 98, 147));
    EXPECT_EQ(background.bkMode, ui::kTransparent);

    hl::ColourChoice label = hl::QueryColours(dlg, -1, ui::CtlColorKind::Static);
    EXPECT_EQ(label.brushColour, ui::Rgb(0, 98, 147));
    EXPECT_EQ(label.textColour, ui::Rgb(255, 255, 255));
    EXPECT_EQ(label.bkColour, ui::Rgb(0, 98, 147));

    // Edits, lists and buttons keep the system's colours.
    EXPECT_FALSE(hl::QueryColours(dlg, IDC_DEVICE_LIST, ui::CtlColorKind::Edit).hasBrush);
    EXPECT_FALSE(hl::QueryColours(dlg, IDC_REFRESH, ui::CtlColorKind::Button).hasBrush);
    hl::Click(dlg, IDC_EXIT);
  });
}

TEST_F(MainDialogFlow, RefreshShowsBusyCursorAndRebuildsTheList) {
  RunApp([&](CSeekwellDlg& dlg) {
    port.devices.pop_back();
    size_t logBefore = hl::Log().size();
    const std::uint32_t before = hl::Now();
    hl::Click(dlg, IDC_REFRESH);
    // A pass waits about one and a half seconds (48 polls of 10 ms plus 20 ms pauses, two DISCOVERs).
    EXPECT_GE(hl::Now() - before, 1000u);
    EXPECT_LE(hl::Now() - before, 1600u);
    std::vector<std::string> cursorChanges;
    for (size_t i = logBefore; i < hl::Log().size(); ++i) {
      if (hl::Log()[i].rfind("cursor", 0) == 0) cursorChanges.push_back(hl::Log()[i]);
    }
    EXPECT_EQ(cursorChanges, (std::vector<std::string>{"cursor 238", "cursor arrow"}));
    EXPECT_EQ(hl::CurrentCursorResource(), 0);
    EXPECT_EQ(hl::Rows(dlg, IDC_DEVICE_LIST).size(), 3u);
    EXPECT_TRUE(hl::Enabled(dlg, IDC_REFRESH));
    EXPECT_TRUE(hl::Control(dlg, IDC_DEVICE_LIST)->redraw);
    EXPECT_GE(hl::Control(dlg, IDC_DEVICE_LIST)->redrawSuspensions, 2);
    EXPECT_EQ(port.discovers, 4);  // two copies per pass, two passes
    hl::Click(dlg, IDC_EXIT);
  });
}

TEST_F(MainDialogFlow, SelectingDevicesFillsTheLanPanel) {
  RunApp([&](CSeekwellDlg& dlg) {
    size_t logBefore = hl::Log().size();
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-PLAIN")));
    EXPECT_EQ(dlg.Selection().DeviceSelected, 1);
    // The share query runs under the busy cursor, and the arrow comes back.
    std::vector<std::string> cursorChanges;
    for (size_t i = logBefore; i < hl::Log().size(); ++i) {
      if (hl::Log()[i].rfind("cursor", 0) == 0) cursorChanges.push_back(hl::Log()[i]);
    }
    EXPECT_EQ(cursorChanges, (std::vector<std::string>{"cursor 238", "cursor arrow"}));
    EXPECT_EQ(hl::AddressText(dlg, IDC_DEVICE_IP), "10.77.0.11");
    EXPECT_EQ(hl::AddressText(dlg, IDC_DEVICE_NETMASK), "255.255.255.0");
    EXPECT_EQ(hl::AddressText(dlg, IDC_DEVICE_GATEWAY), "10.77.0.254");
    EXPECT_EQ(hl::Control(dlg, IDC_DHCP)->curSel, 0);
    EXPECT_TRUE(hl::Enabled(dlg, IDC_DEVICE_IP));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_DRIVE_CONNECT));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_DRIVE_DISCONNECT));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_CONFIGURATION));
    EXPECT_STREQ(protocol::GetProtocolState().SelectedDeviceIp, "10.77.0.11");
    EXPECT_STREQ(dlg.Selection().SelectedDeviceAddress(), "10.77.0.11");

    // A device whose DHCP client is on: "Enable", address controls locked.
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-DHCP")));
    EXPECT_EQ(hl::Control(dlg, IDC_DHCP)->curSel, 1);
    EXPECT_EQ(hl::Control(dlg, IDC_DHCP)->items[1], "Enable");
    EXPECT_FALSE(hl::Enabled(dlg, IDC_DEVICE_IP));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_DEVICE_NETMASK));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_DEVICE_GATEWAY));

    // A device on another subnet (by its own netmask): no share or web buttons.
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-FAR")));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_DRIVE_CONNECT));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_DRIVE_DISCONNECT));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_CONFIGURATION));
    EXPECT_TRUE(hl::Enabled(dlg, IDC_DEVICE_IP));

    // A device without the iSCSI tag empties the target list and keeps its buttons off.
    hl::Control(dlg, IDC_TARGET_LIST)->rows.push_back({{"stale", "NO"}, 0});
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-PLAIN")));
    EXPECT_TRUE(hl::Rows(dlg, IDC_TARGET_LIST).empty());
    EXPECT_FALSE(hl::Enabled(dlg, IDC_TARGET_CONNECT));
    EXPECT_FALSE(hl::Enabled(dlg, IDC_MANAGEMENT));

    // A click on empty space still counts as a selection, and changes nothing else.
    dlg.Selection().DeviceSelected = 0;
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, -1));
    EXPECT_EQ(dlg.Selection().DeviceSelected, 1);
    EXPECT_EQ(hl::AddressText(dlg, IDC_DEVICE_IP), "10.77.0.11");

    // Refresh forgets the selection but keeps SelectedDeviceIp.
    hl::Click(dlg, IDC_REFRESH);
    EXPECT_EQ(dlg.Selection().DeviceSelected, 0);
    EXPECT_EQ(hl::AddressText(dlg, IDC_DEVICE_IP), "");
    EXPECT_STREQ(protocol::GetProtocolState().SelectedDeviceIp, "10.77.0.11");
    hl::Click(dlg, IDC_EXIT);
  });
}

// The share and web buttons follow the row clicked, also when nothing says the device is near: a
// netmask text that is not a dotted quad (shown blank, it would read 0.0.0.0 and match every
// address), or a row whose address the device table no longer holds.
TEST_F(MainDialogFlow, ShareButtonsOffForAnUnreadableNetmaskOrARowTheTableLost) {
  port.devices[3].netmask = "255.255.0";  // NAS-FAR, on another subnet
  RunApp([&](CSeekwellDlg& dlg) {
    const int buttons[] = {IDC_DRIVE_CONNECT, IDC_DRIVE_DISCONNECT, IDC_CONFIGURATION};
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-PLAIN")));
    ASSERT_TRUE(hl::Enabled(dlg, IDC_CONFIGURATION));
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-FAR")));
    EXPECT_EQ(hl::AddressText(dlg, IDC_DEVICE_NETMASK), "");
    for (int id : buttons) EXPECT_FALSE(hl::Enabled(dlg, id)) << id;

    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-PLAIN")));
    ASSERT_TRUE(hl::Enabled(dlg, IDC_CONFIGURATION));
    protocol::FreeDeviceList(protocol::GetProtocolState().deviceList);
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "NAS-PLAIN")));
    for (int id : buttons) EXPECT_FALSE(hl::Enabled(dlg, id)) << id;
    hl::Click(dlg, IDC_EXIT);
  });
}

TEST_F(MainDialogFlow, UnresolvableHostNameGivesAnEmptyListAndNoMessage) {
  port.resolves = false;
  int exitCode = RunApp([&](CSeekwellDlg& dlg) {
    EXPECT_TRUE(hl::Rows(dlg, IDC_DEVICE_LIST).empty());
    EXPECT_TRUE(hl::Click(dlg, IDC_REFRESH));
    EXPECT_TRUE(hl::Rows(dlg, IDC_DEVICE_LIST).empty());
    hl::Click(dlg, IDC_EXIT);
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(port.discovers, 0);
  EXPECT_TRUE(hl::MessageBoxes().empty());
}

TEST_F(MainDialogFlow, AboutOpensFromTheButtonAndSystemCommands16To31Only) {
  int abouts = 0;
  auto answerAbout = [&] {
    hl::ScriptModal(IDD_ABOUTBOX, [&](ui::CDialog& about) {
      ++abouts;
      hl::ColourChoice background = hl::QueryColours(about, 0, ui::CtlColorKind::Dialog);
      EXPECT_EQ(background.brushColour, ui::Rgb(0, 98, 147));
      EXPECT_TRUE(hl::Click(about, ui::kIdOk));
    });
  };
  RunApp([&](CSeekwellDlg& dlg) {
    answerAbout();
    hl::Click(dlg, IDC_ABOUT);
    EXPECT_EQ(abouts, 1);
    for (unsigned command : {16u, 17u, 31u}) {
      answerAbout();
      hl::SendSysCommand(dlg, command);
    }
    EXPECT_EQ(abouts, 4);
    EXPECT_EQ(hl::PendingScripts(), 0);
    // 32 is not the About command: default processing, no About box.
    hl::SendSysCommand(dlg, 32);
    EXPECT_EQ(abouts, 4);
    EXPECT_EQ(hl::OpenDialogs().size(), 1u);
    hl::Click(dlg, IDC_EXIT);
  });
}

TEST_F(MainDialogFlow, ExitReleasesTheTableAndSocketsOnce) {
  int exitCode = RunApp([&](CSeekwellDlg& dlg) {
    EXPECT_EQ(protocol::GetProtocolState().deviceList.count, 4);
    EXPECT_EQ(port.closed, 0);
    hl::Click(dlg, IDC_EXIT);
    EXPECT_TRUE(dlg.HasEnded());
  });
  EXPECT_EQ(exitCode, 0);
  EXPECT_EQ(port.cleanups, 1);
  EXPECT_EQ(port.closed, 2);  // one send and one receive socket
  EXPECT_EQ(protocol::GetProtocolState().deviceList.count, 0);
  EXPECT_EQ(protocol::GetProtocolState().deviceList.head, nullptr);
}

TEST_F(MainDialogFlow, CloseBoxReleasesOnceEvenThoughItEndsThroughCancel) {
  RunApp([&](CSeekwellDlg& dlg) {
    hl::CloseBox(dlg);
    EXPECT_TRUE(dlg.HasEnded());
  });
  EXPECT_EQ(port.cleanups, 1);
  EXPECT_EQ(port.closed, 2);
  EXPECT_EQ(protocol::GetProtocolState().deviceList.count, 0);
}

TEST_F(MainDialogFlow, MinimisedDialogPaintsItsIcon) {
  RunApp([&](CSeekwellDlg& dlg) {
    hl::Minimise(dlg);
    dlg.SendMessage(ui::kWmPaint);
    EXPECT_EQ(hl::Log().back(), "paint-icon 128");
    EXPECT_EQ(dlg.SendMessage(ui::kWmQueryDragIcon), reinterpret_cast<ui::Lresult>(hl::WindowOf(dlg.GetSafeHwnd())->bigIcon));
    hl::Restore(dlg);
    size_t before = hl::Log().size();
    dlg.SendMessage(ui::kWmPaint);
    EXPECT_EQ(hl::Log().size(), before);
    hl::Click(dlg, IDC_EXIT);
  });
}

}  // namespace
}  // namespace sw::app
