// Discovery over real sockets: the program's engine in the host namespace, halden-sim and the
// hostile peer in peer namespaces, a bridge between them.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "net_fixture.h"

namespace sw::nettest {
namespace {

class DiscoveryNetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(InTestNamespace(&why)) << why;
    peers_ = PeerNamespaces();
    ASSERT_GE(peers_.size(), 2u) << "run with netns-run --peers 2 or more";
  }

  // Starts the hostile peer in peer namespace `slot` with the given script text.
  void StartHostile(Peer* peer, const std::string& script, size_t slot = 0) {
    std::string path = WriteScratchFile("hostile", script);
    ASSERT_TRUE(peer->Start(peers_[slot], HostilePeerPath(), {"--script", path}));
  }

  std::vector<std::string> peers_;
};

TEST_F(DiscoveryNetTest, DemoDevicesAreFoundWithTheirFieldsAndPages) {
  Peer nas1;
  Peer nas2;
  // The built-in fabric, one device per namespace; halden-sim puts the addresses on eth0.
  ASSERT_TRUE(nas1.Start(peers_[0], HaldenSimPath(), {"--index", "0", "--interface", "eth0"}));
  ASSERT_TRUE(nas2.Start(peers_[1], HaldenSimPath(), {"--index", "1", "--interface", "eth0"}));

  Instance program;
  ASSERT_TRUE(program.HasInterface());
  EXPECT_STREQ(program.state().localInterfaces.address[0], "10.77.0.1");
  PassResult r = program.Discover();
  ASSERT_EQ(r.devices.size(), 2u);

  const FoundDevice* plain = FindByIp(r, "10.77.0.10");
  ASSERT_NE(plain, nullptr);
  EXPECT_EQ(plain->name, "HALDEN-NAS1");
  EXPECT_EQ(plain->netmask, "255.255.0.0");
  EXPECT_EQ(plain->gateway, "10.77.0.1");
  EXPECT_NE(plain->dhcpState, "1");
  EXPECT_FALSE(plain->iscsi);
  EXPECT_EQ(plain->interfaceIndex, 0);
  EXPECT_EQ(plain->deviceId, (std::vector<uint8_t>{0x00, 0x1c, 0xc0, 0x4e, 0x41, 0x01, 10, 77, 0, 10}));

  const FoundDevice* iscsi = FindByIp(r, "10.77.0.11");
  ASSERT_NE(iscsi, nullptr);
  EXPECT_EQ(iscsi->name, "HALDEN-NAS2");
  EXPECT_EQ(iscsi->dhcpState, "1");
  EXPECT_TRUE(iscsi->iscsi);
  EXPECT_EQ(iscsi->deviceId, (std::vector<uint8_t>{0x00, 0x1c, 0xc0, 0x4e, 0x41, 0x02, 10, 77, 0, 11}));

  // The pass lasts its fixed length: two sends with 50 ms pauses and 48 polls of 10-30 ms.
  EXPECT_GE(r.seconds, 0.9);
  EXPECT_LE(r.seconds, 2.5);

  // Each device serves its administration page on port 80 of its address.
  for (const char* address : {"10.77.0.10", "10.77.0.11"}) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    ASSERT_GE(fd, 0);
    timeval tv{2, 0};
    setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(80);
    inet_pton(AF_INET, address, &to.sin_addr);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)), 0) << address;
    const char request[] = "GET / HTTP/1.0\r\n\r\n";
    ASSERT_EQ(send(fd, request, sizeof(request) - 1, 0), static_cast<ssize_t>(sizeof(request) - 1));
    std::string response;
    char buf[1024];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof(buf), 0)) > 0) response.append(buf, static_cast<size_t>(n));
    close(fd);
    EXPECT_EQ(response.rfind("HTTP/1.0 200 OK\r\n", 0), 0u) << response;
    EXPECT_NE(response.find(std::string("<td>") + address + "</td>"), std::string::npos);
  }
}

