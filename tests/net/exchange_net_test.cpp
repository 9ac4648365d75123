// The program's targeted exchanges (login check, share and target lists, DHCP and static address
// changes) over real sockets, against halden-sim and against hostile peers that reply late, with
// the wrong address or client, or flood the link. Each test runs in the namespaces of netns-run.

#include <gtest/gtest.h>

#include <chrono>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net_fixture.h"
#include "protocol/datagram.h"
#include "protocol/device_table.h"
#include "protocol/exchanges.h"

namespace sw::nettest {
namespace {

using protocol::ExchangeOutcome;
using protocol::ExchangeReport;

const char kFabric[] = R"({"devices": [
  {"name": "XA", "address": "10.77.5.1", "nodeId": "02:00:00:00:05:01", "adminPassword": "s3cret",
   "shares": ["Volume_1", "Musik \u00e4"], "iscsi": true,
   "targets": [{"name": "iqn.2009-11.com.halden:xa.t0", "auth": "CHAP", "user": "u1",
                "secret": "sixteen-chars-ok"},
               {"name": "iqn.2009-11.com.halden:xa.t1"}],
   "dhcpPool": ["10.77.5.101"], "dhcpGateway": "10.77.0.254"},
  {"name": "XD", "address": "10.77.5.2", "nodeId": "02:00:00:00:05:02", "replyTo": "host",
   "delays": {"shares": 2800, "targets": 1800}, "shares": ["late"],
   "targets": [{"name": "iqn.2009-11.com.halden:xd.t0"}]},
  {"name": "XS", "address": "10.77.5.3", "nodeId": "02:00:00:00:05:03",
   "silent": ["login", "shares", "targets", "static", "dhcp"]}
]})";

constexpr uint8_t kNodeXA[6] = {2, 0, 0, 0, 5, 1};
constexpr uint8_t kNodeXD[6] = {2, 0, 0, 0, 5, 2};
constexpr uint8_t kNodeXS[6] = {2, 0, 0, 0, 5, 3};
// The hostile peer answers whatever deviceId a request carries; this one is only for the table.
constexpr uint8_t kNodeHostile[6] = {2, 0, 0, 0, 1, 1};
constexpr char kHostileIp[] = "10.77.1.1";

std::vector<std::string> Names(const protocol::NameList& list) {
  std::vector<std::string> out;
  for (const protocol::NameEntry* e = list.head; e; e = e->next) out.push_back(e->text);
  return out;
}

std::string Selected(const Instance& program) { return program.state().SelectedDeviceIp; }

class ExchangeNetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(InTestNamespace(&why)) << why;
    peers_ = PeerNamespaces();
    ASSERT_GE(peers_.size(), 2u);
    ASSERT_TRUE(program_.HasInterface());
    protocol::CopyText(program_.state().loginCredentials.userName, 17, "admin");
  }

  void StartSim(Peer& peer, size_t ns, const std::vector<std::string>& devices) {
    if (fabric_.empty()) fabric_ = WriteScratchFile("exchange-fabric", kFabric);
    std::vector<std::string> args = {"--fabric", fabric_, "--interface", "eth0"};
    for (const auto& d : devices) {
      args.push_back("--device");
      args.push_back(d);
    }
    ASSERT_TRUE(peer.Start(peers_[ns], HaldenSimPath(), args));
  }

  // Starts a hostile peer with `script`; its captured datagrams go to capture_.
  void StartHostile(Peer& peer, const std::string& script) {
    capture_ = WriteScratchFile("capture", "");
    ASSERT_TRUE(peer.Start(peers_[1], HostilePeerPath(),
                           {"--script", WriteScratchFile("script", script), "--capture", capture_}));
  }

  // Requests of the given opcode the hostile peer received.
  std::vector<std::vector<uint8_t>> Captured(uint8_t opcode) const {
    std::vector<std::vector<uint8_t>> out;
    for (auto& d : ReadCapture(capture_)) {
      if (!d.empty() && d[0] == opcode) out.push_back(d);
    }
    return out;
  }

  void SetPending(const char* ip, const char* netmask, const char* gateway) {
    protocol::CopyText(program_.state().PendingIp, protocol::kIpTextSize, ip);
    protocol::CopyText(program_.state().PendingNetmask, protocol::kIpTextSize, netmask);
    protocol::CopyText(program_.state().PendingGateway, protocol::kIpTextSize, gateway);
  }

  // Reads and drops whatever waits on the program's receive socket. The login does not flush
  // before sending, so replies left over from a failed check would be taken by the next one.
  int Drain() {
    protocol::DeviceSocketPort& port = protocol::SystemDeviceSocketPort();
    const protocol::SocketHandle s = program_.state().receiveSockets[0];
    uint8_t buffer[protocol::kReceiveBufferSize];
    int dropped = 0;
    while (port.WaitReadable(s, 50) > 0 && port.Receive(s, buffer, protocol::kReceiveCapacity) >= 0) {
      ++dropped;
    }
    return dropped;
  }

  void SetPassword(const char* password) {
    protocol::CopyText(program_.state().loginCredentials.password, 17, password);
  }

  bool Login(ExchangeReport* r, double* seconds) {
    bool ok = false;
    *seconds = Timed([&] {
      ok = protocol::CheckAdminLogin(program_.state(), protocol::SystemDeviceSocketPort(), r);
    });
    return ok;
  }
  bool Shares(ExchangeReport* r, double* seconds) {
    bool ok = false;
    *seconds = Timed([&] {
      ok = protocol::QueryShareNames(program_.state(), protocol::SystemDeviceSocketPort(), r);
    });
    return ok;
  }
  bool Targets(ExchangeReport* r, double* seconds) {
    bool ok = false;
    *seconds = Timed([&] {
      ok = protocol::QueryTargetEntries(program_.state(), protocol::SystemDeviceSocketPort(), r);
    });
    return ok;
  }
  bool Dhcp(ExchangeReport* r, double* seconds) {
    bool ok = false;
    *seconds = Timed([&] {
      ok = protocol::EnableDeviceDhcp(program_.state(), protocol::SystemDeviceSocketPort(), r);
    });
    return ok;
  }
  bool Static(ExchangeReport* r, double* seconds) {
    bool ok = false;
    *seconds = Timed([&] {
      ok = protocol::SetDeviceStaticAddress(program_.state(), protocol::SystemDeviceSocketPort(), r);
    });
    return ok;
  }

  std::vector<std::string> peers_;
  std::string fabric_;
  std::string capture_;
  Instance program_;
};

// --- what goes on the wire ------------------------------------------------------------------

TEST_F(ExchangeNetTest, LoginRequestForAdminWithEmptyPasswordIs35BytesEndingInTheSeparator) {
  Peer hostile;
  StartHostile(hostile, R"({"replies": [{"for": "login", "verdict": 255}]})");
  ASSERT_TRUE(program_.KnowDevice("HOSTILE", kHostileIp, kNodeHostile));
  SetPassword("");

  // A selection that is not in the table sends nothing at all.
  ASSERT_TRUE(program_.Select("10.77.1.99"));
  ExchangeReport r;
  double seconds = 0;
  EXPECT_FALSE(Login(&r, &seconds));
  EXPECT_EQ(r.outcome, ExchangeOutcome::DeviceNotFound);
  EXPECT_LT(seconds, 0.05);

  ASSERT_TRUE(program_.Select(kHostileIp));
  EXPECT_TRUE(Login(&r, &seconds));
  EXPECT_EQ(r.outcome, ExchangeOutcome::Answered);

  std::vector<std::vector<uint8_t>> requests = Captured(protocol::QUERY);
  ASSERT_EQ(requests.size(), 1u) << "one request, sent once; none for the unknown selection";
  const std::vector<uint8_t>& q = requests[0];
  ASSERT_EQ(q.size(), 35u);
  EXPECT_EQ(q[33], 0x55);
  EXPECT_EQ(q[34], 0xAA);
  EXPECT_EQ(std::string(q.begin() + 28, q.begin() + 33), "admin");
  EXPECT_EQ(q[21], protocol::SUB_QUERY_LOGIN);
  EXPECT_EQ(q[22] | q[23], 0);
  EXPECT_EQ(q[24] | q[25] << 8 | q[26] << 16 | q[27] << 24, 7);
  EXPECT_EQ(std::memcmp(q.data() + 1, program_.state().clientId.bytes, 10), 0);
  const protocol::DeviceRecord* d = protocol::FindDeviceByIp(program_.state().deviceList, kHostileIp);
  ASSERT_NE(d, nullptr);
  EXPECT_EQ(std::memcmp(q.data() + 11, d->deviceId, 10), 0);
}

