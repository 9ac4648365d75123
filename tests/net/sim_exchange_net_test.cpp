// halden-sim's targeted exchanges over real sockets: the program's request builders on one side,
// the emulator's own device code on the other. The program's exchange loop is tested elsewhere;
// here a plain client sends one request and waits for the matching reply.

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <sstream>
#include <thread>
#include <cstring>
#include <string>
#include <vector>

#include "net_fixture.h"
#include "protocol/datagram.h"

namespace sw::nettest {
namespace {

using protocol::ClientId;

// A bare client in the host namespace: one socket to send to the group, one to hear replies.
class Client {
 public:
  Client() {
    id_ = protocol::MakeClientId(static_cast<uint64_t>(getpid()) * 7919u + counter_++);
    send_ = socket(AF_INET, SOCK_DGRAM, 0);
    unsigned char off = 0;
    setsockopt(send_, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof(off));
    in_addr local{};
    inet_pton(AF_INET, "10.77.0.1", &local);
    setsockopt(send_, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof(local));
    receive_ = socket(AF_INET, SOCK_DGRAM, 0);
    int on = 1;
    setsockopt(receive_, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
    sockaddr_in any{};
    any.sin_family = AF_INET;
    any.sin_port = htons(protocol::kDevicePort);
    bind(receive_, reinterpret_cast<sockaddr*>(&any), sizeof(any));
    ip_mreq m{};
    inet_pton(AF_INET, protocol::kGroupAddress, &m.imr_multiaddr);
    m.imr_interface = local;
    setsockopt(receive_, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof(m));
  }
  ~Client() {
    close(send_);
    close(receive_);
  }

  const ClientId& id() const { return id_; }

  void Send(const uint8_t* data, size_t size) {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(protocol::kDevicePort);
    inet_pton(AF_INET, protocol::kGroupAddress, &to.sin_addr);
    ASSERT_EQ(sendto(send_, data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)),
              static_cast<ssize_t>(size));
  }

  // First datagram with `opcode` (or `other`) answering this client within `timeoutMs`; empty
  // when none.
  std::vector<uint8_t> Await(uint8_t opcode, int timeoutMs, double* seconds = nullptr,
                             uint8_t other = 0) {
    auto start = std::chrono::steady_clock::now();
    auto deadline = start + std::chrono::milliseconds(timeoutMs);
    while (true) {
      auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
                      deadline - std::chrono::steady_clock::now()).count();
      if (left <= 0) return {};
      pollfd p{receive_, POLLIN, 0};
      if (poll(&p, 1, static_cast<int>(left)) <= 0) continue;
      std::vector<uint8_t> buf(4096);
      ssize_t n = recv(receive_, buf.data(), buf.size(), 0);
      if (n <= 0) continue;
      buf.resize(static_cast<size_t>(n));
      protocol::ReceivedDatagram d{buf.data(), buf.size()};
      if ((buf[0] == opcode || (other != 0 && buf[0] == other)) && protocol::IsForClient(d, id_)) {
        if (seconds) {
          *seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
        }
        return buf;
      }
    }
  }

  // Sends a DISCOVER and returns the announcement of the device at `ip` (its deviceId in out).
  bool DeviceIdOf(const std::string& ip, uint8_t out[protocol::kDeviceIdSize]) {
    uint8_t request[protocol::kRequestBufferSize];
    size_t n = protocol::BuildDiscover(id_, request);
    Send(request, n);
    while (true) {
      std::vector<uint8_t> reply =
          Await(protocol::DISCOVER_REPLY, 1000, nullptr, protocol::DISCOVER_REPLY_EXT);
      if (reply.empty()) return false;
      protocol::ReceivedDatagram d{reply.data(), reply.size()};
      if (protocol::CarriesAddress(d, ip.c_str())) {
        std::memcpy(out, reply.data() + 11, protocol::kDeviceIdSize);
        return true;
      }
    }
  }

