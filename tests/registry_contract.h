#pragma once
// The contract of the registry port, for any backend: bounded reads that never cut a text short,
// out-parameters untouched on failure, case-insensitive names, enumeration order, read access
// that cannot write. Included once by the unit tests (simulated registry) and once by the Win32
// backend's tests under Wine; each defines RegistryContractKey(): a fresh key under
// HKEY_CURRENT_USER that no other test uses.

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "host/registry.h"

namespace sw::host::contract {

std::string RegistryContractKey();

TEST(RegistryContract, WriteReadRoundTripWithCaseInsensitiveNames) {
  const std::string base = RegistryContractKey();
  {
    RegistryKey key;
    ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, base + "\\Policies\\System"));
    EXPECT_TRUE(key.WriteDword("EnableLinkedConnections", 1));
    EXPECT_TRUE(key.WriteString("Note", "hello"));
  }
  RegistryKey key;
  ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, base + "\\POLICIES\\system", RegistryAccess::Read));
  std::uint32_t value = 0;
  EXPECT_TRUE(key.ReadDword("enablelinkedconnections", value));
  EXPECT_EQ(1u, value);
  char text[16];
  std::uint32_t type = 0;
  EXPECT_TRUE(key.ReadString("NOTE", text, sizeof text, &type));
  EXPECT_STREQ("hello", text);
  EXPECT_EQ(kRegSz, type);
  // A read-only key refuses writes, and a failed open leaves no key open.
  EXPECT_FALSE(key.WriteDword("EnableLinkedConnections", 2));
  EXPECT_FALSE(key.WriteString("Note", "x"));
  EXPECT_FALSE(key.Open(RegistryRoot::CurrentUser, base + "\\Missing", RegistryAccess::Read));
  EXPECT_FALSE(key.IsOpen());
  std::uint32_t untouched = 7;
  EXPECT_FALSE(key.ReadDword("EnableLinkedConnections", untouched));
  EXPECT_EQ(7u, untouched);
}

TEST(RegistryContract, ReadsAreBoundedNeverCutShortAndTypeChecked) {
  const std::string base = RegistryContractKey();
  RegistryKey key;
  ASSERT_TRUE(key.Create(RegistryRoot::CurrentUser, base));
  ASSERT_TRUE(key.WriteString("", "FIREFOX.EXE"));  // the default value
  ASSERT_TRUE(key.WriteDword("number", 5));

  char exact[12];  // 11 characters + NUL
  EXPECT_TRUE(key.ReadString("", exact, sizeof exact));
  EXPECT_STREQ("FIREFOX.EXE", exact);
  char small[11];
  std::memset(small, 'Q', sizeof small);
  EXPECT_FALSE(key.ReadString("", small, sizeof small));
  for (char c : small) EXPECT_EQ('Q', c);
  EXPECT_FALSE(key.ReadString("", small, 0));

  char text[8] = "keep";
  EXPECT_FALSE(key.ReadString("number", text, sizeof text));
  EXPECT_STREQ("keep", text);
  std::uint32_t value = 99;
  EXPECT_FALSE(key.ReadDword("", value));
  EXPECT_FALSE(key.ReadDword("absent", value));
  EXPECT_EQ(99u, value);

  unsigned char raw[256];
  std::size_t length = 0;
  std::uint32_t type = 0;
  ASSERT_TRUE(key.ReadValue("number", raw, sizeof raw, length, &type));
  EXPECT_EQ(kRegDword, type);
  EXPECT_EQ(4u, length);
  EXPECT_EQ(5, raw[0]);
  unsigned char tiny[4] = {9, 9, 9, 9};
  length = 77;
  EXPECT_FALSE(key.ReadValue("", tiny, sizeof tiny, length, &type));
  EXPECT_EQ(77u, length);
  EXPECT_EQ(9, tiny[0]);
}

TEST(RegistryContract, EnumeratesSubkeysInOrderUntilTheEnd) {
  const std::string base = RegistryContractKey();
  for (const char* name : {"Zeta", "alpha", "Beta"}) {
    RegistryKey child;
    ASSERT_TRUE(child.Create(RegistryRoot::CurrentUser, base + "\\Enum\\" + name));
  }
  RegistryKey key;
  ASSERT_TRUE(key.Open(RegistryRoot::CurrentUser, base + "\\Enum", RegistryAccess::Read));
  std::vector<std::string> names;
  char name[256];
  for (std::uint32_t i = 0; key.EnumSubKey(i, name, sizeof name); ++i) names.push_back(name);
  EXPECT_EQ((std::vector<std::string>{"alpha", "Beta", "Zeta"}), names);
  char shortName[4] = "abc";  // "Beta" needs 5 bytes
  EXPECT_FALSE(key.EnumSubKey(1, shortName, sizeof shortName));
  EXPECT_STREQ("abc", shortName);
}

TEST(RegistryContract, MovedKeysKeepOneOwner) {
  const std::string base = RegistryContractKey();
  RegistryKey first;
  ASSERT_TRUE(first.Create(RegistryRoot::CurrentUser, base + "\\http\\shell"));
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

}  // namespace sw::host::contract
