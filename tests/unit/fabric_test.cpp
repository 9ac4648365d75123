#include "fabric/fabric.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace sw::fabric {
namespace {

Fabric MustLoad(const std::string& text) {
  Fabric f;
  std::string error;
  EXPECT_TRUE(LoadFabric(text, &f, &error)) << error;
  return f;
}

std::string LoadError(const std::string& text) {
  Fabric f;
  f.devices.resize(1);
  std::string error;
  EXPECT_FALSE(LoadFabric(text, &f, &error)) << text;
  EXPECT_EQ(f.devices.size(), 1u) << "a failed load must leave the fabric untouched";
  return error;
}

std::string OneDevice(const std::string& members) {
  return R"({"devices": [{"name": "N1", "address": "10.77.0.20")" +
         (members.empty() ? std::string() : ", " + members) + "}]}";
}

TEST(FabricTest, DefaultFabricHasOnePlainAndOneIscsiDevice) {
  Fabric f = MustLoad(DefaultFabricJson());
  ASSERT_EQ(f.devices.size(), 2u);
  const Device& plain = f.devices[0];
  const Device& iscsi = f.devices[1];
  EXPECT_EQ(plain.announcement, Announcement::Basic);
  EXPECT_FALSE(plain.iscsi);
  EXPECT_TRUE(plain.targets.empty());
  EXPECT_EQ(iscsi.announcement, Announcement::Extended);
  EXPECT_TRUE(iscsi.iscsi);
  ASSERT_EQ(iscsi.targets.size(), 2u);
  EXPECT_NE(plain.address, iscsi.address);
  EXPECT_NE(plain.nodeId, iscsi.nodeId);
  // The demo's two reply styles: one to the group, one to the host.
  EXPECT_NE(plain.replyTo, iscsi.replyTo);
  EXPECT_EQ(f.FindByAddress(iscsi.address), &f.devices[1]);
  EXPECT_EQ(f.FindByName(plain.name), &f.devices[0]);
  EXPECT_EQ(f.FindByName("nope"), nullptr);
}

TEST(FabricTest, ReadsEveryDeviceMember) {
  Fabric f = MustLoad(OneDevice(R"(
    "nodeId": "02-00-00-AA-bb-0c", "netmask": "255.255.255.0", "gateway": "10.77.0.1",
    "dhcp": true, "announcement": "extended", "filter": [3, 4], "tag": "69 73 63 73 69 31",
    "replyTo": "host", "adminUser": "root", "adminPassword": "pw", "shares": ["a", "b"],
    "targets": [{"entry": "raw|entry"}], "dhcpPool": ["10.77.0.200", "10.77.0.201"],
    "dhcpNetmask": "255.255.0.0", "dhcpGateway": "10.77.0.254",
    "delays": {"login": 1500, "dhcp": 20}, "silent": ["shares"], "http": false, "httpPort": 8080)"));
  const Device& d = f.devices[0];
  EXPECT_EQ(d.nodeId, (NodeId{0x02, 0x00, 0x00, 0xaa, 0xbb, 0x0c}));
  EXPECT_EQ(d.netmask, "255.255.255.0");
  EXPECT_TRUE(d.dhcp);
  EXPECT_EQ(d.filterA, 3);
  EXPECT_EQ(d.filterB, 4);
  EXPECT_TRUE(d.hasRawTag);
  EXPECT_EQ(d.rawTag[5], '1');
  EXPECT_EQ(d.replyTo, ReplyDestination::Host);
  EXPECT_EQ(d.adminUser, "root");
  EXPECT_EQ(d.shares.size(), 2u);
  EXPECT_EQ(TargetEntryText(d.targets[0]), "raw|entry");
  EXPECT_EQ(d.dhcpPool.size(), 2u);
  EXPECT_EQ(d.DelayMs(Exchange::Login), 1500);
  EXPECT_EQ(d.DelayMs(Exchange::Discover), 0);
  EXPECT_TRUE(d.IsSilent(Exchange::Shares));
  EXPECT_FALSE(d.IsSilent(Exchange::Login));
  EXPECT_FALSE(d.http);
  EXPECT_EQ(d.httpPort, 8080);
}

TEST(FabricTest, DefaultsOfAMinimalDevice) {
  Fabric f = MustLoad(OneDevice(""));
  const Device& d = f.devices[0];
  EXPECT_EQ(d.announcement, Announcement::Basic);
  EXPECT_EQ(d.filterA, 3);
  EXPECT_EQ(d.filterB, 3);
  EXPECT_EQ(d.replyTo, ReplyDestination::Group);
  EXPECT_EQ(d.adminUser, "admin");
  EXPECT_EQ(d.adminPassword, "");
  EXPECT_TRUE(d.http);
  // The default node identifier follows the address, so devices of one fabric stay distinct.
  EXPECT_EQ(d.nodeId[5], 20);
  // An iSCSI device announces itself with the extended form unless told otherwise.
  EXPECT_EQ(MustLoad(OneDevice(R"("iscsi": true)")).devices[0].announcement, Announcement::Extended);
}

TEST(FabricTest, TargetEntryCarriesTheSecretInBase64) {
  Target t;
  t.name = "iqn.2009-11.com.halden:nas2.disk2";
  t.auth = "chap";
  t.user = "u";
  t.secret = "chapsecret12";
  EXPECT_EQ(TargetEntryText(t), "iqn.2009-11.com.halden:nas2.disk2|chap@u$Y2hhcHNlY3JldDEy");
  Fabric f = MustLoad(DefaultFabricJson());
  EXPECT_EQ(f.devices[1].targets[1].sizeBytes, 1024ull * 1048576ull);
}

TEST(FabricTest, Base64MatchesTheStandardVectors) {
  EXPECT_EQ(EncodeBase64(""), "");
  EXPECT_EQ(EncodeBase64("f"), "Zg==");
  EXPECT_EQ(EncodeBase64("fo"), "Zm8=");
  EXPECT_EQ(EncodeBase64("foo"), "Zm9v");
  EXPECT_EQ(EncodeBase64("foob"), "Zm9vYg==");
  EXPECT_EQ(EncodeBase64("fooba"), "Zm9vYmE=");
  EXPECT_EQ(EncodeBase64("foobar"), "Zm9vYmFy");
  EXPECT_EQ(EncodeBase64(std::string("\xff\xfe\x00", 3)), "//4A");
}

TEST(FabricTest, DottedQuadsAreStrict) {
  Ipv4Bytes b;
  EXPECT_TRUE(ParseDottedQuad("192.168.0.20", &b));
  EXPECT_EQ(FormatDottedQuad(b), "192.168.0.20");
  EXPECT_TRUE(ParseDottedQuad("010.0.0.1", &b));
  EXPECT_EQ(FormatDottedQuad(b), "10.0.0.1");
  for (const char* bad : {"", "1.2.3", "1.2.3.4.", "1.2.3.4.5", "256.0.0.1", "1..2.3", " 1.2.3.4",
                          "1.2.3.4 ", "1.2.3.0004", "a.b.c.d", "1.2.3.-4"}) {
    EXPECT_FALSE(ParseDottedQuad(bad, &b)) << bad;
  }
  EXPECT_EQ(NetmaskPrefixLength("255.255.0.0"), 16);
  EXPECT_EQ(NetmaskPrefixLength("255.255.255.255"), 32);
  EXPECT_EQ(NetmaskPrefixLength("0.0.0.0"), 0);
  EXPECT_EQ(NetmaskPrefixLength("255.0.255.0"), -1);
}

TEST(FabricTest, RejectsMistakesWithAnErrorNamingTheDevice) {
  struct Case {
    std::string text;
    const char* expect;
  } cases[] = {
      {"[]", "must be an object"},
      {R"({"devices": {}})", "\"devices\" must be an array"},
      {R"({"devices": [], "extra": 1})", "\"extra\" is not known"},
      {R"({"devices": [{"address": "10.77.0.2"}]})", "\"name\" is missing"},
      {OneDevice(R"("adress": "1.2.3.4")"), "device 1 (N1): member \"adress\" is not known"},
      {OneDevice(R"("netmask": "255.0.255.0")"), "contiguous"},
      {OneDevice(R"("gateway": "10.77.0")"), "not a dotted IPv4"},
      {OneDevice(R"("nodeId": "00:11:22")"), "nodeId"},
      {OneDevice(R"("announcement": "fancy")"), "announcement"},
      {OneDevice(R"("iscsi": true, "announcement": "basic")"), "extended"},
      {OneDevice(R"("filter": [3, 256])"), "filter"},
      {OneDevice(R"("replyTo": "everyone")"), "replyTo"},
      {OneDevice(R"("shares": ["a:b"])"), "share name"},
      {OneDevice(R"("shares": [""])"), "share name"},
      {OneDevice(R"("targets": [{"name": "t|x"}])"), "target 1"},
      {OneDevice(R"("targets": [{"auth": "chap"}])"), "\"name\" is missing"},
      {OneDevice(R"("targets": [{"entry": "a=b"}])"), "'='"},
      {OneDevice(R"("targets": [{"name": "t", "user": "a$b"}])"), "\"user\""},
      {OneDevice(R"("dhcpPool": ["10.77.0.300"])"), "dhcpPool"},
      {OneDevice(R"("delays": {"logon": 5})"), "unknown exchange \"logon\""},
      {OneDevice(R"("delays": {"login": -5})"), "0 to 600000"},
      {OneDevice(R"("silent": ["discovery"])"), "unknown exchange"},
      {OneDevice(R"("httpPort": 0)"), "httpPort"},
      {OneDevice(R"("shares": [")" + std::string(4100, 'x') + "\"]"), "does not fit"},
      {R"({"devices": [{"name": "A", "address": "10.77.0.2"}, {"name": "A", "address": "10.77.0.3"}]})",
       "used twice"},
      {"{\"devices\": [", "line 1"},
      // A NUL would end the name for every client ("NAS" here).
      {R"({"devices": [{"name": "NAS\u0000hidden", "address": "10.77.0.2"}]})", "must not hold a NUL"},
      {OneDevice(R"("targets": [{"name": "t\u0000x"}])"), "NUL"},
  };
  for (const auto& c : cases) {
    std::string error = LoadError(c.text);
    EXPECT_NE(error.find(c.expect), std::string::npos) << c.text << "\n  -> " << error;
  }
}

// Two targets on one disk file, or one CHAP user with two secrets, could only fail later and
// silently (the later target truncating the earlier's disk; a login that can never succeed).
TEST(FabricTest, RefusesTargetsSharingADiskFileAndAChapUserWithTwoSecrets) {
  const std::string twoFiles = LoadError(OneDevice(
      R"("targets": [{"name": "iqn.2009-11.com.halden:nas2:disk1"}, {"name": "iqn.2009-11.com.halden:nas2_disk1"}])"));
  EXPECT_EQ(twoFiles,
            "device 1 (N1): target 2 (iqn.2009-11.com.halden:nas2_disk1) and target 1 "
            "(iqn.2009-11.com.halden:nas2:disk1) would share the disk file "
            "10.77.0.20_iqn.2009-11.com.halden_nas2_disk1.img");
  const std::string acrossDevices = LoadError(
      R"({"devices": [{"name": "A", "address": "10.77.0.5", "targets": [{"name": "iqn.x:D"}]},
                      {"name": "B", "address": "10.77.0.5", "targets": [{"name": "iqn.x:d"}]}]})");
  EXPECT_NE(acrossDevices.find("device 2 (B): target 1 (iqn.x:d) and device 1 (A), target 1 (iqn.x:D)"),
            std::string::npos) << acrossDevices;
  const std::string twoSecrets = LoadError(OneDevice(
      R"("targets": [{"name": "iqn.x:a", "auth": "chap", "user": "u", "secret": "s1s1s1s1s1s1"},
                     {"name": "iqn.x:b", "auth": "none", "user": "u", "secret": "other"},
                     {"name": "iqn.x:c", "auth": "CHAP", "user": "u", "secret": "s2s2s2s2s2s2"}])"));
  EXPECT_EQ(twoSecrets, "device 1 (N1): target 3 (iqn.x:c): CHAP user \"u\" has another secret in target 1 (iqn.x:a)");
  // The same user with the same secret on two targets is one account.
  MustLoad(OneDevice(R"("targets": [{"name": "iqn.x:a", "auth": "chap", "user": "u", "secret": "s1s1s1s1s1s1"},
                                    {"name": "iqn.x:c", "auth": "chap", "user": "u", "secret": "s1s1s1s1s1s1"}])"));
}

