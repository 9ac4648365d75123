#include "net_fixture.h"

#include <signal.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

#include "protocol/device_socket.h"
#include "protocol/device_table.h"
#include "protocol/protocol_state.h"

extern char** environ;

namespace sw::nettest {

namespace {

std::string Env(const char* name) {
  const char* v = std::getenv(name);
  return v ? v : "";
}

bool SameFile(const std::string& a, const std::string& b) {
  struct stat sa;
  struct stat sb;
  return stat(a.c_str(), &sa) == 0 && stat(b.c_str(), &sb) == 0 && sa.st_dev == sb.st_dev &&
         sa.st_ino == sb.st_ino;
}

bool Reaped(pid_t pid, int waitMs) {
  for (int i = 0; i <= waitMs / 10; ++i) {
    int status = 0;
    pid_t r = waitpid(pid, &status, WNOHANG);
    if (r == pid || r < 0) return true;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

}  // namespace

bool InTestNamespace(std::string* why) {
  std::string host = Env("SW_NETNS_HOST");
  if (host.empty()) {
    *why = "SW_NETNS_HOST is not set: run these tests through scripts/netns-run";
    return false;
  }
  if (!SameFile("/proc/self/ns/net", "/run/netns/" + host)) {
    *why = "this process is not in namespace " + host;
    return false;
  }
  return true;
}

std::vector<std::string> PeerNamespaces() {
  std::vector<std::string> out;
  std::istringstream in(Env("SW_NETNS_PEERS"));
  std::string ns;
  while (in >> ns) out.push_back(ns);
  return out;
}

std::string WriteScratchFile(const std::string& stem, const std::string& text) {
  static std::atomic<int> counter{0};
  std::string dir = Env("SW_NETNS_RUN_DIR");
  if (dir.empty()) dir = "/tmp";
  std::string path = dir + "/" + stem + "." + std::to_string(getpid()) + "." +
                     std::to_string(counter++) + ".json";
  std::ofstream(path) << text;
  return path;
}

std::string HostilePeerPath() { return SW_HOSTILE_PEER_PATH; }
std::string HaldenSimPath() { return SW_HALDEN_SIM_PATH; }

bool Peer::Start(const std::string& ns, const std::string& program, std::vector<std::string> args) {
  Stop();
  std::string ready = WriteScratchFile("ready", "");
  unlink(ready.c_str());
  std::vector<std::string> argv = {"ip", "netns", "exec", ns, program};
  const bool servers = std::find(args.begin(), args.end(), "--servers") != args.end();
  if (program == HaldenSimPath() && !servers) args.push_back("--no-servers");
  argv.insert(argv.end(), args.begin(), args.end());
  argv.push_back("--ready-file");
  argv.push_back(ready);
  std::vector<char*> cargv;
  for (auto& a : argv) cargv.push_back(const_cast<char*>(a.c_str()));
  cargv.push_back(nullptr);
  if (posix_spawnp(&pid_, "ip", nullptr, nullptr, cargv.data(), environ) != 0) {
    pid_ = -1;
    return false;
  }
  // Device servers register their NetBIOS name before halden-sim reports ready.
  for (int i = 0; i < (servers ? 3000 : 500); ++i) {
    if (access(ready.c_str(), F_OK) == 0) return true;
    int status = 0;
    if (waitpid(pid_, &status, WNOHANG) == pid_) {
      pid_ = -1;
      return false;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  Stop();
  return false;
}

void Peer::Stop() {
  if (pid_ <= 0) return;
  kill(pid_, SIGTERM);
  if (!Reaped(pid_, 3000)) {
    kill(pid_, SIGKILL);
    Reaped(pid_, 3000);
  }
  pid_ = -1;
}

Instance::Instance() { protocol::InitDeviceSockets(state_, protocol::SystemDeviceSocketPort()); }

Instance::~Instance() {
  // As the program does at exit: the table and both name lists, then the sockets.
  protocol::FreeDeviceList(state_.deviceList);
  protocol::FreeNames(state_.shareNameList);
  protocol::FreeNames(state_.targetEntryList);
  protocol::CloseDeviceSockets(state_, protocol::SystemDeviceSocketPort());
}

bool Instance::HasInterface() const { return state_.localInterfaces.count == 1; }

bool Instance::KnowDevice(const std::string& name, const std::string& ip, const uint8_t (&nodeId)[6]) {
  uint8_t deviceId[protocol::kDeviceIdSize] = {};
  std::memcpy(deviceId, nodeId, 6);
  if (!protocol::ParseIpv4(ip.c_str(), deviceId + 6)) return false;
  if (!protocol::AddDevice(state_.deviceList, name.c_str(), ip.c_str(), "255.255.0.0", "10.77.0.1",
                           deviceId, "0", 0, false)) {
    return false;
  }
  return Select(ip);
}

bool Instance::Select(const std::string& ip) {
  return protocol::SetSelectedDeviceIp(state_, ip.c_str());
}

PassResult Instance::Discover(uint8_t filterA, uint8_t filterB) {
  PassResult r;
  auto start = std::chrono::steady_clock::now();
  r.report = protocol::DiscoverDevices(state_, protocol::SystemDeviceSocketPort(), filterA, filterB);
  r.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
  for (const protocol::DeviceRecord* d = state_.deviceList.head; d; d = d->next) {
    FoundDevice f;
    f.name = d->name;
    f.ip = d->ipAddress;
    f.netmask = d->netmask;
    f.gateway = d->gateway;
    f.dhcpState = d->dhcpState;
    f.deviceId.assign(d->deviceId, d->deviceId + protocol::kDeviceIdSize);
    f.interfaceIndex = d->interfaceIndex;
    f.iscsi = d->iscsiCapable != 0;
    r.devices.push_back(std::move(f));
  }
  return r;
}

std::vector<std::vector<uint8_t>> ReadCapture(const std::string& path) {
  std::vector<std::vector<uint8_t>> out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    std::istringstream fields(line);
    size_t length = 0;
    std::string hex;
    fields >> length >> hex;
    std::vector<uint8_t> bytes;
    for (size_t i = 0; i + 1 < hex.size(); i += 2) {
      bytes.push_back(static_cast<uint8_t>(std::stoul(hex.substr(i, 2), nullptr, 16)));
    }
    if (bytes.size() == length) out.push_back(std::move(bytes));
  }
  return out;
}

const FoundDevice* FindByIp(const PassResult& r, const std::string& ip) {
  for (const auto& d : r.devices) {
    if (d.ip == ip) return &d;
  }
  return nullptr;
}

}  // namespace sw::nettest