// --- the login verdict ----------------------------------------------------------------------

TEST_F(ExchangeNetTest, LoginVerdictByteDecidesAndARefusalIsStillAnAnswer) {
  ASSERT_TRUE(program_.KnowDevice("HOSTILE", kHostileIp, kNodeHostile));
  SetPassword("pw");
  struct Case {
    const char* reply;
    bool accepted;
  };
  const Case cases[] = {
      {R"({"verdict": 0})", false},
      {R"({"verdict": 255})", true},
      {R"({"verdict": 1})", true},
      {R"({"verdict": 128})", true},
      // Nothing after offset 28: the verdict byte reads as 0, not as stale buffer contents.
      {R"({"size": 28})", false},
  };
  for (const Case& c : cases) {
    Peer hostile;
    StartHostile(hostile, std::string(R"({"replies": [)") + c.reply + "]}");
    ExchangeReport r;
    double seconds = 0;
    EXPECT_EQ(Login(&r, &seconds), c.accepted) << c.reply;
    EXPECT_EQ(r.outcome, ExchangeOutcome::Answered) << c.reply;
    EXPECT_EQ(r.loginAccepted, c.accepted) << c.reply;
    EXPECT_LT(seconds, 0.5) << c.reply;
  }
}

TEST_F(ExchangeNetTest, LoginAgainstTheEmulatedDeviceChecksThePassword) {
  Peer sim;
  StartSim(sim, 0, {"XA"});
  ASSERT_TRUE(program_.KnowDevice("XA", "10.77.5.1", kNodeXA));
  ExchangeReport r;
  double seconds = 0;
  SetPassword("s3cret");
  EXPECT_TRUE(Login(&r, &seconds));
  for (const char* wrong : {"", "s3cre", "s3cretX", "S3CRET"}) {
    SetPassword(wrong);
    EXPECT_FALSE(Login(&r, &seconds)) << wrong;
    EXPECT_EQ(r.outcome, ExchangeOutcome::Answered) << wrong;
  }
}

// --- lists ----------------------------------------------------------------------------------

TEST_F(ExchangeNetTest, ListsFromTheEmulatedDeviceArriveWhole) {
  Peer sim;
  StartSim(sim, 0, {"XA"});
  ASSERT_TRUE(program_.KnowDevice("XA", "10.77.5.1", kNodeXA));
  ExchangeReport r;
  double seconds = 0;
  ASSERT_TRUE(Shares(&r, &seconds));
  EXPECT_EQ(Names(program_.state().shareNameList),
            (std::vector<std::string>{"Volume_1", "Musik \xC3\xA4"}));
  ASSERT_TRUE(Targets(&r, &seconds));
  // Entries are split at '=', which also takes the Base64 padding off a secret.
  EXPECT_EQ(Names(program_.state().targetEntryList),
            (std::vector<std::string>{"iqn.2009-11.com.halden:xa.t0|CHAP@u1$c2l4dGVlbi1jaGFycy1vaw",
                                      "iqn.2009-11.com.halden:xa.t1|none@$"}));
}

TEST_F(ExchangeNetTest, ShareListSkipsEmptyItemsAndAnEmptyReplyEmptiesTheList) {
  ASSERT_TRUE(program_.KnowDevice("HOSTILE", kHostileIp, kNodeHostile));
  ExchangeReport r;
  double seconds = 0;
  {
    Peer hostile;
    StartHostile(hostile, R"({"replies": [{"for": "shares", "result": "vol1::vol2:"}]})");
    ASSERT_TRUE(Shares(&r, &seconds));
    EXPECT_EQ(Names(program_.state().shareNameList), (std::vector<std::string>{"vol1", "vol2"}));
  }
  {
    Peer hostile;
    StartHostile(hostile, R"({"replies": [{"for": "shares", "size": 28}]})");
    EXPECT_TRUE(Shares(&r, &seconds));
    EXPECT_EQ(r.outcome, ExchangeOutcome::Answered);
    EXPECT_EQ(program_.state().shareNameList.count, 0);
    EXPECT_EQ(program_.state().shareNameList.head, nullptr);
  }
}

