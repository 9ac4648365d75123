// The simulated initiator through the same ports the program uses: command lines through
// RunCommand, state through CWmiWrapper's queries.

#include <sys/stat.h>

#include <atomic>
#include <chrono>
#include <thread>

#include "iscsi/command_lines.h"
#include "iscsi/wmi_wrapper.h"
#include "iscsi/wql_queries.h"
#include "iscsi_sim_fixture.h"

namespace sw::iscsi {
namespace {

TextList Read(CWmiWrapper& wmi, const std::string& classAndCondition, const char* property) {
  TextList list;
  wmi.QueryPropertyList(classAndCondition, property, list);
  return list;
}

// The login road: a portal discovers the device's targets; logins are checked (unknown target,
// CHAP user and secret, initiator instance); a session brings a disk numbered after the local
// disks with a sparse image of the target's size; a failed logout is reported by "The ...".
TEST_F(IscsiSim, PortalLoginSessionDiskAndLogout) {
  CWmiWrapper wmi;
  EXPECT_NE(0, wmi.CreateInstanceWithProperty(kSendTargetPortalClass, "PortalAddress", "10.77.0.10"));  // no iSCSI
  EXPECT_EQ(0, wmi.CreateInstanceWithProperty(kSendTargetPortalClass, "PortalAddress", kDevice));
  EXPECT_EQ((TextList{kDevice}), Read(wmi, kSendTargetPortalClass, "PortalAddress"));
  EXPECT_EQ((TextList{kPlain, kChap}), Read(wmi, kTargetClass, "TargetName"));
  std::vector<PortalRecord> portals;
  EXPECT_EQ(0, wmi.QueryTargetPortals(kPlain, portals));
  ASSERT_EQ(1u, portals.size());
  EXPECT_EQ(kDevice, portals[0].address);

  const std::string I = Read(wmi, kInitiatorClass, "InitiatorName").at(0);
  EXPECT_TRUE(RunCommand(LoginTargetCommand("iqn.2009-11.com.halden:nas2.disk9", I).value()));
  EXPECT_TRUE(RunCommand(LoginTargetCommand(kPlain, "iqn.1991-05.com.microsoft:other").value()));
  EXPECT_TRUE(RunCommand(LoginTargetCommand(kChap, I).value()));
  EXPECT_TRUE(RunCommand(ChapLoginTargetCommand(kChap, I, "nas2chap", "wrongsecret1").value()));
  EXPECT_TRUE(Read(wmi, kSessionClass, "TargetName").empty());

  EXPECT_TRUE(RunCommand(LoginTargetCommand(kPlain, I).value()));
  EXPECT_TRUE(RunCommand(PersistentLoginTargetCommand(kPlain, I).value()));
  EXPECT_TRUE(RunCommand(ChapLoginTargetCommand(kChap, I, "nas2chap", "chapsecret12").value()));
  EXPECT_EQ((TextList{"TRUE"}), Read(wmi, ConnectionStatisticsCondition(kPlain).value(), "Active"));
  EXPECT_EQ((TextList{I}), Read(wmi, PersistentLoginsOfTargetCondition(kPlain).value(), "InitiatorInstance"));
  EXPECT_TRUE(CommandOutput().empty()) << "only logout output is kept";

  std::vector<SessionDevicesRecord> sessions;
  EXPECT_EQ(0, wmi.QuerySessionDevices(sessions));
  ASSERT_EQ(2u, sessions.size());
  EXPECT_EQ(kPlain, sessions[0].targetName);
  EXPECT_EQ(1u, sessions[0].devices.at(0).deviceNumber);
  EXPECT_EQ(2u, sessions[1].devices.at(0).deviceNumber);
  auto disks = machine.initiator.SessionDisks();
  ASSERT_EQ(2u, disks.size());
  EXPECT_EQ(2048ull << 20, disks[0].sizeBytes);
  EXPECT_EQ(2048ull << 20, std::filesystem::file_size(disks[0].imagePath));
#ifndef _WIN32  // allocated blocks are a POSIX notion; the Windows unit binary checks the size only
  struct stat st {};
  ASSERT_EQ(0, stat(disks[0].imagePath.c_str(), &st));
  EXPECT_LT(st.st_blocks * 512, 1 << 20) << "the image must be sparse";
#endif

  const std::string session = Read(wmi, SessionsOfTargetCondition(kPlain).value(), "SessionId").at(0);
  EXPECT_TRUE(RunCommand(LogoutTargetCommand(session).value()));
  EXPECT_EQ(std::string::npos, CommandOutput().find("The"));
  CommandOutput().clear();
  EXPECT_TRUE(RunCommand(LogoutTargetCommand(session).value()));
  std::size_t the = CommandOutput().find("The");
  EXPECT_TRUE(the != std::string::npos && the > 0) << CommandOutput();
  EXPECT_EQ((TextList{kChap}), Read(wmi, kSessionClass, "TargetName"));

  EXPECT_TRUE(RunCommand(RemovePersistentTargetCommand(I, kPlain, kDevice).value()));
  EXPECT_TRUE(Read(wmi, PersistentLoginsOfTargetCondition(kPlain).value(), "InitiatorInstance").empty());
  EXPECT_TRUE(RunCommand(RemoveTargetPortalCommand(kDevice).value()));
  // The logged-in CHAP target stays listed without its portal; the other one goes.
  EXPECT_EQ((TextList{kChap}), Read(wmi, kTargetClass, "TargetName"));
}

// A wrong query text gets a wrong answer, not the one the test hoped for.
TEST_F(IscsiSim, QueriesAreReadNotMatched) {
  CWmiWrapper wmi;
  ASSERT_EQ(0, wmi.CreateInstanceWithProperty(kSendTargetPortalClass, "PortalAddress", kDevice));
  TextList list;
  EXPECT_EQ(-1, wmi.QueryPropertyList("MSiSCSIInitiator_TargetClas", "TargetName", list));
  EXPECT_EQ(-1, wmi.QueryPropertyList("MSiSCSIInitiator_TargetClass WHERE TargetName == 'x'", "TargetName", list));
  EXPECT_EQ(0, wmi.QueryPropertyList("MSiSCSIInitiator_TargetClass WHERE TargetName = 'IQN.2009-11.COM.HALDEN:NAS2.DISK2'",
                                     "TargetName", list));
  EXPECT_EQ((TextList{kChap}), list);
  EXPECT_EQ(0, wmi.QueryPropertyList("MSiSCSIInitiator_TargetClass WHERE InitiatorName = 'x'", "TargetName", list));
  EXPECT_EQ(1u, list.size());
}

// Without the initiator the tool cannot start and its classes do not exist; with the service
// stopped the tool only complains and the classes are empty.
TEST_F(IscsiSim, AbsentAndStoppedInitiator) {
  winsim::InitiatorInstall stopped;
  stopped.service.state = winsim::ServiceStatus::Stopped;
  machine.services.SetInitiatorInstall(stopped);
  CWmiWrapper wmi;
  TextList list;
  EXPECT_EQ(0, wmi.QueryPropertyList(kInitiatorClass, "InitiatorName", list));
  EXPECT_TRUE(list.empty());
  EXPECT_TRUE(RunCommand("iscsicli logouttarget 1"));
  EXPECT_EQ(0u, CommandOutput().find("iSCSI initiator")) << "the failure follows the banner";
  EXPECT_NE(std::string::npos, CommandOutput().find("The"));

  winsim::InitiatorInstall absent;
  absent.serviceInstalled = false;
  machine.services.SetInitiatorInstall(absent);
  CommandOutput().clear();
  EXPECT_FALSE(RunCommand("iscsicli logouttarget 1"));
  EXPECT_TRUE(CommandOutput().empty());
  EXPECT_EQ(-1, wmi.QueryPropertyList(kInitiatorClass, "InitiatorName", list));
}

// RunAndNotify starts "ipconfig /all" and announces its end once, from the waiter thread.
TEST_F(IscsiSim, RunAndNotifyAnnouncesTheEnd) {
  machine.processes.SetIpconfigDurationMs(20);
  std::atomic<int> calls{0};
  ProcessHandle seen = nullptr;
  ASSERT_EQ(1, RunAndNotify([&](ProcessHandle h) {
              seen = h;
              ++calls;
            }));
  machine.processes.WaitForWaiters();
  EXPECT_EQ(1, calls.load());
  EXPECT_NE(nullptr, seen);
  EXPECT_EQ("ipconfig /all", machine.processes.Launches().back());
}

}  // namespace
}  // namespace sw::iscsi
