// The discovery engine over a scripted socket port: what is sent, how long a pass waits, which
// datagrams are read and which become devices.

#include "protocol/discovery.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "scripted_socket_port.h"

namespace sw::protocol {
namespace {

using test::Bytes;
using test::Datagram;
using test::Silence;
using ScriptedPort = test::ScriptedSocketPort;
inline test::Arrival Error() { return test::ReadError(); }

Bytes Announce(const ClientId& client, std::uint8_t lastOctet, const std::string& name,
               std::uint8_t opcode = DISCOVER_REPLY, std::uint8_t filterB = 3) {
  const bool ext = opcode == DISCOVER_REPLY_EXT;
  Bytes b((ext ? 72 : 60) + name.size(), 0);
  b[0] = opcode;
  std::memcpy(&b[1], client.bytes, kClientIdSize);
  const std::uint8_t id[kDeviceIdSize] = {9, 9, 9, 9, 9, lastOctet, 10, 77, 0, lastOctet};
  std::memcpy(&b[11], id, sizeof id);
  b[21] = '0';
  std::memcpy(&b[24], "255.255.255.0", 13);
  std::memcpy(&b[40], "10.77.0.254", 11);
  if (ext) {
    b[56] = 3;
    b[57] = filterB;
    std::memcpy(&b[59], "iscsi", 6);
  }
  const std::size_t lengthAt = ext ? 68 : 56;
  for (int i = 0; i < 4; ++i) b[lengthAt + i] = static_cast<std::uint8_t>(name.size() >> (8 * i));
  std::memcpy(&b[ext ? 72 : 60], name.data(), name.size());
  return b;
}

class Discovery : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(InitDeviceSockets(state, port)); }
  void TearDown() override {
    FreeDeviceList(state.deviceList);
    CloseDeviceSockets(state, port);
  }
  std::vector<std::string> Names() const {
    std::vector<std::string> names;
    for (const DeviceRecord* r = state.deviceList.head; r != nullptr; r = r->next) names.push_back(r->name);
    return names;
  }
  ProtocolState state;
  ScriptedPort port;
};

TEST_F(Discovery, InitTakesTheFirstAddressAndOpensTwoSockets) {
  EXPECT_EQ(state.localInterfaces.count, 1);
  EXPECT_STREQ(state.localInterfaces.address[0], "10.77.0.1");
  EXPECT_EQ(port.joinedOn, "10.77.0.1");
  EXPECT_EQ(port.joinedGroup, "224.0.0.1");
  EXPECT_EQ(port.boundPort, 13579);
  EXPECT_NE(state.sendSockets[0], kNoSocket);
  EXPECT_NE(state.receiveSockets[0], kNoSocket);
  EXPECT_EQ(state.clientId.bytes[6] | state.clientId.bytes[7] | state.clientId.bytes[8] |
                state.clientId.bytes[9],
            0);
}

TEST_F(Discovery, PassSendsTwoDiscoversAndPollsFortyEightTimes) {
  const DiscoveryReport report = DiscoverDevices(state, port, 3, 3);
  ASSERT_EQ(port.sent.size(), 2u);
  for (const auto& s : port.sent) {
    EXPECT_EQ(s.ip, "224.0.0.1");
    EXPECT_EQ(s.port, 13579);
    ASSERT_EQ(s.bytes.size(), 11u);
    EXPECT_EQ(s.bytes[0], DISCOVER);
    EXPECT_EQ(0, std::memcmp(&s.bytes[1], state.clientId.bytes, 10));
  }
  EXPECT_EQ(port.sent[0].pausedMsBefore, 0);
  EXPECT_EQ(port.sent[1].pausedMsBefore, 50) << "the copies are 50 ms apart";
  EXPECT_EQ(port.multicastInterfaces, std::vector<std::string>{"10.77.0.1"});
  EXPECT_EQ(report.polls, 48);
  EXPECT_EQ(port.waits, 48);
  EXPECT_EQ(port.totalWaitMs, 480);
  EXPECT_EQ(port.totalPauseMs, 2 * 50 + 47 * 20) << "no pause after the last poll";
  EXPECT_EQ(state.deviceList.count, 0);
  EXPECT_EQ(state.deviceList.head, nullptr);
  EXPECT_EQ(state.deviceList.tail, nullptr);
}

TEST_F(Discovery, AcceptanceRulesDecideWhichAnnouncementsBecomeDevices) {
  ClientId other = state.clientId;
  other.bytes[0] ^= 0xFF;
  port.script = {
      Datagram(Announce(state.clientId, 1, "basic")),
      Silence(),
      Datagram(Announce(state.clientId, 2, "ext-ok", DISCOVER_REPLY_EXT, 3)),
      Datagram(Announce(state.clientId, 3, "ext-wrong-filter", DISCOVER_REPLY_EXT, 4)),
      Datagram(Announce(other, 4, "other-instance")),
      Datagram(Announce(state.clientId, 1, "same-address-later")),
      Datagram(Bytes{DISCOVER}),  // our own request, or anyone's
      Datagram(Bytes{}),          // an empty datagram
  };
  const DiscoveryReport report = DiscoverDevices(state, port, 3, 3);
  EXPECT_EQ(Names(), (std::vector<std::string>{"basic", "ext-ok"}));
  EXPECT_EQ(report.duplicates, 1);
  EXPECT_EQ(report.otherClients, 1);
  EXPECT_EQ(report.filteredOut, 1);
  EXPECT_EQ(report.otherOpcodes, 2);
  const DeviceRecord* ext = FindDeviceByIp(state.deviceList, "10.77.0.2");
  ASSERT_NE(ext, nullptr);
  EXPECT_EQ(ext->iscsiCapable, 1);
  EXPECT_EQ(ext->interfaceIndex, 0);
  EXPECT_STREQ(FindDeviceByIp(state.deviceList, "10.77.0.1")->name, "basic");
}

