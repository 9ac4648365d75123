#include "share/linked_connections.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "simulated_machine.h"
#include "share/drive_connection_table.h"

namespace sw::share {
namespace {


class LinkedConnectionsTest : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    machine.SetFabric(fabric::Fabric{});
    std::memset(DriveConnectionTable, 0, sizeof DriveConnectionTable);
  }
  void TearDown() override {
    test::MachineTest::TearDown();
  }

  static void RunOn(const std::string& text) {
    winsim::WindowsVersion windows;
    ASSERT_TRUE(winsim::ParseWindowsVersion(text, windows)) << text;
    winsim::TheMachine().SetVersion(windows);
  }

  static void SetPolicy(const std::string& subKey, std::uint32_t type, std::vector<std::uint8_t> data) {
    winsim::TheMachine().registry.SetValue(winsim::Hive::LocalMachine, std::string(kPoliciesKey) + "\\" + subKey,
                              kLinkedConnectionsValue, type, data);
  }

  static bool PolicyWritten() {
    return winsim::TheMachine().registry.Dump().find("Policies\\System \"EnableLinkedConnections\" dword:1") !=
           std::string::npos;
  }
};

TEST_F(LinkedConnectionsTest, PolicyIsDecidedByTheFirstDataByteOfAnySubkey) {
  EXPECT_EQ(FindLinkedConnectionsPolicy(), 0) << "no policies key at all";
  machine.registry.SetValue(winsim::Hive::LocalMachine, std::string(kPoliciesKey) + "\\Explorer", "Other",
                            4u, {1, 0, 0, 0});
  EXPECT_EQ(FindLinkedConnectionsPolicy(), 0);

  SetPolicy("Attachments", 4u, {2, 0, 0, 0});  // neither 0 nor 1: next subkey
  SetPolicy("System", 1u, {1, 0});                // the type is not checked
  EXPECT_EQ(FindLinkedConnectionsPolicy(), 1);

  SetPolicy("System", 4u, {0, 0, 0, 0});
  EXPECT_EQ(FindLinkedConnectionsPolicy(), -1);

  // A subkey that cannot be opened is skipped.
  machine.registry.SetAccess(winsim::Hive::LocalMachine, std::string(kPoliciesKey) + "\\System",
                             winsim::KeyAccess::Denied);
  EXPECT_EQ(FindLinkedConnectionsPolicy(), 0);
}

TEST_F(LinkedConnectionsTest, WrittenOnlyOnVistaOrLaterWorkstationsWithoutAValue) {
  for (const char* older : {"xp", "2000", "2008server"}) {
    RunOn(older);
    EnsureLinkedConnections();
    EXPECT_FALSE(PolicyWritten()) << older;
  }
  RunOn("win7");
  EnsureLinkedConnections();
  EXPECT_TRUE(PolicyWritten());

  // An explicit 0 is the administrator's choice and stays.
  SetPolicy("System", 4u, {0, 0, 0, 0});
  EnsureLinkedConnections();
  EXPECT_EQ(FindLinkedConnectionsPolicy(), -1);
}

TEST_F(LinkedConnectionsTest, RefreshesTheTableUnlessTheVersionIsUnknown) {
  machine.letters.SetConnection('Q', "\\\\SRV\\SHARE");
  RunOn("vista");
  // A policy key we may not write does not stop the refresh.
  machine.registry.SetAccess(winsim::Hive::LocalMachine, kPoliciesSystemKey, winsim::KeyAccess::ReadOnly);
  EnsureLinkedConnections();
  EXPECT_FALSE(PolicyWritten());
  EXPECT_STREQ(DriveConnectionTable['Z' - 'Q'].server, "SRV");

  std::memset(DriveConnectionTable, 0, sizeof DriveConnectionTable);
  winsim::WindowsVersion broken;
  broken.kernel32Loaded = false;
  machine.SetVersion(broken);
  EnsureLinkedConnections();
  EXPECT_STREQ(DriveConnectionTable['Z' - 'Q'].server, "") << "no version, no refresh";
  EXPECT_STREQ(DriveConnectionTable[0].driveLabel, "");
}

}  // namespace
}  // namespace sw::share
