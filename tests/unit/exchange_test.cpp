// The targeted exchanges over a scripted socket port with its own clock: what is sent, which
// replies end the wait, how attempts are counted, the wall-clock cap, and what the table and the
// name lists hold afterwards.

#include "protocol/exchanges.h"

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
using ExchangePort = test::ScriptedSocketPort;

const std::uint8_t kNode[6] = {0x00, 0x11, 0x32, 0xAA, 0xBB, 0x01};

// A reply as a device sends it: opcode, the client id echoed, the device's node and `address`,
// then `result` from offset 28 (QUERY_REPLY) or nothing more (SET_REPLY).
Bytes Reply(std::uint8_t opcode, const ClientId& client, const char* address,
            const std::string& result = "") {
  Bytes b(28 + result.size(), 0);
  b[0] = opcode;
  std::memcpy(&b[1], client.bytes, kClientIdSize);
  std::memcpy(&b[11], kNode, 6);
  std::uint8_t ip[4] = {};
  ParseIpv4(address, ip);
  std::memcpy(&b[17], ip, 4);
  std::memcpy(b.data() + 28, result.data(), result.size());
  return b;
}

Bytes LoginVerdict(const ClientId& client, const char* address, std::uint8_t verdict) {
  Bytes b = Reply(QUERY_REPLY, client, address, "x");
  b[28] = verdict;
  return b;
}

std::vector<std::string> Names(const NameList& list) {
  std::vector<std::string> out;
  for (const NameEntry* e = list.head; e != nullptr; e = e->next) out.push_back(e->text);
  return out;
}

class ExchangeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::strcpy(state.groupAddress, kGroupAddress);
    state.groupPort = kDevicePort;
    std::strcpy(state.localInterfaces.address[0], "10.77.0.1");
    state.localInterfaces.count = 1;
    state.sendSockets[0] = 7;
    state.receiveSockets[0] = 8;
    state.clientId.bytes[0] = 0xC1;
    state.clientId.bytes[5] = 0xC6;
    other.bytes[0] = 0xC1;
    other.bytes[5] = 0x99;
    AddTableDevice("HALDEN-NAS2", "10.77.0.11");
    AddTableDevice("HALDEN-NAS1", "10.77.0.10");
    SetSelectedDeviceIp(state, "10.77.0.10");
  }
  void TearDown() override {
    FreeDeviceList(state.deviceList);
    FreeNames(state.shareNameList);
    FreeNames(state.targetEntryList);
  }
  void AddTableDevice(const char* name, const char* ip) {
    std::uint8_t id[kDeviceIdSize];
    std::memcpy(id, kNode, 6);
    ParseIpv4(ip, id + 6);
    AddDevice(state.deviceList, name, ip, "255.255.0.0", "10.77.0.1", id, "0", 0, false);
  }
  void SetPending(const char* ip, const char* netmask, const char* gateway) {
    std::strcpy(state.PendingIp, ip);
    std::strcpy(state.PendingNetmask, netmask);
    std::strcpy(state.PendingGateway, gateway);
  }

  ProtocolState state;
  ExchangePort port;
  ExchangeReport report;
  ClientId other;
};

// --- requests on the wire --------------------------------------------------------------------

TEST_F(ExchangeTest, LoginRequestForAdminWithEmptyPasswordIs35BytesEndingInSeparator) {
  std::strcpy(state.loginCredentials.userName, "admin");
  port.Push(11, Silence());  // the flush
  port.script.push_back(Datagram(LoginVerdict(state.clientId, "10.77.0.10", 1)));

  EXPECT_TRUE(CheckAdminLogin(state, port, &report));

  ASSERT_EQ(port.sent.size(), 1u);
  const Bytes& b = port.sent[0].bytes;
  ASSERT_EQ(b.size(), 35u);
  EXPECT_EQ(b[0], QUERY);
  EXPECT_EQ(b[21], SUB_QUERY_LOGIN);
  EXPECT_EQ(b[24], 7);
  EXPECT_EQ(std::string(b.begin() + 28, b.begin() + 33), "admin");
  EXPECT_EQ(b[33], 0x55);
  EXPECT_EQ(b[34], 0xAA);
  // The request names the selected device, not the first one in the table.
  EXPECT_EQ(b[20], 10);
  EXPECT_EQ(port.sent[0].ip, "224.0.0.1");
  EXPECT_EQ(port.sent[0].port, 13579);
  EXPECT_EQ(port.multicastInterfaces, std::vector<std::string>{"10.77.0.1"});
  // The login check flushes first, like the queries.
  EXPECT_EQ(port.sent[0].waitsBefore, 11);
}