 private:
  static inline int counter_ = 0;
  ClientId id_;
  int send_ = -1;
  int receive_ = -1;
};

std::string ResultText(const std::vector<uint8_t>& reply) {
  if (reply.size() <= protocol::offset::kQueryResult) return "";
  return std::string(reply.begin() + protocol::offset::kQueryResult, reply.end());
}

std::string ReplyAddress(const std::vector<uint8_t>& reply) {
  if (reply.size() < 21) return "";
  return protocol::FormatIpv4(reply.data() + 17);
}

bool HttpPageHas(const std::string& address, const std::string& needle) {
  int fd = socket(AF_INET, SOCK_STREAM, 0);
  timeval tv{2, 0};
  setsockopt(fd, SOL_SOCKET, SO_RCVTIMEO, &tv, sizeof(tv));
  setsockopt(fd, SOL_SOCKET, SO_SNDTIMEO, &tv, sizeof(tv));
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(80);
  inet_pton(AF_INET, address.c_str(), &to.sin_addr);
  std::string response;
  if (connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)) == 0) {
    const char request[] = "GET / HTTP/1.0\r\n\r\n";
    send(fd, request, sizeof(request) - 1, 0);
    char buf[1024];
    ssize_t n;
    while ((n = recv(fd, buf, sizeof(buf), 0)) > 0) response.append(buf, static_cast<size_t>(n));
  }
  close(fd);
  return response.find(needle) != std::string::npos;
}

const char kFabric[] = R"({"devices": [
  {"name": "EX1", "address": "10.77.3.1", "nodeId": "02:00:00:00:03:01", "adminPassword": "pw1",
   "shares": ["Volume_1", "Musik \u00e4"], "iscsi": true,
   "targets": [{"name": "iqn.2009-11.com.halden:ex1.t0", "auth": "CHAP", "user": "u1",
                "secret": "sixteen-chars-ok"},
               {"name": "iqn.2009-11.com.halden:ex1.t1"}],
   "dhcpPool": ["10.77.3.101", "10.77.3.102"], "dhcpGateway": "10.77.0.254"},
  {"name": "EX2", "address": "10.77.3.2", "replyTo": "host", "silent": ["login"],
   "delays": {"shares": 400}, "shares": []},
  {"name": "EX3", "address": "10.77.3.3", "replyTo": "host"}
]})";

class SimExchangeNetTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::string why;
    ASSERT_TRUE(InTestNamespace(&why)) << why;
    std::vector<std::string> peers = PeerNamespaces();
    ASSERT_GE(peers.size(), 2u);
    fabric_ = WriteScratchFile("exchange-fabric", kFabric);
    ASSERT_TRUE(sim1_.Start(peers[0], HaldenSimPath(),
                            {"--fabric", fabric_, "--device", "EX1", "--interface", "eth0"}));
    // Two devices played by one process in one namespace.
    ASSERT_TRUE(sim23_.Start(peers[1], HaldenSimPath(),
                             {"--fabric", fabric_, "--device", "EX2", "--device", "EX3",
                              "--interface", "eth0"}));
  }

  std::vector<uint8_t> Query(Client& c, const uint8_t* id, protocol::SubCommand sub, int timeoutMs,
                             double* seconds = nullptr) {
    uint8_t request[protocol::kRequestBufferSize];
    size_t n = protocol::BuildQuery(c.id(), id, sub, nullptr, 0, request);
    c.Send(request, n);
    return c.Await(protocol::QUERY_REPLY, timeoutMs, seconds);
  }

  std::vector<uint8_t> Login(Client& c, const uint8_t* id, const char* user, const char* password) {
    uint8_t request[protocol::kRequestBufferSize];
    size_t n = protocol::BuildLoginQuery(c.id(), id, user, password, request);
    c.Send(request, n);
    return c.Await(protocol::QUERY_REPLY, 1200);
  }

  std::string fabric_;
  Peer sim1_;
  Peer sim23_;
};

TEST_F(SimExchangeNetTest, LoginCheckAnswersTheVerdictOfTheCredentials) {
  Client c;
  uint8_t id[10];
  ASSERT_TRUE(c.DeviceIdOf("10.77.3.1", id));
  std::vector<uint8_t> good = Login(c, id, "admin", "pw1");
  ASSERT_GT(good.size(), 28u);
  EXPECT_NE(good[28], 0);
  EXPECT_EQ(ReplyAddress(good), "10.77.3.1");
  for (auto creds : {std::pair<const char*, const char*>{"admin", ""}, {"admin", "pw"},
                     {"Admin", "pw1"}, {"admin", "pw1x"}}) {
    std::vector<uint8_t> bad = Login(c, id, creds.first, creds.second);
    ASSERT_GT(bad.size(), 28u) << creds.first << "/" << creds.second;
    EXPECT_EQ(bad[28], 0) << creds.first << "/" << creds.second;
  }
}