TEST_F(Discovery, OneDatagramPerPollSoTheFortyNinthWaitsForTheNextPass) {
  for (int i = 1; i <= 60; ++i) {
    port.script.push_back(Datagram(Announce(state.clientId, static_cast<std::uint8_t>(i),
                                            "nas" + std::to_string(i))));
  }
  DiscoverDevices(state, port, 3, 3);
  EXPECT_EQ(state.deviceList.count, 48);
  EXPECT_STREQ(state.deviceList.tail->name, "nas48");
  EXPECT_EQ(port.totalPauseMs, 2 * 50 + 47 * 20) << "every poll with a datagram is followed by the pause";

  // The rest is still queued on the socket and is what the next pass reads first.
  DiscoverDevices(state, port, 3, 3);
  EXPECT_EQ(state.deviceList.count, 12);
  EXPECT_STREQ(state.deviceList.head->name, "nas49");
}

TEST_F(Discovery, ReadErrorsRepeatThePollButCannotHoldThePassOpen) {
  port.script = {Error(), Error(), Datagram(Announce(state.clientId, 5, "after-errors"))};
  DiscoveryReport report = DiscoverDevices(state, port, 3, 3);
  EXPECT_EQ(Names(), std::vector<std::string>{"after-errors"});
  EXPECT_EQ(report.readErrors, 2);
  EXPECT_EQ(report.polls, 48) << "a failed read is not a poll";
  EXPECT_EQ(port.waits, 50);

  // A socket that always reports readable and always fails to read.
  port.script.clear();
  port.whenEmpty = Error();
  report = DiscoverDevices(state, port, 3, 3);
  EXPECT_EQ(report.polls, 48);
  EXPECT_EQ(report.readErrors, kMaxUncountedReadErrors + 48);
  EXPECT_EQ(port.totalPauseMs, 2 * (2 * 50 + 47 * 20)) << "the pass still pauses, it does not spin";
}

TEST_F(Discovery, OversizeDatagramIsDroppedAndMaxSizeOneIsRead) {
  Bytes max = Announce(state.clientId, 7, std::string(kReceiveCapacity - 60, 'm'));
  Bytes over = Announce(state.clientId, 8, std::string(kReceiveCapacity - 59, 'o'));
  port.script = {Datagram(over), Datagram(max)};
  DiscoveryReport report = DiscoverDevices(state, port, 3, 3);
  EXPECT_EQ(report.readErrors, 1);
  ASSERT_EQ(state.deviceList.count, 1);
  EXPECT_STREQ(state.deviceList.head->ipAddress, "10.77.0.7");
  EXPECT_EQ(std::strlen(state.deviceList.head->name), 255u);
}

TEST_F(Discovery, EachPassStartsFromAnEmptyTable) {
  port.script = {Datagram(Announce(state.clientId, 1, "gone-later"))};
  DiscoverDevices(state, port, 3, 3);
  ASSERT_EQ(state.deviceList.count, 1);
  DiscoverDevices(state, port, 3, 3);
  EXPECT_EQ(state.deviceList.count, 0);
  EXPECT_EQ(state.deviceList.head, nullptr);
}

TEST(DiscoveryStartup, UnresolvableHostGivesNoInterfaceAndSilentEmptyPasses) {
  ProtocolState state;
  ScriptedPort port;
  port.resolves = false;
  ASSERT_TRUE(InitDeviceSockets(state, port));
  EXPECT_EQ(state.localInterfaces.count, 0);
  EXPECT_EQ(port.opened, 0);
  for (std::uint8_t b : state.clientId.bytes) EXPECT_EQ(b, 0);
  const DiscoveryReport report = DiscoverDevices(state, port, 3, 3);
  EXPECT_TRUE(port.sent.empty());
  EXPECT_EQ(report.polls, 0);
  EXPECT_EQ(port.totalPauseMs, 0);
  EXPECT_EQ(state.deviceList.count, 0);
  CloseDeviceSockets(state, port);
  EXPECT_EQ(port.closed, 0);
  EXPECT_EQ(port.cleanups, 1);
}

TEST(DiscoveryStartup, FailedStartupIsReportedAndCloseIsSafeTwice) {
  ProtocolState state;
  ScriptedPort port;
  port.startupOk = false;
  EXPECT_FALSE(InitDeviceSockets(state, port));
  CloseDeviceSockets(state, port);
  EXPECT_EQ(port.cleanups, 0);

  ProtocolState running;
  ScriptedPort ok;
  ASSERT_TRUE(InitDeviceSockets(running, ok));
  CloseDeviceSockets(running, ok);
  CloseDeviceSockets(running, ok);
  EXPECT_EQ(ok.closed, 2);
  EXPECT_EQ(ok.cleanups, 1);
}

TEST(ClientIds, RandomPartDiffersAndTailIsZero) {
  const ClientId a = NewClientId();
  const ClientId b = NewClientId();
  EXPECT_NE(0, std::memcmp(a.bytes, b.bytes, kClientIdComparedBytes))
      << "two instances started at once must not share an identifier";
  for (int i = 6; i < 10; ++i) EXPECT_EQ(a.bytes[i], 0);
  EXPECT_EQ(0, std::memcmp(MakeClientId(42).bytes, MakeClientId(42).bytes, kClientIdSize));
  EXPECT_NE(0, std::memcmp(MakeClientId(42).bytes, MakeClientId(43).bytes, kClientIdSize));
}

}  // namespace
}  // namespace sw::protocol