TEST_F(DiscoveryNetTest, RepliesToTheGroupAndToTheHostBothArrive) {
  Peer peer;
  StartHostile(&peer, R"({"answers": [
      {"name": "VIA-GROUP", "address": "10.77.1.1", "to": "group"},
      {"name": "VIA-HOST", "address": "10.77.1.2", "to": "host"}]})");
  Instance program;
  PassResult r = program.Discover();
  ASSERT_EQ(r.devices.size(), 2u);
  ASSERT_NE(FindByIp(r, "10.77.1.1"), nullptr);
  EXPECT_EQ(FindByIp(r, "10.77.1.1")->name, "VIA-GROUP");
  ASSERT_NE(FindByIp(r, "10.77.1.2"), nullptr);
  EXPECT_EQ(FindByIp(r, "10.77.1.2")->name, "VIA-HOST");
}

TEST_F(DiscoveryNetTest, AnotherInstancesClientIdIsIgnoredEvenWhenBytes7To10Match) {
  Peer peer;
  StartHostile(&peer, R"({"answers": [
      {"name": "FOREIGN", "address": "10.77.1.1", "clientId": "foreign"},
      {"name": "FOREIGN-EXT", "address": "10.77.1.2", "clientId": "foreign", "opcode": 7},
      {"name": "MINE", "address": "10.77.1.3"},
      {"name": "MINE-ODD-TAIL", "address": "10.77.1.4", "poke": [[7, 1], [8, 2], [9, 3], [10, 4]]}]})");
  Instance program;
  PassResult r = program.Discover();
  EXPECT_EQ(FindByIp(r, "10.77.1.1"), nullptr);
  EXPECT_EQ(FindByIp(r, "10.77.1.2"), nullptr);
  EXPECT_NE(FindByIp(r, "10.77.1.3"), nullptr);
  // Only bytes 1-6 are compared: a reply with another tail is still ours.
  EXPECT_NE(FindByIp(r, "10.77.1.4"), nullptr);
  EXPECT_EQ(r.devices.size(), 2u);
  EXPECT_GE(r.report.otherClients, 2);
}

TEST_F(DiscoveryNetTest, ExtendedAnnouncementsPassOnlyWithFilterBytes3And3) {
  Peer peer;
  StartHostile(&peer, R"({"answers": [
      {"name": "F33", "address": "10.77.1.1", "opcode": 7, "filter": [3, 3]},
      {"name": "F34", "address": "10.77.1.2", "opcode": 7, "filter": [3, 4]},
      {"name": "F43", "address": "10.77.1.3", "opcode": 7, "filter": [4, 3]},
      {"name": "F00", "address": "10.77.1.4", "opcode": 7, "filter": [0, 0]}]})");
  Instance program;
  PassResult r = program.Discover();
  ASSERT_EQ(r.devices.size(), 1u);
  EXPECT_EQ(r.devices[0].name, "F33");
  EXPECT_GE(r.report.filteredOut, 3);

  // A filter value 0 accepts any byte (no caller of the program uses it, the engine offers it).
  PassResult any = program.Discover(0, 0);
  EXPECT_EQ(any.devices.size(), 4u);
}

TEST_F(DiscoveryNetTest, BasicAnnouncementIsAcceptedWhateverElseItHolds) {
  Peer peer;
  // Bytes the program does not examine, a DHCP byte that is not '1', and junk after the name.
  StartHostile(&peer, R"({"answers": [
      {"name": "JUNKY", "address": "10.77.1.1",
       "poke": [[21, 122], [22, 255], [23, 255], [80, 255], [81, 7]]}]})");
  Instance program;
  PassResult r = program.Discover();
  ASSERT_EQ(r.devices.size(), 1u);
  EXPECT_EQ(r.devices[0].name, "JUNKY");
  EXPECT_EQ(r.devices[0].dhcpState, "z");
  EXPECT_FALSE(r.devices[0].iscsi);
}

TEST_F(DiscoveryNetTest, FirstAnnouncementForAnAddressWins) {
  Peer first;
  Peer second;
  StartHostile(&first, R"({"answers": [{"name": "FIRST", "address": "10.77.1.9"}]})", 0);
  // The second peer answers the same address 100 ms later, with other fields.
  StartHostile(&second, R"({"answers": [{"name": "SECOND", "address": "10.77.1.9", "opcode": 7,
                                         "iscsi": true, "dhcp": true, "delayMs": 100}]})",
               1);
  Instance program;
  PassResult r = program.Discover();
  ASSERT_EQ(r.devices.size(), 1u);
  EXPECT_EQ(r.devices[0].name, "FIRST");
  EXPECT_FALSE(r.devices[0].iscsi);
  EXPECT_GE(r.report.duplicates, 1);
}

