// halden-sim: plays one or more storage devices from a fabric file (or the built-in demo fabric):
// answers discovery, the login check, share and target queries, static address and DHCP changes
// on UDP port 13579, and serves a small administration page over HTTP on each device address.
// Meant to run inside a private network namespace (scripts/netns-run); with --interface it owns
// that interface's device addresses and really moves a device when its address changes. Unless
// --no-servers, each device also gets its own iSCSI portal and SMB shares (device_servers.h).

#include <arpa/inet.h>
#include <fcntl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <netinet/in.h>
#include <poll.h>
#include <signal.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "device_peer.h"
#include "device_servers.h"
#include "fabric/fabric.h"
#include "http_page.h"
#include "private_files.h"
#include "sim_net.h"

namespace sw::sim {
namespace {

using Clock = std::chrono::steady_clock;

constexpr size_t kMaxHttpRequest = 8192;
constexpr size_t kMaxHttpConnections = 64;
// Delayed replies waiting to go out; a flood of requests to a slow device must not grow this
// without bound. Requests beyond it go unanswered, as a busy device's would.
constexpr size_t kMaxPendingReplies = 256;
constexpr auto kHttpTimeout = std::chrono::seconds(5);

int g_signalPipe[2] = {-1, -1};

void OnSignal(int) {
  char c = 1;
  ssize_t ignored = write(g_signalPipe[1], &c, 1);
  (void)ignored;
}

void Log(const std::string& line) { std::fprintf(stderr, "halden-sim: %s\n", line.c_str()); }

struct Options {
  std::string fabricPath;
  std::vector<std::string> names;
  std::vector<int> indexes;
  std::string interfaceName;
  std::string readyFile;
  bool list = false;
  bool printDefault = false;
  bool verbose = false;
  bool servers = true;
  std::string diskFolder;
};

const char kUsage[] =
    "usage: halden-sim [--fabric FILE] [--device NAME | --index N]... [--interface IF]\n"
    "                  [--ready-file PATH] [--[no-]servers] [--disk-folder DIR] [--verbose]\n"
    "       halden-sim [--fabric FILE] --list      print \"index address prefix\" per device\n"
    "       halden-sim --print-default-fabric\n"
    "Without --fabric the built-in demo fabric is played. Without --device/--index every device\n"
    "of the fabric is played. --interface IF puts the device addresses on IF and moves them\n"
    "there on address changes. Each device with a local address gets an iSCSI portal (tgtd) and\n"
    "SMB shares (smbd, nmbd) of its own, bound to its address only; --no-servers leaves them out.\n"
    "LUN backing files go to --disk-folder DIR (default $SEEKWELL_SIM_DISKS), where the simulated\n"
    "initiator finds them and where they stay between runs; DIR is created when missing and must\n"
    "belong to the user running halden-sim and be closed to writes by others. Without either, a\n"
    "new private folder in $TMPDIR (or /tmp) holds them for this run only.\n"
    "--verbose also prints each device's server start-up time and memory. Stops on SIGTERM,\n"
    "SIGINT or SIGHUP.\n";

bool ParseOptions(int argc, char** argv, Options* o) {
  for (int i = 1; i < argc; ++i) {
    std::string a = argv[i];
    auto next = [&](std::string* out) {
      if (i + 1 >= argc) return false;
      *out = argv[++i];
      return true;
    };
    std::string value;
    if (a == "--fabric") {
      if (!next(&o->fabricPath)) return false;
    } else if (a == "--device") {
      if (!next(&value)) return false;
      o->names.push_back(value);
    } else if (a == "--index") {
      if (!next(&value)) return false;
      char* end = nullptr;
      long n = std::strtol(value.c_str(), &end, 10);
      if (value.empty() || *end != '\0' || n < 0 || n > 100000) return false;
      o->indexes.push_back(static_cast<int>(n));
    } else if (a == "--interface") {
      if (!next(&o->interfaceName)) return false;
    } else if (a == "--ready-file") {
      if (!next(&o->readyFile)) return false;
    } else if (a == "--list") {
      o->list = true;
    } else if (a == "--print-default-fabric") {
      o->printDefault = true;
    } else if (a == "--no-servers" || a == "--servers") {
      o->servers = a == "--servers";
    } else if (a == "--disk-folder") {
      if (!next(&o->diskFolder)) return false;
    } else if (a == "--verbose" || a == "-v") {
      o->verbose = true;
    } else {
      return false;
    }
  }
  return true;
}

struct HttpConnection {
  int fd = -1;
  size_t device = 0;
  std::string request;
  std::string response;
  size_t sent = 0;
  Clock::time_point deadline;
};

struct PlayedDevice {
  DeviceState state;
  int sender = -1;
  int listener = -1;
  explicit PlayedDevice(const fabric::Device& d) : state(d) {}
};

struct PendingReply {
  Clock::time_point due;
  size_t device;
  Reply reply;
  std::string requester;
};

class Simulator {
 public:
  Simulator(const Options& options, std::vector<fabric::Device> devices) : options_(options) {
    for (const auto& d : devices) devices_.emplace_back(d);
  }

