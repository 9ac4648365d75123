#pragma once
// A device socket port for dialog tests: no network at all. Devices it knows answer every DISCOVER
// it is given with an announcement addressed to the sender's ClientId; it counts what the program
// opens and closes.

#include <cstring>
#include <deque>
#include <string>
#include <vector>

#include "protocol/datagram.h"
#include "protocol/device_socket.h"
#include "ui/headless.h"

namespace sw::test {

struct FakeDevice {
  std::string name;
  std::string ip;
  std::string netmask = "255.255.255.0";
  std::string gateway = "10.77.0.254";
  bool dhcp = false;
  bool iscsi = false;
};

class FakeDevicePort : public protocol::DeviceSocketPort {
 public:
  std::vector<FakeDevice> devices;
  bool resolves = true;
  std::string hostAddress = "10.77.0.1";
  int discovers = 0, opened = 0, closed = 0, startups = 0, cleanups = 0;

  bool Startup() override {
    ++startups;
    return true;
  }
  void Cleanup() override { ++cleanups; }
  bool FirstHostAddress(char (&out)[protocol::kIpTextSize]) override {
    out[0] = 0;
    if (!resolves) return false;
    std::strncpy(out, hostAddress.c_str(), sizeof out - 1);
    return true;
  }
  protocol::SocketHandle OpenSendSocket() override { return 10 + opened++; }
  protocol::ReceiveSocketSetup OpenReceiveSocket(const char*, const char*, std::uint16_t) override {
    return {20 + opened++, true};
  }
  bool SetMulticastInterface(protocol::SocketHandle, const char*) override { return true; }
  bool SendTo(protocol::SocketHandle, const std::uint8_t* data, std::size_t length, const char*,
              std::uint16_t) override {
    if (length == protocol::kDiscoverLength && data[0] == protocol::DISCOVER) {
      ++discovers;
      for (const FakeDevice& d : devices) pending_.push_back(Announce(d, data + 1));
    }
    return true;
  }
  int WaitReadable(protocol::SocketHandle, int timeoutMs) override {
    if (!pending_.empty()) return 1;
    ui::SleepMs(static_cast<unsigned>(timeoutMs));
    return 0;
  }
  int Receive(protocol::SocketHandle, std::uint8_t* buffer, std::size_t capacity) override {
    if (pending_.empty()) return -1;
    std::vector<std::uint8_t> d = pending_.front();
    pending_.pop_front();
    if (d.size() > capacity) return -1;
    std::memcpy(buffer, d.data(), d.size());
    return static_cast<int>(d.size());
  }
  void Close(protocol::SocketHandle) override { ++closed; }
  void Pause(int ms) override { ui::SleepMs(static_cast<unsigned>(ms)); }

 private:
  static std::vector<std::uint8_t> Announce(const FakeDevice& d, const std::uint8_t* clientId) {
    const bool ext = d.iscsi;
    std::vector<std::uint8_t> b((ext ? 72 : 60) + d.name.size(), 0);
    b[0] = ext ? protocol::DISCOVER_REPLY_EXT : protocol::DISCOVER_REPLY;
    std::memcpy(&b[1], clientId, protocol::kClientIdSize);
    std::uint8_t ip[4] = {};
    protocol::ParseIpv4(d.ip.c_str(), ip);
    std::memcpy(&b[17], ip, 4);
    b[21] = d.dhcp ? '1' : '0';
    std::memcpy(&b[24], d.netmask.data(), d.netmask.size());
    std::memcpy(&b[40], d.gateway.data(), d.gateway.size());
    if (ext) {
      b[56] = 3;
      b[57] = 3;
      std::memcpy(&b[59], "iscsi", 6);
    }
    const std::size_t lengthAt = ext ? 68 : 56;
    for (int i = 0; i < 4; ++i) b[lengthAt + static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(d.name.size() >> (8 * i));
    std::memcpy(&b[ext ? 72 : 60], d.name.data(), d.name.size());
    return b;
  }

  std::deque<std::vector<std::uint8_t>> pending_;
};

}  // namespace sw::test
