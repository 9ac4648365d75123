// The LAN settings panel (headless UI, simulated Windows) over real sockets against halden-sim,
// which really moves its devices on its interface: a static change and a switch to DHCP, each
// followed by the discovery pass that finds the device where it now is.

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

#include "app/seekwell_app.h"
#include "app/seekwell_dlg.h"
#include "simulated_machine.h"
#include "net_fixture.h"
#include "resource.h"
#include "ui/headless.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;
using Rows = std::vector<std::vector<std::string>>;

constexpr const char* kFabric = R"({"devices": [
  {"name": "LAN-S", "address": "10.77.4.1", "nodeId": "02:00:00:00:04:01", "gateway": "10.77.0.1",
   "adminPassword": "", "shares": ["Static"]},
  {"name": "LAN-D", "address": "10.77.4.2", "nodeId": "02:00:00:00:04:02", "gateway": "10.77.0.1",
   "adminPassword": "", "shares": ["Pooled"], "dhcpPool": ["10.77.4.101"], "dhcpGateway": "10.77.0.254"}]})";

int RowOf(ui::CDialog& dlg, const std::string& name) {
  Rows rows = hl::Rows(dlg, IDC_DEVICE_LIST);
  for (size_t i = 0; i < rows.size(); ++i) {
    if (rows[i][0] == name) return static_cast<int>(i);
  }
  return -1;
}

// Replies race each other: the table's order is the order of arrival.
Rows Sorted(Rows rows) {
  std::sort(rows.begin(), rows.end());
  return rows;
}

TEST(LanNetTest, StaticChangeMovesTheDeviceAndDhcpGivesItAPoolAddress) {
  std::string why;
  ASSERT_TRUE(nettest::InTestNamespace(&why)) << why;
  nettest::Peer sim;
  ASSERT_TRUE(sim.Start(nettest::PeerNamespaces().at(0), nettest::HaldenSimPath(),
                        {"--fabric", nettest::WriteScratchFile("lan-fabric", kFabric), "--interface", "eth0"}));
  hl::Reset();
  winsim::Machine& machine = test::FreshMachine();
  std::string error;
  ASSERT_TRUE(machine.SetFabricText(R"({"devices": [], "drives": {"C:": "fixed"}})", &error)) << error;

  Rows afterStatic, duringWait, afterDhcp, sharesAtNewAddress;
  hl::ScriptModal(IDD_SEEKWELL_DIALOG, [&](ui::CDialog& dlg) {
    ASSERT_EQ(hl::Rows(dlg, IDC_DEVICE_LIST).size(), 2u);

    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "LAN-S")));
    ASSERT_TRUE(hl::SetAddressFields(dlg, IDC_DEVICE_IP, 10, 77, 4, 50));
    ASSERT_TRUE(hl::Click(dlg, IDC_APPLY));
    afterStatic = Sorted(hl::Rows(dlg, IDC_DEVICE_LIST));
    // A share query keyed by the new address is answered only by a device that really moved.
    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "LAN-S")));
    sharesAtNewAddress = hl::Rows(dlg, IDC_VOLUME_LIST);

    ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, RowOf(dlg, "LAN-D")));
    ASSERT_TRUE(hl::SelectComboItem(dlg, IDC_DHCP, 1));
    ASSERT_TRUE(hl::Click(dlg, IDC_APPLY));
    duringWait = hl::Rows(dlg, IDC_DEVICE_LIST);
    hl::AdvanceClock(0);  // timer 1055
    afterDhcp = Sorted(hl::Rows(dlg, IDC_DEVICE_LIST));
    hl::Click(dlg, IDC_EXIT);
  });
  CSeekwellApp app;
  ui::RunApplication(app);

  std::vector<std::string> texts;
  for (const auto& box : hl::MessageBoxes()) texts.push_back(box.text);
  EXPECT_EQ(texts, (std::vector<std::string>{"Getting IP Address ...\nPlease wait 10 seconds.", "DHCP client enabled."}));
  EXPECT_EQ(afterStatic, (Rows{{"LAN-D", "10.77.4.2", "255.255.0.0", "10.77.0.1"},
                               {"LAN-S", "10.77.4.50", "255.255.0.0", "10.77.0.1"}}));
  EXPECT_EQ(sharesAtNewAddress, (Rows{{"Static", ""}}));
  EXPECT_TRUE(duringWait.empty());
  EXPECT_EQ(afterDhcp, (Rows{{"LAN-D", "10.77.4.101", "255.255.0.0", "10.77.0.254"},
                             {"LAN-S", "10.77.4.50", "255.255.0.0", "10.77.0.1"}}));
}

}  // namespace
}  // namespace sw::app