TEST_F(ExchangeTest, LateVerdictOnEarlierCredentialsDoesNotAnswerTheNextLoginCheck) {
  // An "accepted" verdict for an earlier check that arrived too late waits on the socket...
  port.script.push_back(Datagram(LoginVerdict(state.clientId, "10.77.0.10", 0xFF)));
  // ...and the device then refuses the credentials of this check.
  port.Push(10, Silence());
  port.script.push_back(Datagram(LoginVerdict(state.clientId, "10.77.0.10", 0)));
  EXPECT_FALSE(CheckAdminLogin(state, port, &report));
  EXPECT_EQ(report.flushed, 1);
}

TEST_F(ExchangeTest, QueriesFlushElevenPollsThenSendOne28ByteRequest) {
  port.Push(11, Silence());
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "a")));

  EXPECT_TRUE(QueryTargetEntries(state, port, &report));

  ASSERT_EQ(port.sent.size(), 1u);
  EXPECT_EQ(port.sent[0].waitsBefore, 11);
  EXPECT_EQ(port.sent[0].bytes.size(), 28u);
  EXPECT_EQ(port.sent[0].bytes[21], SUB_QUERY_TARGETS);
  // The flush polls are not followed by pauses.
  EXPECT_TRUE(port.pauses.empty());
}

// --- the verdict and the lists ----------------------------------------------------------------

TEST_F(ExchangeTest, LoginVerdictByteDecides) {
  std::strcpy(state.loginCredentials.userName, "admin");
  port.Push(11, Silence());  // the flush
  port.script.push_back(Datagram(LoginVerdict(state.clientId, "10.77.0.10", 0)));
  EXPECT_FALSE(CheckAdminLogin(state, port, &report));
  EXPECT_EQ(report.outcome, ExchangeOutcome::Answered);
  EXPECT_FALSE(report.loginAccepted);

  port.Push(11, Silence());
  port.script.push_back(Datagram(LoginVerdict(state.clientId, "10.77.0.10", 0xFF)));
  EXPECT_TRUE(CheckAdminLogin(state, port, &report));
  EXPECT_TRUE(report.loginAccepted);
}

TEST_F(ExchangeTest, ShareListSplitsAtColonsSkippingEmptyItemsAndDuplicates) {
  port.Push(11, Silence());
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "vol1::vol2:")));
  EXPECT_TRUE(QueryShareNames(state, port));
  EXPECT_EQ(Names(state.shareNameList), (std::vector<std::string>{"vol1", "vol2"}));

  port.Push(11, Silence());
  port.script.push_back(
      Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", ":Public:Public:Volume_1")));
  EXPECT_TRUE(QueryShareNames(state, port));
  // The list is rebuilt, not appended to.
  EXPECT_EQ(Names(state.shareNameList), (std::vector<std::string>{"Public", "Volume_1"}));
}

TEST_F(ExchangeTest, EmptyListReplySucceedsWithEmptyList) {
  AddName(state.shareNameList, "stale");
  port.Push(11, Silence());
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "")));
  EXPECT_TRUE(QueryShareNames(state, port));
  EXPECT_EQ(state.shareNameList.count, 0);
  EXPECT_EQ(state.shareNameList.head, nullptr);
}

