// POSIX backend of the device socket port: BSD sockets; no protocol logic here.

#include <arpa/inet.h>
#include <errno.h>
#include <netdb.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <time.h>
#include <unistd.h>

#include <cstring>

#include "protocol/device_socket.h"

namespace sw::protocol {

namespace {

bool ToInAddr(const char* text, in_addr& out) { return inet_pton(AF_INET, text, &out) == 1; }

class PosixDeviceSocketPort final : public DeviceSocketPort {
 public:
  bool Startup() override { return true; }
  void Cleanup() override {}

  bool FirstHostAddress(char (&out)[kIpTextSize]) override {
    out[0] = 0;
    char hostName[128] = {};
    if (gethostname(hostName, sizeof hostName - 1) != 0) return false;
    const hostent* host = gethostbyname(hostName);
    if (host == nullptr || host->h_addrtype != AF_INET || host->h_length != 4 ||
        host->h_addr_list == nullptr || host->h_addr_list[0] == nullptr) {
      return false;
    }
    in_addr first;
    std::memcpy(&first, host->h_addr_list[0], sizeof first);
    return inet_ntop(AF_INET, &first, out, sizeof out) != nullptr;
  }

  SocketHandle OpenSendSocket() override {
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return kNoSocket;
    const unsigned char loop = 0;
    setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    return s;
  }

  ReceiveSocketSetup OpenReceiveSocket(const char* interfaceIp, const char* groupIp,
                                       std::uint16_t port) override {
    ReceiveSocketSetup setup;
    const int s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s < 0) return setup;
    setup.socket = s;
    bool complete = true;
    const int on = 1;
    complete &= setsockopt(s, SOL_SOCKET, SO_REUSEADDR, &on, sizeof on) == 0;
    // A socket bound to a unicast address hears no group datagrams on Linux: bind the wildcard
    // address and take the group through the membership on our interface.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    complete &= bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    ip_mreq membership{};
    complete &= ToInAddr(groupIp, membership.imr_multiaddr);
    complete &= ToInAddr(interfaceIp, membership.imr_interface);
    complete &= setsockopt(s, IPPROTO_IP, IP_ADD_MEMBERSHIP, &membership, sizeof membership) == 0;
    const unsigned char loop = 0;
    setsockopt(s, IPPROTO_IP, IP_MULTICAST_LOOP, &loop, sizeof loop);
    setup.complete = complete;
    return setup;
  }

  bool SetMulticastInterface(SocketHandle socket, const char* interfaceIp) override {
    in_addr address;
    if (!ToInAddr(interfaceIp, address)) return false;
    return setsockopt(static_cast<int>(socket), IPPROTO_IP, IP_MULTICAST_IF, &address,
                      sizeof address) == 0;
  }

  bool SendTo(SocketHandle socket, const std::uint8_t* data, std::size_t length, const char* ip,
              std::uint16_t port) override {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (!ToInAddr(ip, to.sin_addr)) return false;
    const ssize_t sent = sendto(static_cast<int>(socket), data, length, 0,
                                reinterpret_cast<const sockaddr*>(&to), sizeof to);
    return sent == static_cast<ssize_t>(length);
  }

  int WaitReadable(SocketHandle socket, int timeoutMs) override {
    if (socket == kNoSocket) return -1;
    pollfd p{};
    p.fd = static_cast<int>(socket);
    p.events = POLLIN;
    const int r = ::poll(&p, 1, timeoutMs);
    if (r < 0) return -1;
    if (r == 0) return 0;
    return (p.revents & POLLIN) != 0 ? 1 : -1;
  }

  int Receive(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity) override {
    // MSG_TRUNC makes the kernel report the datagram's real length, so an oversize datagram is an
    // error here as it is under Winsock, rather than a silently cut one.
    const ssize_t n = recv(static_cast<int>(socket), buffer, capacity, MSG_TRUNC);
    if (n < 0 || static_cast<std::size_t>(n) > capacity) return -1;
    return static_cast<int>(n);
  }

  void Close(SocketHandle socket) override {
    if (socket != kNoSocket) close(static_cast<int>(socket));
  }

  void Pause(int ms) override {
    timespec t{ms / 1000, static_cast<long>(ms % 1000) * 1000000L};
    while (nanosleep(&t, &t) != 0 && errno == EINTR) {
    }
  }

  std::int64_t MonotonicMs() override {
    timespec t{};
    clock_gettime(CLOCK_MONOTONIC, &t);
    return static_cast<std::int64_t>(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
  }
};

}  // namespace

DeviceSocketPort& SystemDeviceSocketPort() {
  static PosixDeviceSocketPort port;
  return port;
}

}  // namespace sw::protocol