TEST(FabricTest, TwoDevicesMayShareAnAddressForConflictTests) {
  Fabric f = MustLoad(R"({"devices": [{"name": "A", "address": "10.77.0.5"},
                                      {"name": "B", "address": "10.77.0.5"}]})");
  ASSERT_EQ(f.devices.size(), 2u);
  EXPECT_EQ(f.FindByAddress("10.77.0.5")->name, "A");
}

TEST(FabricTest, SharesMayRequireCredentials) {
  Fabric f = MustLoad(OneDevice(
      R"("shares": ["Public", {"name": "Secure", "user": "bob", "password": "pw"}, {"name": "Open"}])"));
  const Device& d = f.devices[0];
  ASSERT_EQ(d.shares, (std::vector<std::string>{"Public", "Secure", "Open"}));
  ASSERT_NE(d.AccessOf("Public"), nullptr);
  EXPECT_FALSE(d.AccessOf("Public")->credentialsRequired);
  EXPECT_FALSE(d.AccessOf("Open")->credentialsRequired);
  ASSERT_NE(d.AccessOf("Secure"), nullptr);
  EXPECT_TRUE(d.AccessOf("Secure")->credentialsRequired);
  EXPECT_EQ(d.AccessOf("Secure")->user, "bob");
  EXPECT_EQ(d.AccessOf("Secure")->password, "pw");
  EXPECT_EQ(d.AccessOf("secure"), nullptr) << "share lookup is exact; the network drives fold case";
  // A device built in code without access rules asks nothing.
  Device bare;
  bare.shares = {"x"};
  ASSERT_NE(bare.AccessOf("x"), nullptr);
  EXPECT_FALSE(bare.AccessOf("x")->credentialsRequired);
}