TEST_F(SimExchangeNetTest, ShareAndTargetListsComeInTheWireFormat) {
  Client c;
  uint8_t id[10];
  ASSERT_TRUE(c.DeviceIdOf("10.77.3.1", id));
  std::vector<uint8_t> shares = Query(c, id, protocol::SUB_QUERY_SHARES, 2300);
  EXPECT_EQ(ResultText(shares), "Volume_1:Musik \xC3\xA4");
  protocol::ReceivedDatagram sd{shares.data(), shares.size()};
  EXPECT_EQ(protocol::SplitListReply(sd, ':'), (std::vector<std::string>{"Volume_1", "Musik \xC3\xA4"}));

  std::vector<uint8_t> targets = Query(c, id, protocol::SUB_QUERY_TARGETS, 2300);
  EXPECT_EQ(ResultText(targets),
            "iqn.2009-11.com.halden:ex1.t0|CHAP@u1$c2l4dGVlbi1jaGFycy1vaw=="
            "=iqn.2009-11.com.halden:ex1.t1|none@$");
  protocol::ReceivedDatagram td{targets.data(), targets.size()};
  EXPECT_EQ(protocol::SplitListReply(td, '=').size(), 2u);
}

TEST_F(SimExchangeNetTest, OnlyTheAddressedDeviceAnswers) {
  Client c;
  uint8_t id[10];
  ASSERT_TRUE(c.DeviceIdOf("10.77.3.3", id));
  std::vector<uint8_t> reply = Query(c, id, protocol::SUB_QUERY_SHARES, 1000);
  EXPECT_EQ(ReplyAddress(reply), "10.77.3.3");
  // Right node identifier, wrong address bytes: nobody answers.
  id[9] ^= 0xFF;
  EXPECT_TRUE(Query(c, id, protocol::SUB_QUERY_SHARES, 600).empty());
}

TEST_F(SimExchangeNetTest, SilenceAndDelaysFollowTheFabric) {
  Client c;
  uint8_t id[10];
  ASSERT_TRUE(c.DeviceIdOf("10.77.3.2", id));
  EXPECT_TRUE(Login(c, id, "admin", "").empty()) << "login is silenced on EX2";
  double seconds = 0;
  std::vector<uint8_t> shares = Query(c, id, protocol::SUB_QUERY_SHARES, 2000, &seconds);
  ASSERT_FALSE(shares.empty());
  EXPECT_GE(seconds, 0.39);
  EXPECT_EQ(shares.size(), 28u) << "an empty share list is a bare 28-byte reply";
}

TEST_F(SimExchangeNetTest, StaticChangeReallyMovesTheDevice) {
  Client c;
  uint8_t id[10];
  ASSERT_TRUE(c.DeviceIdOf("10.77.3.1", id));
  ASSERT_TRUE(HttpPageHas("10.77.3.1", "EX1"));
  uint8_t request[protocol::kRequestBufferSize];
  size_t n = protocol::BuildSetStaticIp(c.id(), id, "255.255.0.0", "10.77.0.1", "10.77.3.50", request);
  c.Send(request, n);
  std::vector<uint8_t> reply = c.Await(protocol::SET_REPLY, 2000);
  ASSERT_FALSE(reply.empty());
  EXPECT_EQ(ReplyAddress(reply), "10.77.3.50");
  EXPECT_TRUE(HttpPageHas("10.77.3.50", "<td>10.77.3.50</td>"));
  EXPECT_FALSE(HttpPageHas("10.77.3.1", "EX1")) << "the old address is gone";

  // The program's engine now finds it at its new address only, static.
  Instance program;
  PassResult r = program.Discover();
  ASSERT_NE(FindByIp(r, "10.77.3.50"), nullptr);
  EXPECT_EQ(FindByIp(r, "10.77.3.1"), nullptr);
  EXPECT_NE(FindByIp(r, "10.77.3.50")->dhcpState, "1");

  // Requests under the old identifier go unanswered; the new one works.
  EXPECT_TRUE(Query(c, id, protocol::SUB_QUERY_SHARES, 500).empty());
  uint8_t newId[10];
  std::memcpy(newId, id, 10);
  uint8_t newBytes[4] = {10, 77, 3, 50};
  std::memcpy(newId + 6, newBytes, 4);
  EXPECT_EQ(ReplyAddress(Query(c, newId, protocol::SUB_QUERY_SHARES, 1000)), "10.77.3.50");
}

