// The registry port over its simulated backend: the contract callers rely on (bounded reads that
// never cut a text short, out-parameters untouched on failure, case-insensitive names, access
// refusals) and the simulation's own controls.

#include <cstring>
#include <string>
#include <utility>

#include <gtest/gtest.h>

#include "host/registry.h"
#include "host/registry_sim.h"

namespace sw::host {
namespace {

const char* kPolicies = "Software\\Microsoft\\Windows\\CurrentVersion\\Policies";

class RegistryTest : public ::testing::Test {
 protected:
  void SetUp() override { SimRegistryReset(); }
  void TearDown() override { SimRegistryReset(); }
};

TEST_F(RegistryTest, CreateWriteReadRoundTripWithCaseInsensitiveNames) {
  {
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, std::string(kPolicies) + "\\System"));
    EXPECT_TRUE(key.WriteDword("EnableLinkedConnections", 1));
    EXPECT_TRUE(key.WriteString("Note", "hello"));
  }
  RegistryKey key;
  ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, "SOFTWARE\\microsoft\\windows\\currentversion\\policies\\SYSTEM",
                       RegistryAccess::Read));
  std::uint32_t value = 0;
  EXPECT_TRUE(key.ReadDword("enablelinkedconnections", value));
  EXPECT_EQ(1u, value);
  char text[16];
  EXPECT_TRUE(key.ReadString("NOTE", text, sizeof text));
  EXPECT_STREQ("hello", text);

  // Parents were created, and the other roots are separate trees.
  EXPECT_TRUE(SimRegistryKeyExists(RegistryRoot::LocalMachine, "Software\\Microsoft"));
  EXPECT_FALSE(key.Open(RegistryRoot::CurrentUser, kPolicies, RegistryAccess::Read));
  EXPECT_FALSE(key.IsOpen());
}

TEST_F(RegistryTest, FailedOpenClosesTheKeyItHeld) {
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, "A"));
  EXPECT_FALSE(key.Open(RegistryRoot::CurrentUser, "Missing", RegistryAccess::Read));
  EXPECT_FALSE(key.IsOpen());
  std::uint32_t value = 7;
  EXPECT_FALSE(key.ReadDword("x", value));
  EXPECT_FALSE(key.WriteDword("x", 1));
  EXPECT_EQ(7u, value);
  EXPECT_EQ(std::string::npos, SimRegistryDump().find("\"x\""));
}

TEST_F(RegistryTest, StringReadsAreBoundedAndNeverCutShort) {
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, "Software\\Clients\\StartMenuInternet"));
  ASSERT_TRUE(key.WriteString("", "FIREFOX.EXE"));  // the default value

  char exact[12];  // 11 characters + NUL
  EXPECT_TRUE(key.ReadString("", exact, sizeof exact));
  EXPECT_STREQ("FIREFOX.EXE", exact);

  char small[11];
  std::memset(small, 'Q', sizeof small);
  EXPECT_FALSE(key.ReadString("", small, sizeof small));
  for (char c : small) EXPECT_EQ('Q', c);
  EXPECT_FALSE(key.ReadString("", small, 0));

  // Stored without a terminator: the reader adds one only if there is room.
  SimRegistrySetValue(RegistryRoot::LocalMachine, "Software\\Clients\\StartMenuInternet", "raw", kRegSz,
                      {'a', 'b', 'c'});
  char three[3] = {'x', 'x', 'x'};
  EXPECT_FALSE(key.ReadString("raw", three, sizeof three));
  EXPECT_EQ('x', three[0]);
  char four[4];
  EXPECT_TRUE(key.ReadString("raw", four, sizeof four));
  EXPECT_STREQ("abc", four);

  // Embedded NUL: the text ends there.
  SimRegistrySetValue(RegistryRoot::LocalMachine, "Software\\Clients\\StartMenuInternet", "nul", kRegExpandSz,
                      {'a', 0, 'b', 0});
  EXPECT_TRUE(key.ReadString("nul", four, sizeof four));
  EXPECT_STREQ("a", four);
}