TEST_F(ExchangeTest, TargetEntriesSplitAtEqualsSignsOnly) {
  port.Push(11, Silence());
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10",
                                       "iqn.a:disk1|none@$==iqn.a:disk2|chap@u$c2VjcmV0=")));
  EXPECT_TRUE(QueryTargetEntries(state, port));
  EXPECT_EQ(Names(state.targetEntryList),
            (std::vector<std::string>{"iqn.a:disk1|none@$", "iqn.a:disk2|chap@u$c2VjcmV0"}));
}

TEST_F(ExchangeTest, ItemsLongerThanANameFieldAreSkippedNotCut) {
  const std::string longest(255, 'a');
  const std::string tooLong(256, 'b');
  const std::string huge(3000, 'c');
  port.Push(11, Silence());
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10",
                                       tooLong + ":" + longest + ":" + huge + ":ok")));
  EXPECT_TRUE(QueryShareNames(state, port, &report));
  EXPECT_EQ(Names(state.shareNameList), (std::vector<std::string>{longest, "ok"}));
  EXPECT_EQ(report.itemsSkipped, 2);
}

// --- attempt counting -----------------------------------------------------------------------

TEST_F(ExchangeTest, QueryReplyAfterTwentyOneEmptyPollsIsTooLate) {
  port.Push(11, Silence());
  port.Push(21, Silence());
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "vol1")));

  EXPECT_FALSE(QueryShareNames(state, port, &report));
  EXPECT_EQ(report.outcome, ExchangeOutcome::AttemptsSpent);
  EXPECT_EQ(report.attempts, 21);
  EXPECT_EQ(state.shareNameList.count, 0);
  EXPECT_EQ(port.sent.size(), 1u);
  // 100 ms after each counted attempt but the last.
  EXPECT_EQ(port.pauses, std::vector<int>(20, 100));
  EXPECT_EQ(port.script.size(), 1u);
}

TEST_F(ExchangeTest, QueryReplyAfterTwentyEmptyPollsIsInTime) {
  port.Push(11, Silence());
  port.Push(20, Silence());
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "vol1")));
  EXPECT_TRUE(QueryShareNames(state, port, &report));
  EXPECT_EQ(report.attempts, 20);
  EXPECT_EQ(Names(state.shareNameList), std::vector<std::string>{"vol1"});
}

TEST_F(ExchangeTest, AttemptLimitsOfLoginAndSetCommands) {
  std::strcpy(state.loginCredentials.userName, "admin");
  port.Push(11 + 10, Silence());  // the flush, then ten empty attempts
  port.script.push_back(Datagram(LoginVerdict(state.clientId, "10.77.0.10", 1)));
  EXPECT_TRUE(CheckAdminLogin(state, port));

  port.Push(11 + 11, Silence());
  port.script.push_back(Datagram(LoginVerdict(state.clientId, "10.77.0.10", 1)));
  EXPECT_FALSE(CheckAdminLogin(state, port, &report));
  EXPECT_EQ(report.attempts, 11);
  port.script.clear();

  // The set commands count to 100; the wall-clock cap must not cut them short.
  port.Push(100, Silence());
  port.script.push_back(Datagram(Reply(SET_REPLY, state.clientId, "10.77.0.110")));
  EXPECT_TRUE(EnableDeviceDhcp(state, port, &report));
  EXPECT_EQ(report.attempts, 100);

  SetSelectedDeviceIp(state, "10.77.0.11");
  SetPending("10.77.0.50", "255.255.0.0", "10.77.0.1");
  port.Push(101, Silence());
  port.script.push_back(Datagram(Reply(SET_REPLY, state.clientId, "10.77.0.50")));
  EXPECT_FALSE(SetDeviceStaticAddress(state, port, &report));
  EXPECT_EQ(report.outcome, ExchangeOutcome::AttemptsSpent);
  EXPECT_EQ(report.attempts, 101);
}

