#include "share/linked_connections.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "host/registry_sim.h"
#include "host/version_api_sim.h"
#include "share/drive_connection_table.h"
#include "share/network_drives_sim.h"

namespace sw::share {
namespace {

using host::RegistryRoot;

class LinkedConnectionsTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::SimRegistryReset();
    sim::SetFabric(fabric::Fabric{});
    std::memset(DriveConnectionTable, 0, sizeof DriveConnectionTable);
  }
  void TearDown() override {
    host::SimRegistryReset();
    host::version_api::ResetSimulatedWindows();
    sim::Reset();
  }

  static void RunOn(const std::string& text) {
    host::version_api::SimulatedWindows windows;
    ASSERT_TRUE(host::version_api::ParseSimulatedWindows(text, windows)) << text;
    host::version_api::SetSimulatedWindows(windows);
  }

  static void SetPolicy(const std::string& subKey, std::uint32_t type, std::vector<std::uint8_t> data) {
    host::SimRegistrySetValue(RegistryRoot::LocalMachine, std::string(kPoliciesKey) + "\\" + subKey,
                              kLinkedConnectionsValue, type, data);
  }

  static bool PolicyWritten() {
    return host::SimRegistryDump().find("Policies\\System \"EnableLinkedConnections\" dword:1") !=
           std::string::npos;
  }
};

TEST_F(LinkedConnectionsTest, PolicyIsDecidedByTheFirstDataByteOfAnySubkey) {
  EXPECT_EQ(FindLinkedConnectionsPolicy(), 0) << "no policies key at all";
  host::SimRegistrySetValue(RegistryRoot::LocalMachine, std::string(kPoliciesKey) + "\\Explorer", "Other",
                            host::kRegDword, {1, 0, 0, 0});
  EXPECT_EQ(FindLinkedConnectionsPolicy(), 0);

  SetPolicy("Attachments", host::kRegDword, {2, 0, 0, 0});  // neither 0 nor 1: next subkey
  SetPolicy("System", host::kRegSz, {1, 0});                // the type is not checked
  EXPECT_EQ(FindLinkedConnectionsPolicy(), 1);

  SetPolicy("System", host::kRegDword, {0, 0, 0, 0});
  EXPECT_EQ(FindLinkedConnectionsPolicy(), -1);

  // A subkey that cannot be opened is skipped.
  host::SimRegistrySetAccess(RegistryRoot::LocalMachine, std::string(kPoliciesKey) + "\\System",
                             host::SimKeyAccess::Denied);
  EXPECT_EQ(FindLinkedConnectionsPolicy(), 0);
}

TEST_F(LinkedConnectionsTest, WrittenOnlyOnVistaOrLaterWorkstationsWithoutAValue) {
  for (const char* older : {"xp", "2000", "2008server"}) {
    host::SimRegistryReset();
    RunOn(older);
    EnsureLinkedConnections();
    EXPECT_FALSE(PolicyWritten()) << older;
  }
  host::SimRegistryReset();
  RunOn("win7");
  EnsureLinkedConnections();
  EXPECT_TRUE(PolicyWritten());

  // An explicit 0 is the administrator's choice and stays.
  host::SimRegistryReset();
  SetPolicy("System", host::kRegDword, {0, 0, 0, 0});
  EnsureLinkedConnections();
  EXPECT_EQ(FindLinkedConnectionsPolicy(), -1);
}

TEST_F(LinkedConnectionsTest, RefreshesTheTableUnlessTheVersionIsUnknown) {
  sim::SetConnection('Q', "\\\\SRV\\SHARE");
  RunOn("vista");
  // A policy key we may not write does not stop the refresh.
  host::SimRegistrySetAccess(RegistryRoot::LocalMachine, kPoliciesSystemKey, host::SimKeyAccess::ReadOnly);
  EnsureLinkedConnections();
  EXPECT_FALSE(PolicyWritten());
  EXPECT_STREQ(DriveConnectionTable['Z' - 'Q'].server, "SRV");

  std::memset(DriveConnectionTable, 0, sizeof DriveConnectionTable);
  host::version_api::SimulatedWindows broken;
  broken.kernel32Loaded = false;
  host::version_api::SetSimulatedWindows(broken);
  EnsureLinkedConnections();
  EXPECT_STREQ(DriveConnectionTable['Z' - 'Q'].server, "") << "no version, no refresh";
  EXPECT_STREQ(DriveConnectionTable[0].driveLabel, "");
}

}  // namespace
}  // namespace sw::share