  bool Start() {
    if (!options_.interfaceName.empty()) {
      ifindex_ = net::InterfaceIndex(options_.interfaceName);
      if (ifindex_ == 0) {
        Log("no interface \"" + options_.interfaceName + "\"");
        return false;
      }
      // Deleting the first address of a subnet also deletes every other address of that subnet
      // unless secondaries are promoted; a device moving within its subnet would lose its new
      // address together with the old one.
      std::ofstream promote("/proc/sys/net/ipv4/conf/" + options_.interfaceName +
                            "/promote_secondaries");
      promote << "1\n";
      promote.flush();
      if (!promote) Log("cannot promote secondary addresses on " + options_.interfaceName);
      for (auto& d : devices_) {
        if (!AddAddress(d.state.address, d.state.netmask)) return false;
      }
    }
    std::string error;
    receiver_ = net::OpenGroupReceiver(ifindex_, &error);
    if (receiver_ < 0) {
      Log(error);
      return false;
    }
    for (size_t i = 0; i < devices_.size(); ++i) {
      if (!OpenDeviceSockets(i)) return false;
    }
    return !options_.servers || StartServers();
  }

  int Run() {
    while (true) {
      std::vector<pollfd> fds;
      fds.push_back({g_signalPipe[0], POLLIN, 0});
      fds.push_back({receiver_, POLLIN, 0});
      size_t listenersFrom = fds.size();
      // While every connection slot is taken a listener stays out of the poll: its pending
      // connections would make poll return at once, for ever.
      const bool accepting = connections_.size() < kMaxHttpConnections;
      for (auto& d : devices_) {
        fds.push_back({accepting ? d.listener : -1, static_cast<short>(d.listener >= 0 ? POLLIN : 0), 0});
      }
      size_t connectionsFrom = fds.size();
      for (auto& c : connections_) {
        fds.push_back({c.fd, static_cast<short>(c.response.empty() ? POLLIN : POLLOUT), 0});
      }
      if (poll(fds.data(), fds.size(), NextTimeoutMs()) < 0 && errno != EINTR) {
        Log(std::string("poll: ") + std::strerror(errno));
        return 1;
      }
      if (fds[0].revents & POLLIN) {
        Log("stopping");
        return 0;
      }
      if (fds[1].revents & POLLIN) ReceiveDatagrams();
      for (size_t i = 0; i < devices_.size(); ++i) {
        if (fds[listenersFrom + i].revents & POLLIN) AcceptConnections(i);
      }
      // Connections accepted just now were not polled: only the first `polled` have an entry in fds.
      const size_t polled = fds.size() - connectionsFrom;
      for (size_t i = 0; i < polled; ++i) {
        if (fds[connectionsFrom + i].revents) ServeConnection(&connections_[i]);
      }
      ExpireConnections();
      SendDueReplies();
    }
  }

  void Shutdown() {
    for (auto& s : servers_) s->Stop();
    servers_.clear();
    StopOwnChildren();
    std::error_code ec;
    if (!stateRoot_.empty()) {
      std::filesystem::remove_all(stateRoot_, ec);
      stateRoot_.clear();
    }
    // A disk folder made for this run only: nobody can find it again.
    if (!ownDiskFolder_.empty()) {
      std::filesystem::remove_all(ownDiskFolder_, ec);
      ownDiskFolder_.clear();
    }
    for (auto& c : connections_) close(c.fd);
    connections_.clear();
    for (auto& d : devices_) {
      if (d.sender >= 0) close(d.sender);
      if (d.listener >= 0) close(d.listener);
    }
    if (receiver_ >= 0) close(receiver_);
    if (ifindex_ != 0) {
      for (auto& d : devices_) RemoveAddress(d.state.address, d.state.netmask);
    }
  }