TEST_F(ExchangeTest, RepliesFromAnotherDeviceOrInstanceCountAsAttempts) {
  port.Push(11, Silence());
  for (int i = 0; i < 10; ++i) {
    port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.11", "theirs")));
    port.script.push_back(Datagram(Reply(QUERY_REPLY, other, "10.77.0.10", "other")));
  }
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.11", "theirs")));
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "mine")));

  EXPECT_FALSE(QueryShareNames(state, port, &report));
  EXPECT_EQ(report.attempts, 21);
  EXPECT_EQ(report.otherAddresses, 11);
  EXPECT_EQ(report.otherClients, 10);
  EXPECT_EQ(state.shareNameList.count, 0);
}

TEST_F(ExchangeTest, ForeignOpcodesAndReadErrorsAreNotCounted) {
  port.Push(11, Silence());
  for (int i = 0; i < 40; ++i) {
    port.script.push_back(Datagram(Reply(SET_REPLY, state.clientId, "10.77.0.10", "x")));
    port.script.push_back(test::ReadError());
  }
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "vol1")));

  EXPECT_TRUE(QueryShareNames(state, port, &report));
  EXPECT_EQ(report.attempts, 0);
  EXPECT_EQ(report.foreignOpcodes, 40);
  EXPECT_EQ(report.readErrors, 40);
  EXPECT_TRUE(port.pauses.empty());
}

// --- the wall-clock cap -----------------------------------------------------------------------

TEST_F(ExchangeTest, FloodOfForeignOpcodesCannotHoldTheLoginCheck) {
  std::strcpy(state.loginCredentials.userName, "admin");
  port.whenEmpty = Datagram(Reply(DISCOVER_REPLY, state.clientId, "10.77.0.10"));
  const std::int64_t before = port.nowMs;

  EXPECT_FALSE(CheckAdminLogin(state, port, &report));

  EXPECT_FALSE(port.safetyTripped);
  EXPECT_EQ(report.outcome, ExchangeOutcome::TimeCapReached);
  EXPECT_GE(port.nowMs - before, kLoginWaitCapMs);
  EXPECT_LE(port.nowMs - before, kLoginWaitCapMs + 20);
  EXPECT_GT(report.foreignOpcodes, 1000);
}

TEST_F(ExchangeTest, FloodOfReadErrorsCannotHoldASetCommand) {
  port.whenEmpty = test::ReadError();
  const std::int64_t before = port.nowMs;
  EXPECT_FALSE(EnableDeviceDhcp(state, port, &report));
  EXPECT_FALSE(port.safetyTripped);
  EXPECT_EQ(report.outcome, ExchangeOutcome::TimeCapReached);
  EXPECT_LE(port.nowMs - before, kSetWaitCapMs + 20);
  // The device record is untouched by a failed switch.
  EXPECT_STREQ(state.SelectedDeviceIp, "10.77.0.10");
  EXPECT_NE(FindDeviceByIp(state.deviceList, "10.77.0.10"), nullptr);
}

TEST_F(ExchangeTest, FloodMixedWithCountedRejectsEndsWithinTheQueryCap) {
  // Each counted reject costs a pause; the foreign datagrams between them cost time only.
  port.Push(11, Silence());
  for (int i = 0; i < 5000; ++i) {
    port.script.push_back(Datagram(Reply(DISCOVER_REPLY, state.clientId, "10.77.0.10")));
  }
  port.whenEmpty = Datagram(Reply(QUERY_REPLY, other, "10.77.0.10"));
  const std::int64_t before = port.nowMs;
  EXPECT_FALSE(QueryTargetEntries(state, port, &report));
  EXPECT_FALSE(port.safetyTripped);
  EXPECT_LE(port.nowMs - before, 110 + kQueryWaitCapMs + 110);
}

