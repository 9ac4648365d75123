// Shared pieces of the real-socket tests: the guard that keeps them inside the namespaces
// scripts/netns-run builds, peers started in the peer namespaces, and one discovery pass through
// the program's own engine.
#pragma once

#include <sys/types.h>

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "protocol/discovery.h"

namespace sw::nettest {

// True only when this process runs in the host namespace of a netns-run (its network namespace
// is the one named by SW_NETNS_HOST). Everything else would put datagrams on a real network.
bool InTestNamespace(std::string* why);

// The peer namespaces netns-run made (--peers N), in order.
std::vector<std::string> PeerNamespaces();

// Writes `text` to a fresh file in the run's scratch directory and returns its path.
std::string WriteScratchFile(const std::string& stem, const std::string& text);

// A program started in a peer namespace; it is stopped (SIGTERM, then SIGKILL) on destruction.
class Peer {
 public:
  Peer() = default;
  Peer(const Peer&) = delete;
  Peer& operator=(const Peer&) = delete;
  ~Peer() { Stop(); }

  // Starts `program args...` in namespace `ns` with --ready-file appended, and waits up to 5 s
  // for the file to appear. False (and the process reaped) when it exits or never gets ready.
  // halden-sim runs without its device servers (the quick tests judge the UDP and HTTP sides)
  // unless `args` hold "--servers"; it then gets 30 s to get them ready.
  bool Start(const std::string& ns, const std::string& program, std::vector<std::string> args);
  void Stop();
  // The program's process (ip netns exec replaces itself with it); -1 when not running.
  pid_t pid() const { return pid_; }

 private:
  pid_t pid_ = -1;
};

// The hostile peer and halden-sim binaries, as the build placed them.
std::string HostilePeerPath();
std::string HaldenSimPath();

// One device of the table, copied out so the test can compare freely.
struct FoundDevice {
  std::string name;
  std::string ip;
  std::string netmask;
  std::string gateway;
  std::string dhcpState;
  std::vector<uint8_t> deviceId;
  int interfaceIndex = -1;
  bool iscsi = false;
};

struct PassResult {
  std::vector<FoundDevice> devices;
  protocol::DiscoveryReport report;
  double seconds = 0;
};

// A program instance of its own: fresh state and ClientId, real sockets, one or more passes.
class Instance {
 public:
  Instance();
  ~Instance();
  Instance(const Instance&) = delete;
  Instance& operator=(const Instance&) = delete;

  bool HasInterface() const;
  const protocol::ProtocolState& state() const { return state_; }
  // The exchanges read their inputs from the state, so tests set them here.
  protocol::ProtocolState& state() { return state_; }
  // Puts a device into the table as its announcement would (interface 0, node id `nodeId`, the
  // address as the last four bytes of its deviceId) and selects it. Saves a discovery pass when
  // the test knows what the device would announce.
  bool KnowDevice(const std::string& name, const std::string& ip, const uint8_t (&nodeId)[6]);
  bool Select(const std::string& ip);
  PassResult Discover(uint8_t filterA = protocol::kDefaultFilterA,
                      uint8_t filterB = protocol::kDefaultFilterB);

 private:
  protocol::ProtocolState state_;
};

const FoundDevice* FindByIp(const PassResult& r, const std::string& ip);

// The datagrams a hostile-peer wrote with --capture, in order of arrival.
std::vector<std::vector<uint8_t>> ReadCapture(const std::string& path);

// Wall time of a call, in seconds.
template <typename F>
double Timed(F&& f) {
  auto start = std::chrono::steady_clock::now();
  f();
  return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

}  // namespace sw::nettest