TEST_F(DiscoveryNetTest, IscsiFlagNeedsTheTagAndItsNul) {
  Peer peer;
  StartHostile(&peer, R"({"answers": [
      {"name": "TAGGED", "address": "10.77.1.1", "opcode": 7, "iscsi": true},
      {"name": "DIGIT", "address": "10.77.1.2", "opcode": 7, "tag": "69 73 63 73 69 31"},
      {"name": "UPPER", "address": "10.77.1.3", "opcode": 7, "tag": "49 53 43 53 49 00"},
      {"name": "NOTAG", "address": "10.77.1.4", "opcode": 7}]})");
  Instance program;
  PassResult r = program.Discover();
  ASSERT_EQ(r.devices.size(), 4u);
  EXPECT_TRUE(FindByIp(r, "10.77.1.1")->iscsi);
  EXPECT_FALSE(FindByIp(r, "10.77.1.2")->iscsi);
  EXPECT_FALSE(FindByIp(r, "10.77.1.3")->iscsi);
  EXPECT_FALSE(FindByIp(r, "10.77.1.4")->iscsi);
}

TEST_F(DiscoveryNetTest, The49thAnnouncementOfAPassIsNotReadInThatPass) {
  Peer peer;
  // Sixty distinct devices answer the first DISCOVER at once, and nothing else.
  StartHostile(&peer, R"({"once": true, "answers": [
      {"name": "MANY", "address": "10.77.2.1", "repeat": 60}]})");
  Instance program;
  PassResult r = program.Discover();
  ASSERT_EQ(r.devices.size(), 48u);
  for (size_t i = 0; i < r.devices.size(); ++i) {
    EXPECT_EQ(r.devices[i].name, "MANY-" + std::to_string(i)) << "arrival order is kept";
  }
  EXPECT_EQ(r.report.datagramsRead, 48);

  // The twelve unread answers wait in the socket; the next pass reads them (they answer this
  // instance) and nothing is lost.
  PassResult next = program.Discover();
  ASSERT_EQ(next.devices.size(), 12u);
  EXPECT_EQ(next.devices.front().name, "MANY-48");
  EXPECT_EQ(next.devices.back().name, "MANY-59");
}

TEST_F(DiscoveryNetTest, OversizeNameLengthIsClampedToWhatArrived) {
  Peer peer;
  StartHostile(&peer, R"({"answers": [
      {"name": "SHORT", "address": "10.77.1.1", "nameLength": 4000000000},
      {"name": "EXTLONG", "address": "10.77.1.2", "opcode": 7, "nameLength": 70000},
      {"name": "FINE", "address": "10.77.1.3"}]})");
  Instance program;
  PassResult r = program.Discover();
  ASSERT_EQ(r.devices.size(), 3u);
  EXPECT_EQ(FindByIp(r, "10.77.1.1")->name, "SHORT");
  EXPECT_EQ(FindByIp(r, "10.77.1.2")->name, "EXTLONG");
  EXPECT_EQ(FindByIp(r, "10.77.1.3")->name, "FINE");
}

TEST_F(DiscoveryNetTest, UnresolvableHostNameGivesAnEmptyListAndNoSockets) {
  Peer peer;
  StartHostile(&peer, R"({"answers": [{"name": "ANYONE", "address": "10.77.1.1", "to": "host"}]})");
  // netns-run gave this process its own UTS namespace, so renaming the host is local to the test.
  char original[256] = {};
  ASSERT_EQ(gethostname(original, sizeof(original) - 1), 0);
  const char unknown[] = "no-such-host-in-hosts-file";
  ASSERT_EQ(sethostname(unknown, sizeof(unknown) - 1), 0);
  {
    Instance program;
    EXPECT_FALSE(program.HasInterface());
    PassResult r = program.Discover();
    EXPECT_TRUE(r.devices.empty());
    EXPECT_EQ(r.report.polls, 0);
  }
  ASSERT_EQ(sethostname(original, std::string(original).size()), 0);
  // With its name back the host finds the peer again: the empty list came from the lookup.
  Instance program;
  EXPECT_EQ(program.Discover().devices.size(), 1u);
}

}  // namespace
}  // namespace sw::nettest