// A flood that stops before the cap only extends the wait: every counted attempt still follows,
// and a reply at the last one is taken (the wait then lasts the flood plus the attempts).
TEST_F(ExchangeTest, FloodShorterThanTheCapCostsNoCountedAttempt) {
  SetPending("10.77.0.50", "255.255.0.0", "10.77.0.1");
  port.Push(600, Datagram(Bytes{}));
  port.Push(kSetAttemptLimit, Silence());
  port.script.push_back(Datagram(Reply(SET_REPLY, state.clientId, "10.77.0.50")));
  EXPECT_TRUE(SetDeviceStaticAddress(state, port, &report));
  EXPECT_EQ(report.attempts, kSetAttemptLimit);
  EXPECT_EQ(report.foreignOpcodes, 600);
  EXPECT_GT(report.elapsedMs, kSetWaitCapMs);
}

// Windows' default timer: a 10 ms wait lasts 15.6 ms, a 100 ms pause 109 ms. Every exchange must
// still make all its polls and take a reply that comes at the last one.
TEST_F(ExchangeTest, EveryAttemptIsMadeOnACoarseTimer) {
  int tenths = 0;
  port.waitCost = [&tenths](int ms) {
    tenths += ms == kExchangePollWaitMs ? 156 : ms * 10;
    const int whole = tenths / 10;
    tenths %= 10;
    return std::int64_t{whole};
  };
  port.pauseCost = [](int ms) { return std::int64_t{ms == kExchangePauseMs ? 109 : ms}; };
  std::strcpy(state.loginCredentials.userName, "admin");
  SetPending("10.77.0.50", "255.255.0.0", "10.77.0.1");
  struct Case {
    const char* what;
    int flush, limit;
    Bytes reply;
    bool (*run)(ProtocolState&, DeviceSocketPort&, ExchangeReport*);
  };
  const Case cases[] = {
      {"login", 11, kLoginAttemptLimit, LoginVerdict(state.clientId, "10.77.0.10", 1), CheckAdminLogin},
      {"shares", 11, kQueryAttemptLimit, Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "v"), QueryShareNames},
      {"targets", 11, kQueryAttemptLimit, Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "t"),
       QueryTargetEntries},
      {"static", 0, kSetAttemptLimit, Reply(SET_REPLY, state.clientId, "10.77.0.50"), SetDeviceStaticAddress},
      {"dhcp", 0, kSetAttemptLimit, Reply(SET_REPLY, state.clientId, "10.77.0.110"), EnableDeviceDhcp},
  };
  for (const Case& c : cases) {
    port.script.clear();
    port.Push(c.flush + c.limit, Silence());
    port.script.push_back(Datagram(c.reply));
    EXPECT_TRUE(c.run(state, port, &report)) << c.what;
    EXPECT_EQ(report.outcome, ExchangeOutcome::Answered) << c.what;
    EXPECT_EQ(report.attempts, c.limit) << c.what;
  }
}

// --- replies to the set commands --------------------------------------------------------------

TEST_F(ExchangeTest, SetRepliesWithoutAUsableAddressDoNotEndTheWait) {
  Bytes shortReply = Reply(SET_REPLY, state.clientId, "10.77.0.0");
  shortReply.resize(7);  // opcode and the ClientId echo
  Bytes cutAddress = Reply(SET_REPLY, state.clientId, "10.77.0.0");
  cutAddress.resize(20);  // byte 20 missing: reads as 10.77.0.0
  for (const Bytes& bad : {shortReply, cutAddress, Reply(SET_REPLY, state.clientId, "0.0.0.0"),
                           Reply(SET_REPLY, state.clientId, "255.255.255.255"),
                           Reply(SET_REPLY, state.clientId, "224.0.0.1"),
                           Reply(SET_REPLY, state.clientId, "127.0.0.5")}) {
    port.script.push_back(Datagram(bad));
  }
  port.whenEmpty = Silence();
  EXPECT_FALSE(EnableDeviceDhcp(state, port, &report));
  EXPECT_EQ(report.otherAddresses, 6);
  EXPECT_STREQ(state.SelectedDeviceIp, "10.77.0.10");
  EXPECT_NE(FindDeviceByIp(state.deviceList, "10.77.0.10"), nullptr);

  // The static change to 10.77.0.0 is not confirmed by a reply too short to carry it.
  SetPending("10.77.0.0", "255.255.0.0", "10.77.0.1");
  port.script.push_back(Datagram(cutAddress));
  port.script.push_back(Datagram(Reply(SET_REPLY, state.clientId, "10.77.0.0")));
  EXPECT_TRUE(SetDeviceStaticAddress(state, port, &report));
  EXPECT_EQ(report.otherAddresses, 1);
}