// --- timing of the answer -------------------------------------------------------------------

TEST_F(ExchangeNetTest, QueryReplyAfterTheLastPollIsTooLate) {
  Peer sim;
  StartSim(sim, 0, {"XD"});
  ASSERT_TRUE(program_.KnowDevice("XD", "10.77.5.2", kNodeXD));
  ExchangeReport r;
  double seconds = 0;
  // 1.8 s is well inside the 21 polls.
  EXPECT_TRUE(Targets(&r, &seconds));
  EXPECT_EQ(Names(program_.state().targetEntryList),
            (std::vector<std::string>{"iqn.2009-11.com.halden:xd.t0|none@$"}));
  EXPECT_GE(seconds, 1.8);
  // 2.8 s comes after the 21 polls (about 2.3 s): the query has already given up.
  EXPECT_FALSE(Shares(&r, &seconds));
  EXPECT_NE(r.outcome, ExchangeOutcome::Answered);
  EXPECT_GE(seconds, 2.2);
  // The late reply itself is what the outcome above rules out; this bound only says the wait ended
  // near its cap, with room for a loaded machine under the sanitizers.
  EXPECT_LT(seconds, 3.3);
  EXPECT_EQ(program_.state().shareNameList.count, 0);
}

TEST_F(ExchangeNetTest, StaticChangeIgnoresConfirmationsOfAnotherAddress) {
  Peer hostile;
  StartHostile(hostile, R"({"replies": [
      {"for": "static", "address": "10.77.9.9", "repeat": 3},
      {"for": "static", "delayMs": 600}]})");
  ASSERT_TRUE(program_.KnowDevice("HOSTILE", kHostileIp, kNodeHostile));
  SetPending("10.77.1.50", "255.255.255.0", "10.77.1.254");
  ExchangeReport r;
  double seconds = 0;
  ASSERT_TRUE(Static(&r, &seconds));
  EXPECT_GE(seconds, 0.6) << "a confirmation of 10.77.9.9 ended the wait";
  EXPECT_EQ(r.otherAddresses, 3);

  EXPECT_EQ(Selected(program_), "10.77.1.50");
  EXPECT_EQ(protocol::FindDeviceByIp(program_.state().deviceList, kHostileIp), nullptr);
  const protocol::DeviceRecord* d = protocol::FindDeviceByIp(program_.state().deviceList, "10.77.1.50");
  ASSERT_NE(d, nullptr);
  EXPECT_STREQ(d->netmask, "255.255.255.0");
  EXPECT_STREQ(d->gateway, "10.77.1.254");
  const uint8_t moved[4] = {10, 77, 1, 50};
  EXPECT_EQ(std::memcmp(d->deviceId + 6, moved, 4), 0);

  std::vector<std::vector<uint8_t>> sets = Captured(protocol::SET);
  ASSERT_EQ(sets.size(), 1u);
  EXPECT_EQ(sets[0].size(), 70u);
  EXPECT_EQ(std::string(sets[0].begin() + 60, sets[0].end()), "10.77.1.50");
}