 private:
  bool StartServers() {
    const char* tmp = std::getenv("TMPDIR");
    const std::string temp = tmp && *tmp ? tmp : "/tmp";
    std::string error;
    // Configuration, accounts and logs of every device: ours alone (mode 0700).
    stateRoot_ = MakePrivateFolder(temp, "halden-sim", &error);
    if (stateRoot_.empty()) {
      Log(error);
      return false;
    }
    // Samba's helpers outlive the smbd that forked them; as their reaper we stop and reap them.
    prctl(PR_SET_CHILD_SUBREAPER, 1);
    std::string disks = options_.diskFolder;
    if (disks.empty() && std::getenv("SEEKWELL_SIM_DISKS")) disks = std::getenv("SEEKWELL_SIM_DISKS");
    if (disks.empty()) {
      disks = ownDiskFolder_ = MakePrivateFolder(temp, "halden-sim-disks", &error);
      if (disks.empty()) {
        Log(error);
        return false;
      }
      Log("LUN files in " + disks + " for this run (--disk-folder keeps them)");
    } else {
      // Root writes and sizes files here: a folder someone else could change is refused.
      std::string resolved;
      if (!UsePrivateFolder(disks, &resolved, &error)) {
        Log("refusing the disk folder: " + error);
        return false;
      }
      disks = resolved;
    }
    for (size_t i = 0; i < devices_.size(); ++i) {
      DeviceServers::Settings settings;
      settings.stateDir = stateRoot_ + "/d" + std::to_string(i);
      settings.diskFolder = disks;
      settings.verbose = options_.verbose;
      servers_.push_back(std::make_unique<DeviceServers>(devices_[i].state.config, settings));
      const DeviceState& s = devices_[i].state;
      if (!servers_.back()->Start(s.address, fabric::NetmaskPrefixLength(s.netmask))) return false;
    }
    // Ready means answering: the ready file is written only once every server does, or after
    // the limit (a slow server is logged, the devices are played all the same).
    auto until = Clock::now() + std::chrono::seconds(20);
    std::vector<bool> ready(servers_.size(), false);
    while (true) {
      bool all = true;
      for (size_t i = 0; i < servers_.size(); ++i) {
        if (!ready[i]) ready[i] = servers_[i]->PollReady();
        all = all && ready[i];
      }
      if (all) break;
      if (Clock::now() >= until) {
        Log("some device servers were not ready within 20 s");
        break;
      }
      pollfd stop{g_signalPipe[0], POLLIN, 0};
      if (poll(&stop, 1, 50) == 1) {
        Log("stopping during start-up");
        return false;
      }
    }
    if (options_.verbose) {
      for (size_t i = 0; i < servers_.size(); ++i) {
        Log(devices_[i].state.config.name + ": " + servers_[i]->Report());
      }
    }
    return true;
  }

  bool OpenDeviceSockets(size_t i) {
    PlayedDevice& d = devices_[i];
    if (d.sender >= 0) close(d.sender);
    if (d.listener >= 0) close(d.listener);
    d.listener = -1;
    std::string warning;
    d.sender = net::OpenSender(d.state.address, ifindex_, &warning);
    if (d.sender < 0) {
      Log(d.state.config.name + ": " + warning);
      return false;
    }
    if (!warning.empty()) Log(d.state.config.name + ": " + warning);
    if (d.state.config.http) {
      std::string error;
      d.listener = net::OpenTcpListener(d.state.address, d.state.config.httpPort, &error);
      // Without its address on this host the page cannot be served; the UDP side still works.
      if (d.listener < 0) Log(d.state.config.name + ": no web page: " + error);
    }
    return true;
  }

  // Interface addresses are shared when two played devices claim the same one.
  bool AddAddress(const std::string& address, const std::string& netmask) {
    if (addressUsers_[address]++ > 0) return true;
    std::string cidr = address + "/" + std::to_string(fabric::NetmaskPrefixLength(netmask));
    if (!net::RunProgram({"ip", "address", "replace", cidr, "dev", options_.interfaceName})) {
      Log("cannot put " + cidr + " on " + options_.interfaceName);
      return false;
    }
    return true;
  }