TEST_F(ExchangeTest, StaticChangeToAnAddressNoDeviceCanHaveIsRefusedUnsent) {
  for (const char* pending : {"0.0.0.0", "255.255.255.255", "224.0.0.1", "239.1.2.3", "240.0.0.5", "127.0.0.1",
                              "nas"}) {
    SetPending(pending, "255.255.0.0", "10.77.0.1");
    port.script.push_back(Datagram(Reply(SET_REPLY, state.clientId, "0.0.0.0")));
    EXPECT_FALSE(SetDeviceStaticAddress(state, port, &report)) << pending;
    EXPECT_EQ(report.outcome, ExchangeOutcome::NotBuilt) << pending;
  }
  EXPECT_TRUE(port.sent.empty());
  EXPECT_STREQ(state.SelectedDeviceIp, "10.77.0.10");
}

// --- the flush ----------------------------------------------------------------------------------

TEST_F(ExchangeTest, FlushDiscardsWhatWasWaiting) {
  // A stale answer from an earlier query would pass every test of the new one.
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "stale")));
  port.Push(9, Silence());
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "stale2")));
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "fresh")));

  EXPECT_TRUE(QueryShareNames(state, port, &report));
  EXPECT_EQ(report.flushed, 2);
  EXPECT_EQ(Names(state.shareNameList), std::vector<std::string>{"fresh"});
  EXPECT_EQ(port.sent[0].waitsBefore, 11);
}

// --- address changes --------------------------------------------------------------------------

TEST_F(ExchangeTest, StaticReplyWithAnotherAddressDoesNotEndTheWait) {
  SetPending("10.77.0.50", "255.255.255.0", "10.77.0.254");
  port.script.push_back(Datagram(Reply(SET_REPLY, state.clientId, "10.77.0.10")));
  port.script.push_back(Datagram(Reply(SET_REPLY, state.clientId, "10.77.0.50")));

  EXPECT_TRUE(SetDeviceStaticAddress(state, port, &report));
  EXPECT_EQ(report.otherAddresses, 1);
  EXPECT_EQ(report.attempts, 1);

  const Bytes& b = port.sent[0].bytes;
  ASSERT_EQ(b.size(), 70u);
  EXPECT_EQ(b[21], SUB_SET_STATIC_IP);
  EXPECT_EQ(std::string(reinterpret_cast<const char*>(&b[60]), 10), "10.77.0.50");

  EXPECT_STREQ(state.SelectedDeviceIp, "10.77.0.50");
  const DeviceRecord* record = FindDeviceByIp(state.deviceList, "10.77.0.50");
  ASSERT_NE(record, nullptr);
  EXPECT_STREQ(record->name, "HALDEN-NAS1");
  EXPECT_STREQ(record->netmask, "255.255.255.0");
  EXPECT_STREQ(record->gateway, "10.77.0.254");
  EXPECT_EQ(record->deviceId[9], 50);
  EXPECT_EQ(FindDeviceByIp(state.deviceList, "10.77.0.10"), nullptr);
}

TEST_F(ExchangeTest, StaticChangeWithoutConfirmationChangesNothing) {
  SetPending("10.77.0.50", "255.255.255.0", "10.77.0.254");
  port.whenEmpty = Datagram(Reply(SET_REPLY, state.clientId, "10.77.0.10"));
  EXPECT_FALSE(SetDeviceStaticAddress(state, port, &report));
  EXPECT_EQ(report.attempts, 101);
  EXPECT_STREQ(state.SelectedDeviceIp, "10.77.0.10");
  const DeviceRecord* record = FindDeviceByIp(state.deviceList, "10.77.0.10");
  ASSERT_NE(record, nullptr);
  EXPECT_STREQ(record->netmask, "255.255.0.0");
  EXPECT_EQ(record->deviceId[9], 10);
}