TEST_F(RegistryTest, TypeMismatchesFailWithoutTouchingOutput) {
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, "K"));
  ASSERT_TRUE(key.WriteDword("number", 5));
  ASSERT_TRUE(key.WriteString("text", "5"));
  SimRegistrySetValue(RegistryRoot::LocalMachine, "K", "short", kRegDword, {1, 2});

  char text[8] = "keep";
  EXPECT_FALSE(key.ReadString("number", text, sizeof text));
  EXPECT_STREQ("keep", text);
  std::uint32_t value = 99;
  EXPECT_FALSE(key.ReadDword("text", value));
  EXPECT_FALSE(key.ReadDword("short", value));
  EXPECT_FALSE(key.ReadDword("absent", value));
  EXPECT_EQ(99u, value);
}

TEST_F(RegistryTest, RawReadsReportTypeAndLengthAndRespectTheBuffer) {
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, std::string(kPolicies) + "\\Explorer"));
  ASSERT_TRUE(key.WriteDword("EnableLinkedConnections", 0));
  ASSERT_TRUE(key.WriteString("Text", "1abc"));

  unsigned char data[256];
  std::size_t length = 0;
  std::uint32_t type = 0;
  ASSERT_TRUE(key.ReadValue("EnableLinkedConnections", data, sizeof data, length, &type));
  EXPECT_EQ(kRegDword, type);
  EXPECT_EQ(4u, length);
  EXPECT_EQ(0, data[0]);
  ASSERT_TRUE(key.ReadValue("Text", data, sizeof data, length, nullptr));
  EXPECT_EQ(5u, length);
  EXPECT_EQ('1', data[0]);

  unsigned char tiny[4] = {9, 9, 9, 9};
  length = 77;
  EXPECT_FALSE(key.ReadValue("Text", tiny, sizeof tiny, length, &type));
  EXPECT_EQ(77u, length);
  EXPECT_EQ(9, tiny[0]);
}

TEST_F(RegistryTest, EnumeratesSubkeysInOrderUntilTheEnd) {
  for (const char* name : {"System", "explorer", "Attachments", "NonEnum"}) {
    RegistryKey child;
    ASSERT_TRUE(child.Create(RegistryRoot::LocalMachine, std::string(kPolicies) + "\\" + name));
  }
  RegistryKey key;
  ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kPolicies, RegistryAccess::Read));
  std::vector<std::string> names;
  char name[256];
  for (std::uint32_t i = 0; key.EnumSubKey(i, name, sizeof name); ++i) names.push_back(name);
  EXPECT_EQ((std::vector<std::string>{"Attachments", "explorer", "NonEnum", "System"}), names);

  char shortName[6] = "keep";  // "System" needs 7 bytes
  EXPECT_FALSE(key.EnumSubKey(3, shortName, sizeof shortName));
  EXPECT_STREQ("keep", shortName);
}

TEST_F(RegistryTest, ReadAccessCannotWrite) {
  RegistryKey writer;
  ASSERT_TRUE(writer.Create(RegistryRoot::LocalMachine, "K"));
  RegistryKey reader;
  ASSERT_TRUE(reader.Open(RegistryRoot::LocalMachine, "K", RegistryAccess::Read));
  EXPECT_FALSE(reader.WriteDword("v", 1));
  EXPECT_FALSE(reader.WriteString("s", "x"));
  std::uint32_t value = 0;
  EXPECT_FALSE(reader.ReadDword("v", value));
}

