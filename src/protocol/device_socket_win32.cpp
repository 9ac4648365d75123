// Win32 backend of the device socket port: Winsock 1.1; no protocol logic here.

#include <winsock.h>

#include <cstring>

#include "base/system_library.h"
#include "protocol/device_socket.h"

namespace sw::protocol {

namespace {

// Winsock 1.1 numbering of the options we set. Winsock 2 numbers them differently (9, 11, 12),
// so these values must reach the 1.1 implementation in wsock32.dll.
constexpr int kLevelIp = 0;
constexpr int kIpMulticastIf = 2;
constexpr int kIpMulticastLoop = 4;
constexpr int kIpAddMembership = 5;
constexpr int kLevelSocket = 0xffff;
constexpr int kSoReuseAddr = 4;

using SetSockOptFn = int(WINAPI*)(SOCKET, int, int, const char*, int);

bool ToInAddr(const char* text, in_addr& out) {
  const unsigned long a = inet_addr(text);
  // inet_addr cannot tell 255.255.255.255 from an error; no interface or group has that address.
  if (a == INADDR_NONE) return false;
  out.s_addr = a;
  return true;
}

SOCKET ToSocket(SocketHandle h) { return static_cast<SOCKET>(h); }

class Win32DeviceSocketPort final : public DeviceSocketPort {
 public:
  bool Startup() override {
    // The import libraries of ws2_32 and wsock32 both export setsockopt and the link order picks
    // one; take the 1.1 entry point by name so the option numbers above mean what they say.
    wsock32_ = static_cast<HMODULE>(base::LoadSystemLibrary("wsock32.dll"));
    if (wsock32_ != nullptr) {
      setSockOpt_ = reinterpret_cast<SetSockOptFn>(
          reinterpret_cast<void*>(GetProcAddress(wsock32_, "setsockopt")));
    }
    if (setSockOpt_ == nullptr) return false;
    return WSAStartup(MAKEWORD(1, 1), &startupData_) == 0;
  }

  void Cleanup() override {
    WSACleanup();
    setSockOpt_ = nullptr;
    if (wsock32_ != nullptr) FreeLibrary(wsock32_);
    wsock32_ = nullptr;
  }

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
    const char* text = inet_ntoa(first);
    if (text == nullptr || std::strlen(text) >= kIpTextSize) return false;
    std::memcpy(out, text, std::strlen(text) + 1);
    return true;
  }

  SocketHandle OpenSendSocket() override {
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) return kNoSocket;
    const char loop = 0;
    SetOption(s, kLevelIp, kIpMulticastLoop, &loop, 1);
    return static_cast<SocketHandle>(s);
  }

  ReceiveSocketSetup OpenReceiveSocket(const char* interfaceIp, const char* groupIp,
                                       std::uint16_t port) override {
    ReceiveSocketSetup setup;
    const SOCKET s = socket(AF_INET, SOCK_DGRAM, 0);
    if (s == INVALID_SOCKET) return setup;
    setup.socket = static_cast<SocketHandle>(s);
    bool complete = true;
    const char on = 1;
    complete &= SetOption(s, kLevelSocket, kSoReuseAddr, &on, 1) == 0;
    // The wildcard address takes both the group's datagrams and those sent to this host.
    sockaddr_in local{};
    local.sin_family = AF_INET;
    local.sin_port = htons(port);
    local.sin_addr.s_addr = htonl(INADDR_ANY);
    complete &= bind(s, reinterpret_cast<const sockaddr*>(&local), sizeof local) == 0;
    ip_mreq membership{};
    complete &= ToInAddr(groupIp, membership.imr_multiaddr);
    complete &= ToInAddr(interfaceIp, membership.imr_interface);
    complete &= SetOption(s, kLevelIp, kIpAddMembership,
                            reinterpret_cast<const char*>(&membership), sizeof membership) == 0;
    const char loop = 0;
    SetOption(s, kLevelIp, kIpMulticastLoop, &loop, 1);
    setup.complete = complete;
    return setup;
  }

  bool SetMulticastInterface(SocketHandle socket, const char* interfaceIp) override {
    in_addr address;
    if (!ToInAddr(interfaceIp, address)) return false;
    return SetOption(ToSocket(socket), kLevelIp, kIpMulticastIf,
                       reinterpret_cast<const char*>(&address), sizeof address) == 0;
  }

  bool SendTo(SocketHandle socket, const std::uint8_t* data, std::size_t length, const char* ip,
              std::uint16_t port) override {
    sockaddr_in to{};
    to.sin_family = AF_INET;
    to.sin_port = htons(port);
    if (!ToInAddr(ip, to.sin_addr)) return false;
    const int sent = sendto(ToSocket(socket), reinterpret_cast<const char*>(data),
                            static_cast<int>(length), 0, reinterpret_cast<const sockaddr*>(&to),
                            sizeof to);
    return sent == static_cast<int>(length);
  }

  int WaitReadable(SocketHandle socket, int timeoutMs) override {
    if (socket == kNoSocket) return -1;
    fd_set readable;
    FD_ZERO(&readable);
    FD_SET(ToSocket(socket), &readable);
    timeval wait{timeoutMs / 1000, (timeoutMs % 1000) * 1000};
    const int r = select(0, &readable, nullptr, nullptr, &wait);
    if (r == SOCKET_ERROR) return -1;
    return r > 0 ? 1 : 0;
  }

  int Receive(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity) override {
    // An oversize datagram fails with WSAEMSGSIZE and is gone: reported as an error.
    const int n = recvfrom(ToSocket(socket), reinterpret_cast<char*>(buffer),
                           static_cast<int>(capacity), 0, nullptr, nullptr);
    return n == SOCKET_ERROR ? -1 : n;
  }

  void Close(SocketHandle socket) override {
    if (socket != kNoSocket) closesocket(ToSocket(socket));
  }

  void Pause(int ms) override { Sleep(static_cast<DWORD>(ms)); }

  // The performance counter exists from Windows 2000 on and, unlike GetTickCount, does not wrap.
  std::int64_t MonotonicMs() override {
    LARGE_INTEGER frequency{};
    LARGE_INTEGER count{};
    if (!QueryPerformanceFrequency(&frequency) || frequency.QuadPart == 0 ||
        !QueryPerformanceCounter(&count)) {
      return static_cast<std::int64_t>(GetTickCount());
    }
    return static_cast<std::int64_t>(count.QuadPart / frequency.QuadPart * 1000 +
                                     count.QuadPart % frequency.QuadPart * 1000 / frequency.QuadPart);
  }

 private:
  int SetOption(SOCKET s, int level, int option, const char* value, int length) {
    return setSockOpt_ != nullptr ? setSockOpt_(s, level, option, value, length) : SOCKET_ERROR;
  }

  WSADATA startupData_{};
  HMODULE wsock32_ = nullptr;
  SetSockOptFn setSockOpt_ = nullptr;
};

}  // namespace

DeviceSocketPort& SystemDeviceSocketPort() {
  static Win32DeviceSocketPort port;
  return port;
}

}  // namespace sw::protocol
