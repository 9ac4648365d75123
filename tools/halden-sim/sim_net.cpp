#include "sim_net.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <net/if.h>
#include <netinet/in.h>
#include <spawn.h>
#include <sys/socket.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "device_peer.h"

extern char** environ;

namespace sw::sim::net {

namespace {

std::string Errno(const char* what) { return std::string(what) + ": " + std::strerror(errno); }

bool MakeAddress(const std::string& ip, uint16_t port, sockaddr_in* out) {
  std::memset(out, 0, sizeof(*out));
  out->sin_family = AF_INET;
  out->sin_port = htons(port);
  return inet_pton(AF_INET, ip.c_str(), &out->sin_addr) == 1;
}

}  // namespace

int OpenGroupReceiver(unsigned ifindex, std::string* error) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *error = Errno("socket");
    return -1;
  }
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in any;
  MakeAddress("0.0.0.0", kDevicePort, &any);
  if (bind(fd, reinterpret_cast<sockaddr*>(&any), sizeof(any)) != 0) {
    *error = Errno("bind 0.0.0.0:13579");
    close(fd);
    return -1;
  }
  ip_mreqn mreq;
  std::memset(&mreq, 0, sizeof(mreq));
  inet_pton(AF_INET, kGroupAddress, &mreq.imr_multiaddr);
  mreq.imr_ifindex = static_cast<int>(ifindex);
  if (setsockopt(fd, IPPROTO_IP, IP_ADD_MEMBERSHIP, &mreq, sizeof(mreq)) != 0) {
    *error = Errno("join 224.0.0.1");
    close(fd);
    return -1;
  }
  // Datagram bursts from many clients must not be lost to a small default buffer.
  int bufferSize = 1 << 20;
  setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &bufferSize, sizeof(bufferSize));
  return fd;
}

int OpenSender(const std::string& address, unsigned ifindex, std::string* warning) {
  int fd = socket(AF_INET, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) {
    *warning = Errno("socket");
    return -1;
  }
  sockaddr_in local;
  if (MakeAddress(address, 0, &local) &&
      bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0) {
    *warning = Errno(("bind " + address).c_str()) + " (replies leave from another address)";
  }
  ip_mreqn mreq;
  std::memset(&mreq, 0, sizeof(mreq));
  mreq.imr_ifindex = static_cast<int>(ifindex);
  if (ifindex != 0) setsockopt(fd, IPPROTO_IP, IP_MULTICAST_IF, &mreq, sizeof(mreq));
  unsigned char off = 0;
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_LOOP, &off, sizeof(off));
  unsigned char ttl = 1;
  setsockopt(fd, IPPROTO_IP, IP_MULTICAST_TTL, &ttl, sizeof(ttl));
  int bufferSize = 1 << 20;
  setsockopt(fd, SOL_SOCKET, SO_SNDBUF, &bufferSize, sizeof(bufferSize));
  return fd;
}

bool SendTo(int fd, const uint8_t* data, size_t size, const std::string& ip, uint16_t port) {
  sockaddr_in to;
  if (!MakeAddress(ip, port, &to)) return false;
  ssize_t n = sendto(fd, data, size, 0, reinterpret_cast<sockaddr*>(&to), sizeof(to));
  return n == static_cast<ssize_t>(size);
}

int OpenTcpListener(const std::string& address, int port, std::string* error) {
  int fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
  if (fd < 0) {
    *error = Errno("socket");
    return -1;
  }
  int on = 1;
  setsockopt(fd, SOL_SOCKET, SO_REUSEADDR, &on, sizeof(on));
  sockaddr_in local;
  if (!MakeAddress(address, static_cast<uint16_t>(port), &local) ||
      bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof(local)) != 0 || listen(fd, 16) != 0) {
    *error = Errno(("listen on " + address + ":" + std::to_string(port)).c_str());
    close(fd);
    return -1;
  }
  return fd;
}

bool RunProgram(const std::vector<std::string>& argv) {
  std::vector<char*> args;
  for (const auto& a : argv) args.push_back(const_cast<char*>(a.c_str()));
  args.push_back(nullptr);
  pid_t pid = 0;
  if (posix_spawnp(&pid, args[0], nullptr, nullptr, args.data(), environ) != 0) return false;
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return false;
  }
  return WIFEXITED(status) && WEXITSTATUS(status) == 0;
}

unsigned InterfaceIndex(const std::string& name) { return if_nametoindex(name.c_str()); }

std::string PeerAddress(const void* sockaddrIn) {
  const auto* a = static_cast<const sockaddr_in*>(sockaddrIn);
  char text[INET_ADDRSTRLEN] = {};
  inet_ntop(AF_INET, &a->sin_addr, text, sizeof(text));
  return text;
}

}  // namespace sw::sim::net
