// bench_exchanges: runs inside netns-run with two emulated devices already started: BENCH-A
// (10.77.20.1) answers at once, BENCH-S (10.77.20.3) stays silent. Times every targeted exchange
// through the program's own functions, against the round trip a bare client measures to the same
// device, and prints one table.
//
// usage: bench_exchanges [--rounds N] [--no-silent]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <string>
#include <vector>

#include "net_fixture.h"
#include "protocol/datagram.h"
#include "protocol/exchanges.h"

namespace sw::nettest {
namespace {

constexpr char kAnswering[] = "10.77.20.1";
constexpr char kSilent[] = "10.77.20.3";

double Median(std::vector<double> v) {
  std::sort(v.begin(), v.end());
  return v.empty() ? 0 : v[v.size() / 2];
}

// Round trip of a login QUERY to the device at `ip` (its deviceId in `deviceId`), from a bare
// socket pair: send, then block until the matching reply. Seconds; negative when none came.
double BareRoundTrip(const uint8_t* deviceId) {
  static int counter = 0;
  protocol::ClientId id = protocol::MakeClientId(static_cast<uint64_t>(getpid()) * 31 + counter++);
  int send = socket(AF_INET, SOCK_DGRAM, 0);
  int receive = socket(AF_INET, SOCK_DGRAM, 0);
  in_addr local{};
  inet_pton(AF_INET, "10.77.0.1", &local);
  unsigned char off = 0;
  setsockopt(send, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof(off));
  setsockopt(send, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof(local));
  int on = 1;
  setsockopt(receive, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(protocol::kDevicePort);
  bind(receive, reinterpret_cast<sockaddr*>(&any), sizeof(any));
  ip_mreq m{};
  inet_pton(AF_INET, protocol::kGroupAddress, &m.imr_multiaddr);
  m.imr_interface = local;
  setsockopt(receive, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof(m));

  uint8_t request[protocol::kRequestBufferSize];
  size_t n = protocol::BuildLoginQuery(id, deviceId, "admin", "", request);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(protocol::kDevicePort);
  inet_pton(AF_INET, protocol::kGroupAddress, &to.sin_addr);
  double seconds = -1;
  auto start = std::chrono::steady_clock::now();
  sendto(send, request, n, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
  while (true) {
    pollfd p{receive, POLLIN, 0};
    if (poll(&p, 1, 1000) <= 0) break;
    uint8_t buf[4096];
    ssize_t got = recv(receive, buf, sizeof(buf), 0);
    protocol::ReceivedDatagram d{buf, got > 0 ? static_cast<size_t>(got) : 0};
    if (got > 0 && buf[0] == protocol::QUERY_REPLY && protocol::IsForClient(d, id)) {
      seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      break;
    }
  }
  close(send);
  close(receive);
  return seconds;
}

struct Row {
  explicit Row(const char* n) : name(n) {}
  std::string name;
  std::vector<double> answered;  // seconds, exchange succeeded
  int failures = 0;              // the answering device's exchange returned false
  double silent = -1;            // seconds until false from the silent device
  bool silentFalse = true;
  double bound = 0;              // the bound the attempt limits give, seconds
};

int Main(int argc, char** argv) {
  int rounds = 10;
  bool silent = true;
  for (int i = 1; i < argc; ++i) {
    std::string k = argv[i];
    if (k == "--rounds" && i + 1 < argc) rounds = std::max(1, std::atoi(argv[++i]));
    else if (k == "--no-silent") silent = false;
  }
  std::string why;
  if (!InTestNamespace(&why)) {
    std::fprintf(stderr, "bench_exchanges: %s\n", why.c_str());
    return 2;
  }
  Instance program;
  if (!program.HasInterface()) {
    std::fprintf(stderr, "bench_exchanges: the host name does not resolve\n");
    return 2;
  }
  PassResult pass = program.Discover();
  if (!FindByIp(pass, kAnswering) || (silent && !FindByIp(pass, kSilent))) {
    std::fprintf(stderr, "bench_exchanges: the emulated devices were not discovered\n");
    return 2;
  }
  protocol::ProtocolState& state = program.state();
  protocol::DeviceSocketPort& port = protocol::SystemDeviceSocketPort();
  protocol::CopyText(state.loginCredentials.userName, 17, "admin");

  std::vector<double> rtts;
  for (int i = 0; i < std::max(rounds, 20); ++i) {
    double t = BareRoundTrip(FindByIp(pass, kAnswering)->deviceId.data());
    if (t >= 0) rtts.push_back(t);
  }
  if (rtts.empty()) {
    std::fprintf(stderr, "bench_exchanges: no round trip to %s\n", kAnswering);
    return 1;
  }
  // The program's socket heard every reply to the bare client too; they must not count against
  // the first exchanges.
  {
    uint8_t buffer[protocol::kReceiveBufferSize];
    const protocol::SocketHandle s = state.receiveSockets[0];
    while (port.WaitReadable(s, 50) > 0 && port.Receive(s, buffer, protocol::kReceiveCapacity) >= 0) {
    }
  }
  const double rtt = Median(rtts);
  const double floor = protocol::kExchangePollWaitMs / 1000.0 + rtt;

  Row login("CheckAdminLogin"), shares("QueryShareNames"), targets("QueryTargetEntries"),
      dhcp("EnableDeviceDhcp"), stat("SetDeviceStaticAddress");
  // limit + 1 empty polls with a pause between each two; the login check and the queries flush first.
  auto bound = [](int limit) {
    return ((limit + 1) * protocol::kExchangePollWaitMs + limit * protocol::kExchangePauseMs) / 1000.0;
  };
  const double flush = protocol::kFlushPolls * protocol::kExchangePollWaitMs / 1000.0;
  login.bound = flush + bound(protocol::kLoginAttemptLimit);
  shares.bound = targets.bound = flush + bound(protocol::kQueryAttemptLimit);
  dhcp.bound = stat.bound = bound(protocol::kSetAttemptLimit);

  auto time = [&](Row& row, const std::function<bool()>& exchange) {
    bool ok = false;
    double t = Timed([&] { ok = exchange(); });
    if (ok) {
      row.answered.push_back(t);
    } else {
      ++row.failures;
      std::fprintf(stderr, "%s failed after %.3f s at %s\n", row.name.c_str(), t,
                   state.SelectedDeviceIp);
    }
  };
  auto setPending = [&](const char* ip) {
    protocol::CopyText(state.PendingIp, protocol::kIpTextSize, ip);
    protocol::CopyText(state.PendingNetmask, protocol::kIpTextSize, "255.255.0.0");
    protocol::CopyText(state.PendingGateway, protocol::kIpTextSize, "10.77.0.1");
  };

  protocol::SetSelectedDeviceIp(state, kAnswering);
  for (int i = 0; i < rounds; ++i) {
    time(login, [&] { return protocol::CheckAdminLogin(state, port); });
    time(shares, [&] { return protocol::QueryShareNames(state, port); });
    time(targets, [&] { return protocol::QueryTargetEntries(state, port); });
    setPending("10.77.20.50");
    time(stat, [&] { return protocol::SetDeviceStaticAddress(state, port); });
    time(dhcp, [&] { return protocol::EnableDeviceDhcp(state, port); });
    setPending(kAnswering);
    time(stat, [&] { return protocol::SetDeviceStaticAddress(state, port); });
    if (std::strcmp(state.SelectedDeviceIp, kAnswering) != 0) {
      std::fprintf(stderr, "bench_exchanges: lost the device (now at %s)\n", state.SelectedDeviceIp);
      return 1;
    }
  }

  if (silent) {
    protocol::SetSelectedDeviceIp(state, kSilent);
    auto timeSilent = [&](Row& row, const std::function<bool()>& exchange) {
      bool ok = true;
      row.silent = Timed([&] { ok = exchange(); });
      row.silentFalse = !ok;
    };
    timeSilent(login, [&] { return protocol::CheckAdminLogin(state, port); });
    timeSilent(shares, [&] { return protocol::QueryShareNames(state, port); });
    timeSilent(targets, [&] { return protocol::QueryTargetEntries(state, port); });
    setPending("10.77.20.60");
    timeSilent(stat, [&] { return protocol::SetDeviceStaticAddress(state, port); });
    timeSilent(dhcp, [&] { return protocol::EnableDeviceDhcp(state, port); });
  }

  std::printf("round trip of a bare login query: median %.3f ms (min %.3f, %zu samples)\n",
              rtt * 1e3, *std::min_element(rtts.begin(), rtts.end()) * 1e3, rtts.size());
  std::printf("floor = one %d ms poll + round trip = %.3f ms; the login check and the queries also flush %d polls first\n\n",
              protocol::kExchangePollWaitMs, floor * 1e3, protocol::kFlushPolls);
  std::printf("%-23s %5s %9s %9s %9s %9s %9s %10s %9s\n", "exchange", "runs", "min ms",
              "median ms", "max ms", "/floor", "failed", "silent s", "bound s");
  bool sound = true;
  for (Row* row : {&login, &shares, &targets, &stat, &dhcp}) {
    const auto& a = row->answered;
    double median = Median(a);
    std::printf("%-23s %5zu %9.2f %9.2f %9.2f %9.2f %9d ", row->name.c_str(), a.size(),
                a.empty() ? 0 : *std::min_element(a.begin(), a.end()) * 1e3, median * 1e3,
                a.empty() ? 0 : *std::max_element(a.begin(), a.end()) * 1e3, median / floor,
                row->failures);
    if (row->silent >= 0) {
      std::printf("%10.3f %9.3f%s\n", row->silent, row->bound, row->silentFalse ? "" : "  (not false!)");
    } else {
      std::printf("%10s %9.3f\n", "-", row->bound);
    }
    sound &= row->failures == 0 && row->silentFalse;
  }
  return sound ? 0 : 1;
}

}  // namespace
}  // namespace sw::nettest

int main(int argc, char** argv) { return sw::nettest::Main(argc, argv); }
