#include "iscsi/command_lines.h"
#include "iscsi/iscsi_name.h"
#include "iscsi/wql_queries.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sw::iscsi {
namespace {

const std::string T = "iqn.2009-11.com.halden:nas2.disk1";
const std::string I = "iqn.1991-05.com.microsoft:host";

// Every template and query text, character for character: the initiator and WMI read them
// literally (the doubled blank of 10, the trailing blanks of 3 and 8, quotes, argument order).
TEST(CommandLines, ExactTexts) {
  EXPECT_EQ("iscsicli ListTargets t", ListTargetsCommand());
  EXPECT_EQ("iscsicli RemoveTargetPortal 10.77.0.11 3260", RemoveTargetPortalCommand("10.77.0.11").value());
  EXPECT_EQ("iscsicli ClearPersistentDevices ", ClearPersistentDevicesCommand());
  EXPECT_EQ("iscsicli logintarget " + T + " t * * " + I + " * * * * * * * * * * * * 0",
            LoginTargetCommand(T, I).value());
  EXPECT_EQ("iscsicli persistentlogintarget " + T + " t * * " + I + " * * * * * * * * * * * * 0",
            PersistentLoginTargetCommand(T, I).value());
  EXPECT_EQ("iscsicli logintarget " + T + " t * * " + I + " * * * * * * * * \"nas2chap\" \"chapsecret12\" 1 * 0",
            ChapLoginTargetCommand(T, I, "nas2chap", "chapsecret12").value());
  EXPECT_EQ("iscsicli persistentlogintarget " + T + " t * * " + I +
                " * * * * * * * * \"nas2chap\" \"chapsecret12\" 1 * 0",
            ChapPersistentLoginTargetCommand(T, I, "nas2chap", "chapsecret12").value());
  EXPECT_EQ("iscsicli BindPersistentVolumes ", BindPersistentVolumesCommand());
  EXPECT_EQ("iscsicli logouttarget ffffe0011f6b9018-4000013700000002",
            LogoutTargetCommand("ffffe0011f6b9018-4000013700000002").value());
  EXPECT_EQ("iscsicli removepersistenttarget  \"ROOT\\ISCSIPRT\\0000_0\" \"" + T + "\" * \"10.77.0.11\" 3260",
            RemovePersistentTargetCommand("ROOT\\ISCSIPRT\\0000_0", T, "10.77.0.11").value());
  EXPECT_EQ("iscsicli RemovePersistentDevice E:\\", RemovePersistentDeviceCommand("E:\\").value());
  EXPECT_EQ("iscsicli AddPersistentDevice E:\\", AddPersistentDeviceCommand("E:\\").value());

  EXPECT_EQ("MSiSCSIInitiator_TargetClass WHERE TargetName = '" + T + "'", TargetByNameCondition(T).value());
  EXPECT_EQ("SELECT * FROM MSiSCSIInitiator_TargetClass WHERE TargetName = '" + T + "'",
            TargetPortalsQuery(T).value());
  EXPECT_EQ("MSiSCSI_ConnectionStatistics WHERE InstanceName = '" + T + "'",
            ConnectionStatisticsCondition(T).value());
  EXPECT_EQ("MSiSCSIInitiator_SessionClass WHERE TargetName = '" + T + "'", SessionsOfTargetCondition(T).value());
  EXPECT_EQ("MSiSCSIInitiator_PersistentLoginClass WHERE TargetName = '" + T + "'",
            PersistentLoginsOfTargetCondition(T).value());
}

// A built command line must read back as exactly the intended arguments, so no accepted value can
// add, merge or shift an argument of the initiator tool.
TEST(CommandLines, AcceptedValuesReadBackAsTheirOwnArguments) {
  for (const std::string user : {"nas2chap", "a b", "x\\y", "", "&|<>^%!", "o'neil"}) {
    for (const std::string secret : {"chapsecret12", "with blanks in it", "back\\slash\\in", "semi;colon$"}) {
      auto line = ChapLoginTargetCommand(T, I, user, secret);
      ASSERT_TRUE(line) << user << " / " << secret;
      auto args = SplitCommandLine(*line);
      ASSERT_EQ(20u, args.size()) << *line;
      EXPECT_EQ(user, args[15]);
      EXPECT_EQ(secret, args[16]);
      EXPECT_EQ("1", args[17]);
    }
  }
  auto removal = SplitCommandLine(RemovePersistentTargetCommand("ROOT\\ISCSIPRT\\0000_0", T, "10.77.0.11").value());
  EXPECT_EQ((std::vector<std::string>{"iscsicli", "removepersistenttarget", "ROOT\\ISCSIPRT\\0000_0", T, "*",
                                      "10.77.0.11", "3260"}),
            removal);
  EXPECT_EQ(20u, SplitCommandLine(LoginTargetCommand("EUI.0123456789ABCDEF", I).value()).size());
}

// Values that would change the command line or the query are refused by every builder, and
// target names outside the iSCSI grammar never reach a command line.
TEST(CommandLines, HostileTargetNamesAreRefusedEverywhere) {
  const std::string longTail(223 - std::string("iqn.2009-11.com.halden:").size(), 'x');
  const std::vector<std::string> hostile = {
      "",
      "iqn",
      "iqn.",
      "iqn2009-11.com.halden:disk",
      "iqn-2009-11.com.halden:disk",
      "iqn.2009-11com.halden:disk",
      "iqn.09-11.com.halden:disk",
      "iqn.2009-13.com.halden:disk",
      "iqn.2009-00.com.halden:disk",
      "iqn.2009-1.com.halden:disk",
      "iqn.200a-11.com.halden:disk",
      "iqn.2009-11.",
      "iqn.2009-11.:disk",
      "iqn.2009-11.com..halden:disk",
      "iqn.2009-11..com.halden:disk",
      "iqn.2009-11.com.halden.:disk",
      "iqn.2009-11.com.halden:",
      "iqn.2009-11.com_halden:disk",
      "iqn.2009-11.com.halden:disk one",
      " iqn.2009-11.com.halden:disk",
      "iqn.2009-11.com.halden:disk ",
      "iqn.2009-11.com.halden:disk\t",
      "iqn.2009-11.com.halden:disk\"",
      "iqn.2009-11.com.halden:\" \"x",
      "iqn.2009-11.com.halden:disk' OR TargetName <> '",
      "iqn.2009-11.com.halden:o'brien",
      "iqn.2009-11.com.halden:disk&calc",
      "iqn.2009-11.com.halden:disk|more",
      "iqn.2009-11.com.halden:disk>out",
      "iqn.2009-11.com.halden:disk<in",
      "iqn.2009-11.com.halden:disk^x",
      "iqn.2009-11.com.halden:%PATH%",
      "iqn.2009-11.com.halden:disk;rm",
      "iqn.2009-11.com.halden:$(id)",
      "iqn.2009-11.com.halden:`id`",
      "iqn.2009-11.com.halden:disk\\",
      "iqn.2009-11.com.halden:a\\b",
      "iqn.2009-11.com.halden:disk/1",
      "iqn.2009-11.com.halden:disk*",
      "iqn.2009-11.com.halden:disk?",
      "iqn.2009-11.com.halden:disk\n",
      "iqn.2009-11.com.halden:disk\r\niscsicli",
      std::string("iqn.2009-11.com.halden:disk\0x", 29),
      "iqn.2009-11.com.halden:disk\x1b[2J",
      "iqn.2009-11.com.halden:disk\x7f",
      "iqn.2009-11.com.halden:" + longTail + "x",
      "iqn.2009-11.com.halden:d\xc3\xafsk",       // i with diaeresis
      "\xd1\x96qn.2009-11.com.halden:disk",       // Cyrillic i
      "iqn.2009-11.com.halden:disk\xef\xbc\x9a" "1",  // full-width colon
      "iqn\xe2\x80\xa4" "2009-11.com.halden:disk",  // one-dot leader
      "eui.",
      "eui.0123456789abcde",
      "eui.0123456789abcdef0",
      "eui.0123456789abcdeg",
      "eui.0123456789abcdef:x",
      "naa.0123456789abcdef0123",
      "naa.0123456789abcdef0123456789abcde",
      "naa.0123456789abcdef0123456789abcdef0",
      "nqn.2014-08.org.nvmexpress:uuid",
      "iqn:2009-11.com.halden:disk",
      "IQN 2009-11.com.halden:disk",
  };
  ASSERT_GE(hostile.size(), 50u);
  for (const auto& name : hostile) {
    SCOPED_TRACE(testing::PrintToString(name));
    EXPECT_FALSE(IsValidIscsiName(name));
    EXPECT_FALSE(LoginTargetCommand(name, I));
    EXPECT_FALSE(PersistentLoginTargetCommand(name, I));
    EXPECT_FALSE(ChapLoginTargetCommand(name, I, "u", "secretsecret"));
    EXPECT_FALSE(ChapPersistentLoginTargetCommand(name, I, "u", "secretsecret"));
    EXPECT_FALSE(RemovePersistentTargetCommand("ROOT\\ISCSIPRT\\0000_0", name, "10.77.0.11"));
    // The query builders take any name without quotes, backslashes or control bytes: such a name
    // can be listed safely, but nothing can be run for it.
    bool wqlUnsafe = name.find_first_of("'\"\\") != std::string::npos || name.empty();
    for (char c : name) wqlUnsafe |= static_cast<unsigned char>(c) < 0x20 || c == 0x7f;
    EXPECT_EQ(!wqlUnsafe, SessionsOfTargetCondition(name).has_value());
    EXPECT_EQ(!wqlUnsafe, TargetPortalsQuery(name).has_value());
  }

  for (const std::string& good : std::vector<std::string>{"iqn.2009-11.com.halden:nas2.disk1", "IQN.2009-11.COM.Halden:Disk-2",
                                 "iqn.1991-05.com.microsoft", "iqn.2009-11.com.halden:" + longTail,
                                 "eui.02004567A425678D", "naa.52004567BA64678D",
                                 "naa.62004567BA64678D0123456789ABCDEF", "iqn.2009-11.x:a:b:c"}) {
    EXPECT_TRUE(IsValidIscsiName(good)) << good;
    EXPECT_TRUE(LoginTargetCommand(good, I)) << good;
  }
}

// The other values of the templates: quotes, control bytes and (unquoted) blanks are refused; a
// quoted value may not end in a backslash, which would swallow its closing quote.
TEST(CommandLines, HostileOtherValuesAreRefused) {
  for (const std::string bad : {"a\"b", "a'b", "a\x01", "a\n", "\x7f", "ends\\"}) {
    // An apostrophe is plain text inside double quotes; the CHAP values never reach a query.
    if (bad != "a'b") {
      EXPECT_FALSE(ChapLoginTargetCommand(T, I, bad, "chapsecret12")) << bad;
      EXPECT_FALSE(ChapPersistentLoginTargetCommand(T, I, "user", bad)) << bad;
    }
    EXPECT_FALSE(RemovePersistentTargetCommand(bad, T, "10.77.0.11")) << bad;
    EXPECT_FALSE(RemovePersistentTargetCommand("ROOT\\ISCSIPRT\\0000_0", T, bad)) << bad;
  }
  // A CHAP value's byte outside printable ASCII is a different character under another code page.
  for (const std::string bad : {"caf\xe9secret", "\x80", "\xff\xfe"}) {
    EXPECT_FALSE(ChapLoginTargetCommand(T, I, bad, "chapsecret12")) << bad;
    EXPECT_FALSE(ChapPersistentLoginTargetCommand(T, I, "user", bad)) << bad;
  }
  for (const std::string bad : {"", "a b", "a\"b", "a'b", "x\ty", "id\r\n"}) {
    EXPECT_FALSE(LoginTargetCommand(T, bad)) << bad;
    EXPECT_FALSE(RemoveTargetPortalCommand(bad)) << bad;
    EXPECT_FALSE(LogoutTargetCommand(bad)) << bad;
    EXPECT_FALSE(AddPersistentDeviceCommand(bad)) << bad;
    EXPECT_FALSE(RemovePersistentDeviceCommand(bad)) << bad;
  }
}

}  // namespace
}  // namespace sw::iscsi
