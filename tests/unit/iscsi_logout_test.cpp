// Target logout over the simulated initiator: the order of the three steps, which volumes lose
// their persistent device, and each session's logout judged on its own output.

#include "iscsi/target_logout.h"

#include "iscsi/command_lines.h"
#include "iscsi/target_list.h"
#include "iscsi_sim_fixture.h"

namespace sw::iscsi {
namespace {

class Logout : public IscsiSim {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    IscsiSim::SetUp();
    ASSERT_EQ(0, AddDevicePortal(wmi, kDevice));
    for (int i = 0; i < 2; ++i) ASSERT_TRUE(RunCommand(LoginTargetCommand(kPlain, winsim::kDefaultInitiatorName).value()));
    ASSERT_TRUE(RunCommand(PersistentLoginTargetCommand(kPlain, winsim::kDefaultInitiatorName).value()));
    for (const char* path : {"E:\\", "F:\\"}) ASSERT_TRUE(RunCommand(AddPersistentDeviceCommand(path).value()));
    machine.processes.Reset();
  }

  LogoutContext Context() {
    return LogoutContext{wmi, kDevice,
                         [this] {
                           ++inventoryBuilds;
                           // F: belongs to another target; the unlettered volume has no device to remove.
                           return std::vector<InventoryVolume>{{"E:\\", kPlain}, {"*", kPlain}, {"F:\\", kChap}};
                         },
                         [this](const std::string& text) { notices.push_back(text); }};
  }

  std::vector<std::string> SessionIdsOf(const std::string& target) {
    std::vector<std::string> ids;
    for (const auto& s : machine.initiator.Snapshot().sessions) {
      if (s.targetName == target) ids.push_back(s.sessionId);
    }
    return ids;
  }

  CWmiWrapper wmi;
  int inventoryBuilds = 0;
  std::vector<std::string> notices;
};

TEST_F(Logout, DevicesThenEachSessionJudgedAloneThenPersistentLogins) {
  const std::vector<std::string> ids = SessionIdsOf(kPlain);
  ASSERT_EQ(2u, ids.size());
  // The first session's disk is in use: its logout fails, the second one succeeds silently. Were
  // the output not emptied between them, the first failure would be shown a second time.
  machine.initiator.SetSessionInUse(ids[0], true);
  LogoutContext context = Context();
  LogoutTarget(kPlain, 1, context);

  EXPECT_EQ((std::vector<std::string>{"iscsicli RemovePersistentDevice E:\\", "iscsicli logouttarget " + ids[0],
                                      "iscsicli logouttarget " + ids[1],
                                      RemovePersistentTargetCommand(winsim::kDefaultInitiatorName, kPlain, kDevice).value()}),
            machine.processes.Launches());
  EXPECT_EQ((std::vector<std::string>{
                "The session cannot be logged out since a device on that session is currently being used.\n"}),
            notices);
  EXPECT_EQ((std::vector<std::string>{ids[0]}), SessionIdsOf(kPlain));
  EXPECT_TRUE(machine.initiator.Snapshot().persistentLogins.empty()) << "removed although a logout failed";
  EXPECT_EQ((std::vector<std::string>{"F:\\"}), machine.initiator.Snapshot().persistentDevices);
}

TEST_F(Logout, WithoutDeviceRemovalTheInventoryIsNotEvenBuilt) {
  LogoutContext context = Context();
  LogoutTarget(kPlain, 0, context);
  EXPECT_EQ(0, inventoryBuilds);
  for (const auto& launch : machine.processes.Launches()) EXPECT_EQ(std::string::npos, launch.find("PersistentDevice"));
  EXPECT_TRUE(SessionIdsOf(kPlain).empty());
  EXPECT_TRUE(notices.empty()) << "a silent success shows nothing";
  EXPECT_EQ(2u, machine.initiator.Snapshot().persistentDevices.size());
}

TEST(LogoutNotice, OnlyATheAfterTheStartIsShown) {
  EXPECT_EQ("The volume is busy.\n", LogoutNotice("banner\nThe volume is busy.\n").value_or(""));
  EXPECT_FALSE(LogoutNotice("The banner itself.\nThe end."));
  EXPECT_FALSE(LogoutNotice("Operation completed successfully.\n"));
}

}  // namespace
}  // namespace sw::iscsi
