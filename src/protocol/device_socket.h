#pragma once
// Socket port of the device protocol: the few UDP calls discovery and the device exchanges make.
// Backends: device_socket_win32.cpp (Winsock 1.1), device_socket_posix.cpp (BSD sockets). Tests
// substitute their own DeviceSocketPort to feed datagrams without a network.
//
// No method throws. Failures come back as the values documented per method.

#include <chrono>
#include <cstddef>
#include <cstdint>

#include "protocol/datagram.h"

namespace sw::protocol {

// A socket as the platform numbers it (SOCKET on Windows, a descriptor elsewhere).
using SocketHandle = std::intptr_t;
constexpr SocketHandle kNoSocket = -1;

// Result of opening the receive socket. `socket` is kNoSocket when no socket could be made; a
// socket whose bind or group membership failed is still returned (it will simply hear nothing),
// with `complete` false so a diagnostic front end can say so.
struct ReceiveSocketSetup {
  SocketHandle socket = kNoSocket;
  bool complete = false;
};

class DeviceSocketPort {
 public:
  virtual ~DeviceSocketPort() = default;

  // Starts the socket library (Winsock 1.1); false when it cannot be started.
  virtual bool Startup() = 0;
  virtual void Cleanup() = 0;

  // Dotted text of the first IPv4 address the host's own name resolves to; false when the name
  // does not resolve to any IPv4 address (out is then empty).
  virtual bool FirstHostAddress(char (&out)[kIpTextSize]) = 0;

  // Unbound UDP socket for sendto, with multicast loop-back off; kNoSocket on failure.
  virtual SocketHandle OpenSendSocket() = 0;
  // UDP socket that hears both what is sent to `groupIp` and to this host, on `port`: address
  // reuse on, bound to the wildcard address, member of the group on `interfaceIp`, loop-back off.
  virtual ReceiveSocketSetup OpenReceiveSocket(const char* interfaceIp, const char* groupIp,
                                               std::uint16_t port) = 0;
  // Outgoing interface for multicast sends.
  virtual bool SetMulticastInterface(SocketHandle socket, const char* interfaceIp) = 0;
  virtual bool SendTo(SocketHandle socket, const std::uint8_t* data, std::size_t length,
                      const char* ip, std::uint16_t port) = 0;
  // Waits until `socket` is readable or `timeoutMs` has passed: 1 readable, 0 not, -1 error.
  virtual int WaitReadable(SocketHandle socket, int timeoutMs) = 0;
  // Reads one datagram into buffer[0, capacity): its length, or -1 on error. A datagram longer
  // than `capacity` is an error (and is consumed), on every platform.
  virtual int Receive(SocketHandle socket, std::uint8_t* buffer, std::size_t capacity) = 0;
  virtual void Close(SocketHandle socket) = 0;

  // Blocks the calling thread for `ms` milliseconds.
  virtual void Pause(int ms) = 0;

  // Milliseconds of a clock that never goes back, from an arbitrary origin. The exchanges cap
  // their waits with it; a scripted port overrides it to test the cap without real time.
  virtual std::int64_t MonotonicMs() {
    return std::chrono::duration_cast<std::chrono::milliseconds>(
               std::chrono::steady_clock::now().time_since_epoch())
        .count();
  }
};

// The platform's sockets; one instance for the process.
DeviceSocketPort& SystemDeviceSocketPort();

}  // namespace sw::protocol
