// bench_discovery: runs inside netns-run with emulated devices already started. Measures
// discovery passes through the program's own engine (devices found, wall time, CPU time used by
// the pass) and the rate at which the emulated devices answer a flood of DISCOVER requests.
//
// usage: bench_discovery [--passes N] [--expect DEVICES] [--flood REQUESTS]

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

#include "net_fixture.h"
#include "protocol/datagram.h"

namespace sw::nettest {
namespace {

double CpuSeconds() {
  timespec t;
  clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &t);
  return static_cast<double>(t.tv_sec) + static_cast<double>(t.tv_nsec) / 1e9;
}

struct FloodResult {
  long sent = 0;
  long answers = 0;
  double seconds = 0;
};

// Sends `requests` DISCOVERs back to back and counts the announcements that answer them until
// the devices fall silent for 500 ms.
FloodResult Flood(long requests) {
  FloodResult result;
  protocol::ClientId id = protocol::MakeClientId(static_cast<uint64_t>(getpid()) ^ 0xB3);
  int send = socket(AF_INET, SOCK_DGRAM, 0);
  int receive = socket(AF_INET, SOCK_DGRAM, 0);
  in_addr local{};
  inet_pton(AF_INET, "10.77.0.1", &local);
  unsigned char off = 0;
  setsockopt(send, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof(off));
  setsockopt(send, IPPROTO_IP, IP_MULTICAST_IF, &local, sizeof(local));
  int on = 1;
  setsockopt(receive, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  int big = 16 << 20;
  setsockopt(receive, SOL_SOCKET, SO_RCVBUFFORCE, &big, sizeof(big));
  sockaddr_in any{};
  any.sin_family = AF_INET;
  any.sin_port = htons(protocol::kDevicePort);
  bind(receive, reinterpret_cast<sockaddr*>(&any), sizeof(any));
  ip_mreq m{};
  inet_pton(AF_INET, protocol::kGroupAddress, &m.imr_multiaddr);
  m.imr_interface = local;
  setsockopt(receive, IPPROTO_IP, IP_ADD_MEMBERSHIP, &m, sizeof(m));

  std::atomic<long> answers{0};
  std::atomic<bool> sending{true};
  auto start = std::chrono::steady_clock::now();
  auto lastAnswer = start;
  std::thread counter([&] {
    uint8_t buf[4096];
    while (true) {
      pollfd p{receive, POLLIN, 0};
      if (poll(&p, 1, 500) <= 0) {
        if (!sending) return;
        continue;
      }
      ssize_t n = recv(receive, buf, sizeof(buf), 0);
      protocol::ReceivedDatagram d{buf, n > 0 ? static_cast<size_t>(n) : 0};
      if (n > 0 && (buf[0] == 2 || buf[0] == 7) && protocol::IsForClient(d, id)) {
        ++answers;
        lastAnswer = std::chrono::steady_clock::now();
      }
    }
  });
  uint8_t request[protocol::kRequestBufferSize];
  size_t length = protocol::BuildDiscover(id, request);
  sockaddr_in to{};
  to.sin_family = AF_INET;
  to.sin_port = htons(protocol::kDevicePort);
  inet_pton(AF_INET, protocol::kGroupAddress, &to.sin_addr);
  for (long i = 0; i < requests; ++i) {
    if (sendto(send, request, length, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to)) > 0) {
      ++result.sent;
    }
    // Keep the flood just above what the devices can take instead of overrunning their buffers.
    if (i % 64 == 63) usleep(1000);
  }
  sending = false;
  counter.join();
  result.answers = answers;
  result.seconds = std::chrono::duration<double>(lastAnswer - start).count();
  close(send);
  close(receive);
  return result;
}

int Main(int argc, char** argv) {
  int passes = 5;
  long expect = -1;
  long flood = 20000;
  for (int i = 1; i + 1 < argc; i += 2) {
    std::string k = argv[i];
    if (k == "--passes") passes = std::atoi(argv[i + 1]);
    else if (k == "--expect") expect = std::atol(argv[i + 1]);
    else if (k == "--flood") flood = std::atol(argv[i + 1]);
  }
  std::string why;
  if (!InTestNamespace(&why)) {
    std::fprintf(stderr, "bench_discovery: %s\n", why.c_str());
    return 2;
  }
  Instance program;
  if (!program.HasInterface()) {
    std::fprintf(stderr, "bench_discovery: the host name does not resolve\n");
    return 2;
  }
  std::vector<double> walls;
  std::vector<double> cpus;
  std::vector<size_t> found;
  bool allFound = true;
  for (int p = 0; p < passes; ++p) {
    double cpu0 = CpuSeconds();
    PassResult r = program.Discover();
    double cpu = CpuSeconds() - cpu0;
    walls.push_back(r.seconds);
    cpus.push_back(cpu);
    found.push_back(r.devices.size());
    if (expect >= 0 && static_cast<long>(r.devices.size()) != expect) allFound = false;
    std::printf("pass %d: %zu devices, wall %.3f s, cpu %.4f s (%.2f%%), datagrams read %d\n", p + 1,
                r.devices.size(), r.seconds, cpu, 100.0 * cpu / r.seconds, r.report.datagramsRead);
  }
  std::sort(walls.begin(), walls.end());
  std::sort(cpus.begin(), cpus.end());
  std::printf("summary: devices found per pass min %zu max %zu; wall median %.3f s; cpu median %.4f s\n",
              *std::min_element(found.begin(), found.end()),
              *std::max_element(found.begin(), found.end()), walls[walls.size() / 2],
              cpus[cpus.size() / 2]);
  if (flood > 0) {
    FloodResult f = Flood(flood);
    long expected = f.sent * static_cast<long>(found.empty() ? 0 : found.back());
    std::printf("flood: %ld DISCOVERs sent, %ld of %ld announcements back in %.3f s: %.0f announcements/s\n",
                f.sent, f.answers, expected, f.seconds, f.seconds > 0 ? f.answers / f.seconds : 0.0);
  }
  return allFound ? 0 : 1;
}

}  // namespace
}  // namespace sw::nettest

int main(int argc, char** argv) { return sw::nettest::Main(argc, argv); }
