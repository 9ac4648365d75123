// The registry port over its simulated backend: the contract every backend honours (in
// registry_contract.h, run here and under Wine over the Win32 backend), what only the simulation
// can set up (stored data without a terminator, access refusals) and its own controls.

#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "host/registry.h"
#include "simulated_machine.h"
#include "registry_contract.h"

namespace sw::host {

std::string contract::RegistryContractKey() {
  return "Software\\SeekwellContract";
}

namespace {

const char* kPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";

class RegistryTest : public test::MachineTest {
 protected:
};

TEST_F(RegistryTest, StoredTextsWithoutTerminatorOrWithANulReadAsWindowsReadsThem) {
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, "Software\\Clients\\StartMenuInternet"));
  // Stored without a terminator: the reader adds one only if there is room.
  machine.registry.SetValue(winsim::Hive::LocalMachine, "Software\\Clients\\StartMenuInternet", "raw", kRegSz,
                      {'a', 'b', 'c'});
  char three[3] = {'x', 'x', 'x'};
  EXPECT_FALSE(key.ReadString("raw", three, sizeof three));
  EXPECT_EQ('x', three[0]);
  char four[4];
  EXPECT_TRUE(key.ReadString("raw", four, sizeof four));
  EXPECT_STREQ("abc", four);

  // Embedded NUL: the text ends there.
  machine.registry.SetValue(winsim::Hive::LocalMachine, "Software\\Clients\\StartMenuInternet", "nul", kRegExpandSz,
                      {'a', 0, 'b', 0});
  std::uint32_t type = 0;
  EXPECT_TRUE(key.ReadString("nul", four, sizeof four, &type));
  EXPECT_STREQ("a", four);
  EXPECT_EQ(kRegExpandSz, type);
}

TEST_F(RegistryTest, RestrictedKeysRefuseAsWindowsWouldForAUser) {
  const std::string system = std::string(kPolicies) + "\\System";
  {
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, system));
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, std::string(kPolicies) + "\\Locked"));
  }
  machine.registry.SetAccess(winsim::Hive::LocalMachine, system, winsim::KeyAccess::ReadOnly);
  machine.registry.SetAccess(winsim::Hive::LocalMachine, std::string(kPolicies) + "\\Locked", winsim::KeyAccess::Denied);

  RegistryKey key;
  EXPECT_TRUE(key.Open(RegistryRoot::LocalMachine, system, RegistryAccess::Read));
  EXPECT_FALSE(key.Open(RegistryRoot::LocalMachine, system, RegistryAccess::ReadWrite));
  EXPECT_FALSE(key.Create(RegistryRoot::LocalMachine, system));
  // A new key below a read-only one cannot be made either.
  EXPECT_FALSE(key.Create(RegistryRoot::LocalMachine, system + "\\Child"));
  EXPECT_FALSE(machine.registry.Exists(winsim::Hive::LocalMachine, system + "\\Child"));

  // A denied key still shows up in its parent's enumeration but cannot be opened.
  EXPECT_FALSE(key.Open(RegistryRoot::LocalMachine, std::string(kPolicies) + "\\Locked", RegistryAccess::Read));
  ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kPolicies, RegistryAccess::Read));
  char name[256];
  ASSERT_TRUE(key.EnumSubKey(0, name, sizeof name));
  EXPECT_STREQ("Locked", name);

  machine.registry.SetAccess(winsim::Hive::LocalMachine, system, winsim::KeyAccess::Normal);
  EXPECT_TRUE(key.Create(RegistryRoot::LocalMachine, system));
}

TEST_F(RegistryTest, ResetInvalidatesOpenKeysWithoutDanglingThem) {
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, "Volatile"));
  ASSERT_TRUE(key.WriteDword("v", 1));
  machine.registry.Reset();
  std::uint32_t value = 0;
  EXPECT_FALSE(key.ReadDword("v", value));
  EXPECT_FALSE(key.WriteDword("v", 2));
  EXPECT_FALSE(machine.registry.Exists(winsim::Hive::CurrentUser, "Volatile"));
  // Recreating the path does not revive the stale handle.
  RegistryKey again;
  ASSERT_TRUE(again.Create(RegistryRoot::CurrentUser, "Volatile"));
  EXPECT_FALSE(key.WriteDword("v", 3));
}

TEST_F(RegistryTest, DumpListsKeysAndValuesInOrder) {
  machine.registry.Reset();  // only what the test writes
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, "B\\C"));
  ASSERT_TRUE(key.WriteDword("n", 258));
  ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, "A"));
  ASSERT_TRUE(key.WriteString("", "x"));
  machine.registry.SetValue(winsim::Hive::LocalMachine, "A", "bin", kRegBinary, {0x01, 0xAB});
  EXPECT_EQ(
      "HKLM\\A\n"
      "HKLM\\A \"\" sz:\"x\"\n"
      "HKLM\\A \"bin\" hex(3):01,ab\n"
      "HKCU\\B\n"
      "HKCU\\B\\C\n"
      "HKCU\\B\\C \"n\" dword:258\n",
      machine.registry.Dump());
}

}  // namespace
}  // namespace sw::host