  void RemoveAddress(const std::string& address, const std::string& netmask) {
    auto it = addressUsers_.find(address);
    if (it == addressUsers_.end() || --it->second > 0) return;
    addressUsers_.erase(it);
    std::string cidr = address + "/" + std::to_string(fabric::NetmaskPrefixLength(netmask));
    net::RunProgram({"ip", "address", "del", cidr, "dev", options_.interfaceName});
  }

  int NextTimeoutMs() const {
    auto now = Clock::now();
    auto next = now + std::chrono::seconds(1);
    for (const auto& p : pending_) next = std::min(next, p.due);
    for (const auto& c : connections_) next = std::min(next, c.deadline);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(next - now).count();
    return static_cast<int>(std::max<long long>(0, ms + 1));
  }

  void ReceiveDatagrams() {
    // Drain what is queued: a burst of requests must not wait one poll per datagram.
    for (int n = 0; n < 256; ++n) {
      uint8_t buffer[4097];
      sockaddr_in from;
      socklen_t fromSize = sizeof(from);
      ssize_t got = recvfrom(receiver_, buffer, sizeof(buffer) - 1, MSG_DONTWAIT,
                             reinterpret_cast<sockaddr*>(&from), &fromSize);
      if (got < 0) return;
      std::string requester = net::PeerAddress(&from);
      for (size_t i = 0; i < devices_.size(); ++i) {
        Reply reply;
        if (!AnswerDatagram(devices_[i].state, buffer, static_cast<size_t>(got), &reply)) continue;
        if (options_.verbose) {
          Log(devices_[i].state.config.name + ": " + fabric::ExchangeName(reply.exchange) +
              " from " + requester);
        }
        if (reply.delayMs > 0) {
          if (pending_.size() >= kMaxPendingReplies) continue;
          pending_.push_back({Clock::now() + std::chrono::milliseconds(reply.delayMs), i,
                              std::move(reply), requester});
        } else {
          SendReply(i, reply, requester);
        }
      }
    }
  }

  void SendDueReplies() {
    auto now = Clock::now();
    // Replies due together go out in the order they were scheduled.
    std::vector<PendingReply> due;
    std::vector<PendingReply> later;
    for (auto& p : pending_) (p.due <= now ? due : later).push_back(std::move(p));
    pending_ = std::move(later);
    for (auto& p : due) SendReply(p.device, p.reply, p.requester);
  }

  void SendReply(size_t i, const Reply& reply, const std::string& requester) {
    PlayedDevice& d = devices_[i];
    std::string oldAddress = d.state.address;
    std::string oldNetmask = d.state.netmask;
    if (reply.changesAddress) {
      // Take the new address first, so the confirmation leaves from where the device now is.
      if (ifindex_ != 0) AddAddress(reply.newAddress, reply.newNetmask);
      ApplyAddressChange(&d.state, reply);
      if (d.state.address != oldAddress) OpenDeviceSockets(i);
      Log(d.state.config.name + ": now " + d.state.address + " " + d.state.netmask +
          (d.state.dhcp ? " (DHCP)" : " (static)"));
    }
    std::string to = reply.toGroup ? kGroupAddress : requester;
    if (!net::SendTo(d.sender, reply.bytes.data(), reply.bytes.size(), to, kDevicePort)) {
      Log(d.state.config.name + ": send to " + to + " failed: " + std::strerror(errno));
    }
    if (reply.changesAddress && i < servers_.size()) {
      servers_[i]->MoveTo(d.state.address, fabric::NetmaskPrefixLength(d.state.netmask));
    }
    if (reply.changesAddress && ifindex_ != 0) RemoveAddress(oldAddress, oldNetmask);
  }

  void AcceptConnections(size_t device) {
    while (connections_.size() < kMaxHttpConnections) {
      int fd = accept4(devices_[device].listener, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
      if (fd < 0) return;
      HttpConnection c;
      c.fd = fd;
      c.device = device;
      c.deadline = Clock::now() + kHttpTimeout;
      connections_.push_back(std::move(c));
    }
  }

  void ServeConnection(HttpConnection* c) {
    if (c->response.empty()) {
      char buffer[2048];
      ssize_t n = recv(c->fd, buffer, sizeof(buffer), 0);
      if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EWOULDBLOCK)) c->deadline = Clock::time_point();
        return;
      }
      c->request.append(buffer, static_cast<size_t>(n));
      if (c->request.find("\r\n\r\n") != std::string::npos) {
        c->response = HttpResponse(c->request, devices_[c->device].state);
      } else if (c->request.size() > kMaxHttpRequest) {
        c->response = "HTTP/1.0 431 Request Header Fields Too Large\r\nConnection: close\r\n\r\n";
      }
      return;
    }
    ssize_t n = send(c->fd, c->response.data() + c->sent, c->response.size() - c->sent, MSG_NOSIGNAL);
    if (n > 0) c->sent += static_cast<size_t>(n);
    if (n < 0 && errno != EAGAIN && errno != EWOULDBLOCK) c->deadline = Clock::time_point();
    if (c->sent == c->response.size()) c->deadline = Clock::time_point();
  }