TEST(FabricTest, DrivesAndConnectionsOfTheSimulatedWindows) {
  Fabric defaults = MustLoad(OneDevice(""));
  ASSERT_EQ(defaults.drives.size(), 2u);
  EXPECT_EQ(defaults.drives[0].letter, 'C');
  EXPECT_EQ(defaults.drives[0].driveType, kDriveTypeFixed);
  EXPECT_EQ(defaults.drives[1].letter, 'D');
  EXPECT_EQ(defaults.drives[1].driveType, kDriveTypeCdRom);
  EXPECT_TRUE(defaults.connections.empty());

  Fabric f = MustLoad(R"({"devices": [], "drives": {"c:": "fixed", "E": "removable", "R:": "ram",
                          "M:": "remote", "U:": "unknown"},
                          "connections": {"q:": "\\\\SRV\\SHARE"}})");
  ASSERT_EQ(f.drives.size(), 5u) << "\"drives\" replaces the defaults";
  EXPECT_EQ(f.drives[0].letter, 'C');
  EXPECT_EQ(f.drives[1].driveType, kDriveTypeRemovable);
  EXPECT_EQ(f.drives[2].driveType, kDriveTypeRamDisk);
  EXPECT_EQ(f.drives[3].driveType, kDriveTypeRemote);
  EXPECT_EQ(f.drives[4].driveType, kDriveTypeUnknown);
  ASSERT_EQ(f.connections.size(), 1u);
  EXPECT_EQ(f.connections[0].letter, 'Q');
  EXPECT_EQ(f.connections[0].remoteName, "\\\\SRV\\SHARE");

  struct Case {
    std::string text;
    std::string expect;
  };
  const Case cases[] = {
      {OneDevice(R"("shares": [{"user": "bob"}])"), "\"name\" is missing"},
      {OneDevice(R"("shares": [{"name": "s", "pass": "x"}])"), "\"pass\" is not known"},
      {OneDevice(R"("shares": [5])"), "a share must be"},
      {R"({"devices": [], "drives": {"CD": "fixed"}})", "not a drive letter"},
      {R"({"devices": [], "drives": {"C:": "hdd"}})", "must be \"fixed\""},
      {R"({"devices": [], "connections": {"Q:": "SRV\\SHARE"}})", "remote name"},
      {R"({"devices": [], "connections": {"1:": "\\\\SRV\\S"}})", "not a drive letter"},
  };
  for (const auto& c : cases) {
    std::string error = LoadError(c.text);
    EXPECT_NE(error.find(c.expect), std::string::npos) << c.text << "\n  -> " << error;
  }
}

}  // namespace
}  // namespace sw::fabric