TEST_F(RegistryTest, RestrictedKeysRefuseAsWindowsWouldForAUser) {
  const std::string system = std::string(kPolicies) + "\\System";
  {
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, system));
    ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, std::string(kPolicies) + "\\Locked"));
  }
  SimRegistrySetAccess(RegistryRoot::LocalMachine, system, SimKeyAccess::ReadOnly);
  SimRegistrySetAccess(RegistryRoot::LocalMachine, std::string(kPolicies) + "\\Locked", SimKeyAccess::Denied);

  RegistryKey key;
  EXPECT_TRUE(key.Open(RegistryRoot::LocalMachine, system, RegistryAccess::Read));
  EXPECT_FALSE(key.Open(RegistryRoot::LocalMachine, system, RegistryAccess::ReadWrite));
  EXPECT_FALSE(key.Create(RegistryRoot::LocalMachine, system));
  // A new key below a read-only one cannot be made either.
  EXPECT_FALSE(key.Create(RegistryRoot::LocalMachine, system + "\\Child"));
  EXPECT_FALSE(SimRegistryKeyExists(RegistryRoot::LocalMachine, system + "\\Child"));

  // A denied key still shows up in its parent's enumeration but cannot be opened.
  EXPECT_FALSE(key.Open(RegistryRoot::LocalMachine, std::string(kPolicies) + "\\Locked", RegistryAccess::Read));
  ASSERT_TRUE(key.Open(RegistryRoot::LocalMachine, kPolicies, RegistryAccess::Read));
  char name[256];
  ASSERT_TRUE(key.EnumSubKey(0, name, sizeof name));
  EXPECT_STREQ("Locked", name);

  SimRegistrySetAccess(RegistryRoot::LocalMachine, system, SimKeyAccess::Normal);
  EXPECT_TRUE(key.Create(RegistryRoot::LocalMachine, system));
}

TEST_F(RegistryTest, ResetInvalidatesOpenKeysWithoutDanglingThem) {
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, "Volatile"));
  ASSERT_TRUE(key.WriteDword("v", 1));
  SimRegistryReset();
  std::uint32_t value = 0;
  EXPECT_FALSE(key.ReadDword("v", value));
  EXPECT_FALSE(key.WriteDword("v", 2));
  EXPECT_FALSE(SimRegistryKeyExists(RegistryRoot::CurrentUser, "Volatile"));
  // Recreating the path does not revive the stale handle.
  RegistryKey again;
  ASSERT_TRUE(again.Create(RegistryRoot::CurrentUser, "Volatile"));
  EXPECT_FALSE(key.WriteDword("v", 3));
}

TEST_F(RegistryTest, MovedKeysKeepOneOwner) {
  RegistryKey first;
  ASSERT_TRUE(first.Create(RegistryRoot::ClassesRoot, "http\\shell"));
  RegistryKey second(std::move(first));
  EXPECT_FALSE(first.IsOpen());  // NOLINT(bugprone-use-after-move): moved-from state is specified
  EXPECT_TRUE(second.WriteString("", "open"));
  RegistryKey third;
  third = std::move(second);
  EXPECT_FALSE(second.IsOpen());  // NOLINT(bugprone-use-after-move)
  char text[8];
  EXPECT_TRUE(third.ReadString("", text, sizeof text));
  EXPECT_STREQ("open", text);
}

TEST_F(RegistryTest, DumpListsKeysAndValuesInOrder) {
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, "B\\C"));
  ASSERT_TRUE(key.WriteDword("n", 258));
  ASSERT_TRUE(key.Create(RegistryRoot::LocalMachine, "A"));
  ASSERT_TRUE(key.WriteString("", "x"));
  SimRegistrySetValue(RegistryRoot::LocalMachine, "A", "bin", kRegBinary, {0x01, 0xAB});
  EXPECT_EQ(
      "HKLM\\A\n"
      "HKLM\\A \"\" sz:\"x\"\n"
      "HKLM\\A \"bin\" hex(3):01,ab\n"
      "HKCU\\B\n"
      "HKCU\\B\\C\n"
      "HKCU\\B\\C \"n\" dword:258\n",
      SimRegistryDump());
}

}  // namespace
}  // namespace sw::host