TEST_F(SimExchangeNetTest, StaticChangeToNonsenseIsRefusedSilently) {
  Client c;
  uint8_t id[10];
  ASSERT_TRUE(c.DeviceIdOf("10.77.3.3", id));
  // A hand-made SET whose value is not an address; the program's builder would refuse it.
  uint8_t request[protocol::kRequestBufferSize];
  size_t n = protocol::BuildSetStaticIp(c.id(), id, "255.255.0.0", "10.77.0.1", "10.77.3.60", request);
  const char junk[] = "10.77.3.600";
  std::memcpy(request + 60, junk, sizeof(junk) - 1);
  request[56] = sizeof(junk) - 1;
  c.Send(request, n + 1);
  EXPECT_TRUE(c.Await(protocol::SET_REPLY, 800).empty());
  EXPECT_TRUE(HttpPageHas("10.77.3.3", "EX3"));
}

TEST_F(SimExchangeNetTest, DhcpSwitchHandsOutPoolAddressesInTurn) {
  Client c;
  uint8_t id[10];
  ASSERT_TRUE(c.DeviceIdOf("10.77.3.1", id));
  uint8_t request[protocol::kRequestBufferSize];
  size_t n = protocol::BuildSetDhcp(c.id(), id, request);
  c.Send(request, n);
  std::vector<uint8_t> reply = c.Await(protocol::SET_REPLY, 2000);
  EXPECT_EQ(ReplyAddress(reply), "10.77.3.101");

  Instance program;
  PassResult r = program.Discover();
  const FoundDevice* moved = FindByIp(r, "10.77.3.101");
  ASSERT_NE(moved, nullptr);
  EXPECT_EQ(moved->dhcpState, "1");
  EXPECT_EQ(moved->gateway, "10.77.0.254");
  EXPECT_EQ(moved->netmask, "255.255.0.0");

  std::memcpy(id, moved->deviceId.data(), 10);
  n = protocol::BuildSetDhcp(c.id(), id, request);
  c.Send(request, n);
  EXPECT_EQ(ReplyAddress(c.Await(protocol::SET_REPLY, 2000)), "10.77.3.102");
}

// CPU time (user + system) of a process so far, in seconds.
double CpuSeconds(pid_t pid) {
  std::ifstream in("/proc/" + std::to_string(pid) + "/stat");
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::istringstream fields(text.substr(text.rfind(')') + 2));
  std::string field;
  long long ticks = 0;
  for (int i = 3; i <= 15 && fields >> field; ++i) {
    if (i >= 14) ticks += std::stoll(field);
  }
  return static_cast<double>(ticks) / static_cast<double>(sysconf(_SC_CLK_TCK));
}

// More idle connections than it has slots: the emulator must wait for them, not spin.
TEST_F(SimExchangeNetTest, SeventyIdleWebConnectionsCostNoCpu) {
  std::vector<int> connections;
  for (int i = 0; i < 70; ++i) {
    int fd = socket(AF_INET, SOCK_STREAM, 0);
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(80);
    inet_pton(AF_INET, "10.77.3.1", &to.sin_addr);
    ASSERT_EQ(connect(fd, reinterpret_cast<sockaddr*>(&to), sizeof(to)), 0) << i;
    connections.push_back(fd);
  }
  std::this_thread::sleep_for(std::chrono::milliseconds(200));
  const double before = CpuSeconds(sim1_.pid());
  std::this_thread::sleep_for(std::chrono::seconds(2));
  const double share = (CpuSeconds(sim1_.pid()) - before) / 2.0;
  std::printf("halden-sim CPU with 70 idle connections: %.1f%%\n", 100.0 * share);
  RecordProperty("cpu_percent", std::to_string(100.0 * share));
  EXPECT_LT(share, 0.05);
  for (int fd : connections) close(fd);
}

}  // namespace
}  // namespace sw::nettest
