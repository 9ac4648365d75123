// The target list rules over the simulated initiator: what RefreshTargetStatus lists, the portal
// refresh's command lines, the row click and the fallback list.

#include "iscsi/target_list.h"

#include <algorithm>

#include "iscsi/command_lines.h"
#include "iscsi_sim_fixture.h"

namespace sw::iscsi {
namespace {

constexpr const char* kTwoDevices = R"({"devices": [
  {"name": "NAS-A", "address": "10.77.0.11", "iscsi": true, "targets": [
    {"name": "iqn.2009-11.com.halden:zeta", "sizeMiB": 8},
    {"name": "IQN.2009-11.com.halden:Alpha", "sizeMiB": 8},
    {"name": "iqn.2009-11.com.halden:mid&calc", "sizeMiB": 8},
    {"name": "iqn.2009-11.com.halden:it's", "sizeMiB": 8}]},
  {"name": "NAS-B", "address": "10.77.0.12", "iscsi": true, "targets": [
    {"name": "iqn.2009-11.com.halden:other", "sizeMiB": 8}]}]})";

class TargetList : public IscsiSim {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    IscsiSim::SetUp();
    ASSERT_TRUE(machine.SetFabricText(kTwoDevices));
    ASSERT_EQ(0, AddDevicePortal(wmi, "10.77.0.12"));  // another device the initiator still knows
    ASSERT_EQ(0, AddDevicePortal(wmi, kDevice));
  }
  CWmiWrapper wmi;
  TargetListState state;
  int justStarted = 0;
};

TEST_F(TargetList, RowsFromSessionsAndDiscoveredTargetsOfTheDevice) {
  const std::string zeta = "iqn.2009-11.com.halden:zeta";
  ASSERT_TRUE(RunCommand(LoginTargetCommand(zeta, winsim::kDefaultInitiatorName).value()));
  machine.initiator.SetConnectionActive(zeta, false);  // a statistics instance says connected, whatever Active says

  TargetStatus status = RefreshTargetStatus(wmi, kDevice, justStarted, state);
  // Listed once although both a session and a discovered target; lower case, sorted; the other
  // device's target and the name WQL cannot carry are not listed.
  EXPECT_EQ((std::vector<std::string>{"iqn.2009-11.com.halden:alpha", "iqn.2009-11.com.halden:mid&calc", zeta}),
            state.TargetNames);
  EXPECT_EQ("iqn.2009-11.com.halden:", state.TargetPrefix);
  ASSERT_EQ(3u, status.rows.size());
  EXPECT_EQ("alpha", status.rows[0].name);
  EXPECT_EQ("NO", status.rows[0].status);
  EXPECT_EQ("zeta", status.rows[2].name);
  EXPECT_EQ("YES", status.rows[2].status);
  EXPECT_FALSE(status.enableConnect);
  EXPECT_TRUE(status.enableManagement);
  EXPECT_FALSE(status.runDeferredLogin);
  // A listed name outside the iSCSI grammar cannot be connected.
  EXPECT_FALSE(LoginTargetCommand(state.TargetNames[1], winsim::kDefaultInitiatorName));

  justStarted = 1;
  status = RefreshTargetStatus(wmi, kDevice, justStarted, state);
  EXPECT_TRUE(status.rows.empty());
  EXPECT_EQ(3u, state.TargetNames.size());
  EXPECT_TRUE(status.runDeferredLogin);
  EXPECT_EQ(1000u, RefreshTimerDelayMs(justStarted));

  TargetStatus none = RefreshTargetStatus(wmi, "10.77.0.99", justStarted, state);
  EXPECT_TRUE(state.TargetNames.empty());
  EXPECT_FALSE(none.enableManagement);
  EXPECT_EQ("iqn.2009-11.com.halden:", state.TargetPrefix) << "no row: the prefix stays";
}

TEST_F(TargetList, PortalRefreshReplacesEveryPortal) {
  machine.processes.Reset();
  RemoveAllTargetPortals(wmi, justStarted);
  EXPECT_EQ((std::vector<std::string>{"iscsicli RemoveTargetPortal 10.77.0.12 3260", "iscsicli ListTargets t",
                                      "iscsicli RemoveTargetPortal 10.77.0.11 3260", "iscsicli ListTargets t"}),
            machine.processes.Launches());
  EXPECT_TRUE(machine.initiator.Snapshot().sendTargetPortals.empty());
  EXPECT_NE(0, AddDevicePortal(wmi, "10.77.0.13"));
  EXPECT_EQ(0, AddDevicePortal(wmi, kDevice));

  justStarted = 1;
  machine.processes.Reset();
  RemoveAllTargetPortals(wmi, justStarted);
  EXPECT_EQ((std::vector<std::string>{"iscsicli RemoveTargetPortal 10.77.0.11 3260"}), machine.processes.Launches());
}

TEST_F(TargetList, ClickSetsButtonAndCurrentTarget) {
  state.TargetPrefix = "iqn.2009-11.com.halden:";
  state.CurrentTarget = "before";
  TargetClick click = OnTargetListClick(2, 1, "zeta", "YES", state);
  EXPECT_EQ("Disconnect", click.connectText);
  EXPECT_TRUE(click.enableConnect);
  EXPECT_EQ("before", state.CurrentTarget);
  click = OnTargetListClick(2, 0, "alpha", "NO", state);
  EXPECT_EQ("Connect", click.connectText);
  EXPECT_EQ("iqn.2009-11.com.halden:alpha", state.CurrentTarget);
  click = OnTargetListClick(2, -1, "", "", state);
  EXPECT_FALSE(click.enableConnect);
  EXPECT_FALSE(click.setConnectText);
  EXPECT_TRUE(OnTargetListClick(0, -1, "", "", state).disableManagement);
}

TEST_F(TargetList, FallbackRowsFromTargetEntries) {
  auto rows = FallbackTargetRows({"iqn.2009-11.com.halden:nas2.disk1|none@$", "eui.1:x|chap@u$c2VjcmV0", "iqn.b:nobar"},
                                 state);
  ASSERT_EQ(3u, rows.size());
  EXPECT_EQ("nas2.disk1", rows[0].name);
  EXPECT_EQ("x", rows[1].name);
  EXPECT_EQ("", rows[2].name);
  EXPECT_TRUE(std::all_of(rows.begin(), rows.end(), [](const TargetRow& r) { return r.status == "NO"; }));
  EXPECT_EQ("iqn.b:", state.TargetPrefix);
}

}  // namespace
}  // namespace sw::iscsi