TEST_F(ExchangeNetTest, AfterDhcpTheNextQueryReachesTheDeviceAtItsNewAddress) {
  Peer sim;
  StartSim(sim, 0, {"XA"});
  PassResult pass = program_.Discover();
  ASSERT_NE(FindByIp(pass, "10.77.5.1"), nullptr);
  ASSERT_TRUE(program_.Select("10.77.5.1"));

  ExchangeReport r;
  double seconds = 0;
  ASSERT_TRUE(Dhcp(&r, &seconds));
  EXPECT_STREQ(r.newAddress, "10.77.5.101");
  EXPECT_EQ(Selected(program_), "10.77.5.101");
  const protocol::DeviceRecord* d = protocol::FindDeviceByIp(program_.state().deviceList, "10.77.5.101");
  ASSERT_NE(d, nullptr);
  const uint8_t leased[4] = {10, 77, 5, 101};
  EXPECT_EQ(std::memcmp(d->deviceId + 6, leased, 4), 0);
  // The emulated device answers only requests carrying its current address.
  ASSERT_TRUE(Shares(&r, &seconds));
  EXPECT_EQ(program_.state().shareNameList.count, 2);

  // And back to a static address: the confirmation must carry PendingIp.
  SetPending("10.77.5.60", "255.255.0.0", "10.77.0.1");
  ASSERT_TRUE(Static(&r, &seconds));
  EXPECT_EQ(Selected(program_), "10.77.5.60");
  ASSERT_TRUE(Targets(&r, &seconds));
  EXPECT_EQ(program_.state().targetEntryList.count, 2);
  // A second move within the subnet: the emulated device must keep its new address when the
  // old one goes.
  SetPending("10.77.5.61", "255.255.0.0", "10.77.0.1");
  ASSERT_TRUE(Static(&r, &seconds));
  ASSERT_TRUE(Shares(&r, &seconds));
  pass = program_.Discover();
  EXPECT_NE(FindByIp(pass, "10.77.5.61"), nullptr);
  EXPECT_EQ(FindByIp(pass, "10.77.5.60"), nullptr);
  EXPECT_EQ(FindByIp(pass, "10.77.5.101"), nullptr);
}

// --- replies that are not ours --------------------------------------------------------------

TEST_F(ExchangeNetTest, RepliesOfOtherDevicesAndInstancesUseUpAttempts) {
  ASSERT_TRUE(program_.KnowDevice("HOSTILE", kHostileIp, kNodeHostile));
  struct Case {
    const char* wrong;
    int count;
    bool answered;
  };
  // Each wrong reply is one attempt; the login allows 10, so the good reply queued behind 15
  // wrong ones is never reached, while behind 5 it is.
  const Case cases[] = {
      {R"("address": "10.77.1.2")", 5, true},
      {R"("address": "10.77.1.2")", 15, false},
      {R"("clientId": "foreign")", 5, true},
      {R"("clientId": "foreign")", 15, false},
  };
  for (const Case& c : cases) {
    Drain();
    Peer hostile;
    StartHostile(hostile, std::string(R"({"replies": [{"verdict": 255, )") + c.wrong +
                              R"(, "repeat": )" + std::to_string(c.count) +
                              R"(}, {"verdict": 255}]})");
    ExchangeReport r;
    double seconds = 0;
    std::string what = std::string(c.wrong) + " x" + std::to_string(c.count);
    EXPECT_EQ(Login(&r, &seconds), c.answered) << what;
    int wrong = r.otherAddresses + r.otherClients;
    if (c.answered) {
      EXPECT_EQ(wrong, c.count) << what;
      // Every wrong reply is an attempt; a poll that found nothing yet (a slow peer, a sanitizer
      // build) is one too.
      EXPECT_GE(r.attempts, c.count) << what;
      EXPECT_LE(r.attempts, c.count + 2) << what;
      EXPECT_GE(seconds, 0.1 * c.count) << what;
    } else {
      EXPECT_GE(wrong, 10) << what;
      EXPECT_LE(wrong, 11) << what;
      EXPECT_GE(Drain(), 15 - 11 + 1) << what << ": the good reply was still queued";
    }
  }
}

// --- forged set replies -------------------------------------------------------------------------

TEST_F(ExchangeNetTest, TruncatedAndForgedDhcpRepliesDoNotEndTheSwitch) {
  Peer hostile;
  StartHostile(hostile, R"({"replies": [
      {"for": "dhcp", "size": 7}, {"for": "dhcp", "address": "255.255.255.255"},
      {"for": "dhcp", "address": "224.0.0.1"}, {"for": "dhcp", "address": "127.0.0.9"},
      {"for": "dhcp", "address": "0.0.0.0"}]})");
  ASSERT_TRUE(program_.KnowDevice("HOSTILE", kHostileIp, kNodeHostile));
  ExchangeReport r;
  double seconds = 0;
  EXPECT_FALSE(Dhcp(&r, &seconds));
  EXPECT_EQ(r.otherAddresses, 5);
  EXPECT_EQ(Selected(program_), kHostileIp);
  EXPECT_NE(protocol::FindDeviceByIp(program_.state().deviceList, kHostileIp), nullptr);
}

