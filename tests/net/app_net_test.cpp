// The program's main dialog (headless UI, simulated Windows) over real sockets, against a hostile
// peer announcing devices whose names would hand a drive mapping to another network provider or
// port: they are listed, their shares are read, and nothing is ever mapped.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "app/seekwell_app.h"
#include "app/seekwell_dlg.h"
#include "simulated_machine.h"
#include "net_fixture.h"
#include "resource.h"
#include "share/reachability.h"
#include "ui/headless.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;

TEST(AppNetTest, DevicesNamedWithAtOrColonAreListedButNeverMapped) {
  std::string why;
  ASSERT_TRUE(nettest::InTestNamespace(&why)) << why;
  nettest::Peer hostile;
  ASSERT_TRUE(hostile.Start(nettest::PeerNamespaces().at(1), nettest::HostilePeerPath(),
                            {"--script", nettest::WriteScratchFile("script", R"({
      "answers": [{"name": "nas@SSL@443", "address": "10.77.1.1", "nodeId": "02:00:00:00:01:01"},
                  {"name": "nas:8080", "address": "10.77.1.2", "nodeId": "02:00:00:00:01:02"}],
      "replies": [{"for": "shares", "result": "vol1"}]})")}));
  hl::Reset();
  winsim::Machine& machine = test::FreshMachine();
  std::string error;
  ASSERT_TRUE(machine.SetFabricText(R"({"devices": [], "drives": {"C:": "fixed"}})", &error)) << error;
  winsim::WindowsVersion windows;
  ASSERT_TRUE(winsim::ParseWindowsVersion("xp", windows));
  machine.SetVersion(windows);
  share::SetProbeStandIn([](const std::string&) { return share::ProbeAnswer::Reachable; });

  std::vector<std::string> listed;
  hl::ScriptModal(IDD_SEEKWELL_DIALOG, [&](ui::CDialog& dlg) {
    const auto rows = hl::Rows(dlg, IDC_DEVICE_LIST);
    for (std::size_t row = 0; row < rows.size(); ++row) {
      listed.push_back(rows[row][0]);
      ASSERT_TRUE(hl::ClickRow(dlg, IDC_DEVICE_LIST, static_cast<int>(row)));
      ASSERT_EQ(hl::Rows(dlg, IDC_VOLUME_LIST).size(), 1u) << rows[row][0] << ": the share list was read";
      ASSERT_TRUE(hl::ClickRow(dlg, IDC_VOLUME_LIST, 0));
      ASSERT_TRUE(hl::SelectComboItem(dlg, IDC_DRIVE_LETTERS, 0));
      machine.letters.ClearCalls();
      ASSERT_TRUE(hl::Click(dlg, IDC_DRIVE_CONNECT)) << rows[row][0];
      EXPECT_TRUE(machine.letters.Calls().empty()) << rows[row][0] << " reached the network provider";
      ASSERT_FALSE(hl::MessageBoxes().empty());
      EXPECT_EQ(hl::MessageBoxes().back().text, "Failed to map drive.");
    }
    hl::Click(dlg, IDC_EXIT);
  });
  CSeekwellApp app;
  ui::RunApplication(app);
  EXPECT_EQ(listed, (std::vector<std::string>{"nas@SSL@443", "nas:8080"}));

  share::SetProbeStandIn({});
}

}  // namespace
}  // namespace sw::app