  void ExpireConnections() {
    auto now = Clock::now();
    auto done = [&](const HttpConnection& c) {
      if (c.deadline > now) return false;
      close(c.fd);
      return true;
    };
    connections_.erase(std::remove_if(connections_.begin(), connections_.end(), done),
                       connections_.end());
  }

  Options options_;
  std::vector<PlayedDevice> devices_;
  std::vector<PendingReply> pending_;
  std::vector<HttpConnection> connections_;
  std::map<std::string, int> addressUsers_;
  std::vector<std::unique_ptr<DeviceServers>> servers_;  // parallel to devices_
  std::string stateRoot_;
  std::string ownDiskFolder_;  // made by this run (no folder was given)
  unsigned ifindex_ = 0;
  int receiver_ = -1;
};

bool ReadFile(const std::string& path, std::string* out) {
  std::ifstream in(path, std::ios::binary);
  if (!in) return false;
  std::ostringstream s;
  s << in.rdbuf();
  *out = s.str();
  return true;
}

int Main(int argc, char** argv) {
  Options options;
  if (!ParseOptions(argc, argv, &options)) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  if (options.printDefault) {
    std::fputs(fabric::DefaultFabricJson(), stdout);
    return 0;
  }
  std::string text = fabric::DefaultFabricJson();
  if (!options.fabricPath.empty() && !ReadFile(options.fabricPath, &text)) {
    Log("cannot read " + options.fabricPath);
    return 2;
  }
  fabric::Fabric fab;
  std::string error;
  if (!fabric::LoadFabric(text, &fab, &error)) {
    Log((options.fabricPath.empty() ? std::string("built-in fabric") : options.fabricPath) + ": " + error);
    return 2;
  }
  if (options.list) {
    for (size_t i = 0; i < fab.devices.size(); ++i) {
      const auto& d = fab.devices[i];
      std::printf("%zu %s %d\n", i, d.address.c_str(), fabric::NetmaskPrefixLength(d.netmask));
    }
    return 0;
  }
  std::vector<fabric::Device> played;
  for (const auto& name : options.names) {
    const fabric::Device* d = fab.FindByName(name);
    if (!d) {
      Log("no device named \"" + name + "\" in the fabric");
      return 2;
    }
    played.push_back(*d);
  }
  for (int index : options.indexes) {
    if (static_cast<size_t>(index) >= fab.devices.size()) {
      Log("no device " + std::to_string(index) + " in the fabric");
      return 2;
    }
    played.push_back(fab.devices[static_cast<size_t>(index)]);
  }
  if (options.names.empty() && options.indexes.empty()) played = fab.devices;
  if (played.empty()) {
    Log("the fabric holds no device");
    return 2;
  }

  if (pipe2(g_signalPipe, O_CLOEXEC | O_NONBLOCK) != 0) return 1;
  struct sigaction sa;
  std::memset(&sa, 0, sizeof(sa));
  sa.sa_handler = OnSignal;
  sigaction(SIGTERM, &sa, nullptr);
  sigaction(SIGINT, &sa, nullptr);
  sigaction(SIGHUP, &sa, nullptr);
  signal(SIGPIPE, SIG_IGN);

  Simulator sim(options, played);
  if (!sim.Start()) {
    sim.Shutdown();
    return 1;
  }
  std::string names;
  for (const auto& d : played) names += " " + d.name + "@" + d.address;
  Log("playing" + names);
  if (!options.readyFile.empty()) {
    std::ofstream ready(options.readyFile);
    ready << getpid() << "\n";
  }
  int rc = sim.Run();
  sim.Shutdown();
  return rc;
}

}  // namespace
}  // namespace sw::sim

int main(int argc, char** argv) { return sw::sim::Main(argc, argv); }