TEST_F(ExchangeNetTest, StaticChangeToZeroIsRefusedBeforeAnythingIsSent) {
  Peer hostile;
  StartHostile(hostile, R"({"replies": [{"for": "static", "address": "0.0.0.0", "size": 7}]})");
  ASSERT_TRUE(program_.KnowDevice("HOSTILE", kHostileIp, kNodeHostile));
  SetPending("0.0.0.0", "255.255.0.0", "10.77.0.1");
  ExchangeReport r;
  double seconds = 0;
  EXPECT_FALSE(Static(&r, &seconds));
  EXPECT_EQ(r.outcome, ExchangeOutcome::NotBuilt);
  EXPECT_LT(seconds, 0.05);
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  EXPECT_TRUE(Captured(protocol::SET).empty());
  EXPECT_EQ(Selected(program_), kHostileIp);
}

// --- bounds ---------------------------------------------------------------------------------

TEST_F(ExchangeNetTest, AForeignOpcodeFloodCannotHoldAQueryPastItsCap) {
  Peer hostile;
  StartHostile(hostile, R"({"flood": {"opcode": 9, "gapUs": 300, "durationMs": 5000}})");
  ASSERT_TRUE(program_.KnowDevice("HOSTILE", kHostileIp, kNodeHostile));
  ExchangeReport r;
  double seconds = 0;
  EXPECT_FALSE(Login(&r, &seconds));
  EXPECT_GE(seconds, 1.1);
  EXPECT_LT(seconds, 1.6);
  EXPECT_EQ(r.outcome, ExchangeOutcome::TimeCapReached);
  EXPECT_GT(r.foreignOpcodes, 300);

  protocol::AddName(program_.state().shareNameList, "stale");
  EXPECT_FALSE(Shares(&r, &seconds));
  EXPECT_GE(seconds, 2.2);
  EXPECT_LT(seconds, 2.9);
  EXPECT_EQ(r.outcome, ExchangeOutcome::TimeCapReached);
  EXPECT_GT(r.foreignOpcodes, 300);
  EXPECT_EQ(program_.state().shareNameList.count, 0);
}

TEST_F(ExchangeNetTest, AnAnnouncementFloodCannotHoldADhcpSwitchPastItsCap) {
  Peer hostile;
  StartHostile(hostile, R"({"flood": {"opcode": 2, "gapUs": 1000, "durationMs": 14000}})");
  ASSERT_TRUE(program_.KnowDevice("HOSTILE", kHostileIp, kNodeHostile));
  ExchangeReport r;
  double seconds = 0;
  EXPECT_FALSE(Dhcp(&r, &seconds));
  EXPECT_GE(seconds, 10.8);
  EXPECT_LT(seconds, 12.0);
  EXPECT_EQ(r.outcome, ExchangeOutcome::TimeCapReached);
  EXPECT_EQ(Selected(program_), kHostileIp);
}

TEST_F(ExchangeNetTest, SilenceEndsEachExchangeAfterItsBound) {
  Peer sim;
  StartSim(sim, 0, {"XS"});
  ASSERT_TRUE(program_.KnowDevice("XS", "10.77.5.3", kNodeXS));
  ExchangeReport r;
  double seconds = 0;

  EXPECT_FALSE(Login(&r, &seconds));
  EXPECT_GE(seconds, 1.1);
  EXPECT_LT(seconds, 1.6);

  protocol::AddName(program_.state().shareNameList, "stale");
  EXPECT_FALSE(Shares(&r, &seconds));
  EXPECT_GE(seconds, 2.2);
  EXPECT_LT(seconds, 2.9);
  EXPECT_EQ(program_.state().shareNameList.count, 0) << "a failed query leaves the list empty";

  SetPending("10.77.5.70", "255.255.0.0", "10.77.0.1");
  EXPECT_FALSE(Static(&r, &seconds));
  EXPECT_GE(seconds, 10.8);
  EXPECT_LT(seconds, 12.0);
  EXPECT_EQ(Selected(program_), "10.77.5.3");
  EXPECT_NE(protocol::FindDeviceByIp(program_.state().deviceList, "10.77.5.3"), nullptr);
}

}  // namespace
}  // namespace sw::nettest