TEST_F(ExchangeTest, AfterDhcpSwitchTheNextQueryReachesTheNewAddress) {
  port.script.push_back(Datagram(Reply(SET_REPLY, other, "10.77.0.200")));
  port.script.push_back(Datagram(Reply(SET_REPLY, state.clientId, "10.77.0.110")));
  ASSERT_TRUE(EnableDeviceDhcp(state, port, &report));
  EXPECT_STREQ(report.newAddress, "10.77.0.110");
  EXPECT_EQ(report.otherClients, 1);
  ASSERT_EQ(port.sent[0].bytes.size(), 60u);
  EXPECT_EQ(port.sent[0].bytes[21], SUB_SET_DHCP);
  EXPECT_STREQ(state.SelectedDeviceIp, "10.77.0.110");
  const DeviceRecord* record = FindDeviceByIp(state.deviceList, "10.77.0.110");
  ASSERT_NE(record, nullptr);
  // DHCP leaves netmask and gateway as they were announced.
  EXPECT_STREQ(record->netmask, "255.255.0.0");

  port.Push(11, Silence());
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.10", "old")));
  port.script.push_back(Datagram(Reply(QUERY_REPLY, state.clientId, "10.77.0.110", "Public")));
  EXPECT_TRUE(QueryShareNames(state, port, &report));
  ASSERT_EQ(port.sent.size(), 2u);
  const Bytes& query = port.sent[1].bytes;
  EXPECT_EQ(Bytes(query.begin() + 11, query.begin() + 21),
            (Bytes{0x00, 0x11, 0x32, 0xAA, 0xBB, 0x01, 10, 77, 0, 110}));
  EXPECT_EQ(Names(state.shareNameList), std::vector<std::string>{"Public"});
}

// --- nothing to talk to -------------------------------------------------------------------------

TEST_F(ExchangeTest, DeviceMissingFromTheTableSendsNothing) {
  SetSelectedDeviceIp(state, "10.77.0.99");
  AddName(state.shareNameList, "stale");
  AddName(state.targetEntryList, "stale");
  std::strcpy(state.loginCredentials.userName, "admin");
  SetPending("10.77.0.50", "255.255.0.0", "10.77.0.1");

  EXPECT_FALSE(CheckAdminLogin(state, port, &report));
  EXPECT_EQ(report.outcome, ExchangeOutcome::DeviceNotFound);
  EXPECT_FALSE(QueryShareNames(state, port));
  EXPECT_FALSE(QueryTargetEntries(state, port));
  EXPECT_FALSE(EnableDeviceDhcp(state, port));
  EXPECT_FALSE(SetDeviceStaticAddress(state, port));

  EXPECT_TRUE(port.sent.empty());
  EXPECT_EQ(port.waits, 0);
  EXPECT_EQ(state.shareNameList.count, 0);
  EXPECT_EQ(state.targetEntryList.count, 0);
}

TEST_F(ExchangeTest, UnbuildableRequestOrFailedSendEndsAtOnce) {
  // A pending text that fills its field without a terminator is refused, never read past.
  SetPending("10.77.0.50", "255.255.0.0", "10.77.0.1");
  std::memset(state.PendingNetmask, '1', sizeof state.PendingNetmask);
  EXPECT_FALSE(SetDeviceStaticAddress(state, port, &report));
  EXPECT_EQ(report.outcome, ExchangeOutcome::NotBuilt);
  EXPECT_TRUE(port.sent.empty());

  port.sendOk = false;
  EXPECT_FALSE(EnableDeviceDhcp(state, port, &report));
  EXPECT_EQ(report.outcome, ExchangeOutcome::SendFailed);
  EXPECT_EQ(port.waits, 0);
}

}  // namespace
}  // namespace sw::protocol
