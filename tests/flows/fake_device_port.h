#pragma once
// A device socket port for dialog tests: no network at all. Devices it knows answer every DISCOVER
// it is given with an announcement addressed to the sender's ClientId, and a share query with the
// list of their shares; it counts what the program opens and closes. Its clock is the headless
// clock, so the exchanges' time caps run on fake time.

#include <cstring>
#include <deque>
#include <string>
#include <utility>
#include <vector>

#include "protocol/datagram.h"
#include "protocol/device_socket.h"
#include "ui/headless.h"

namespace sw::test {

struct FakeDevice {
  FakeDevice(std::string name_, std::string ip_, std::string netmask_ = "255.255.255.0",
             std::string gateway_ = "10.77.0.254", bool dhcp_ = false, bool iscsi_ = false,
             std::vector<std::string> shares_ = {})
      : name(std::move(name_)), ip(std::move(ip_)), netmask(std::move(netmask_)), gateway(std::move(gateway_)),
        dhcp(dhcp_), iscsi(iscsi_), shares(std::move(shares_)) {}
  std::string name;
  std::string ip;
  std::string netmask;
  std::string gateway;
  bool dhcp;
  bool iscsi;
  std::vector<std::string> shares;
  bool answersQueries = true;  // false: the device has gone quiet (switched off)
};

class FakeDevicePort : public protocol::DeviceSocketPort {
 public:
  std::vector<FakeDevice> devices;
  bool resolves = true;
  std::string hostAddress = "10.77.0.1";
  int discovers = 0, opened = 0, closed = 0, startups = 0, cleanups = 0, shareQueries = 0;

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
    } else if (length >= protocol::kQueryHeadLength && data[0] == protocol::QUERY &&
               data[protocol::offset::kSubCommand] == protocol::SUB_QUERY_SHARES) {
      ++shareQueries;
      for (const FakeDevice& d : devices) {
        std::uint8_t ip[4] = {};
        protocol::ParseIpv4(d.ip.c_str(), ip);
        if (d.answersQueries && std::memcmp(ip, data + protocol::offset::kDeviceAddress, 4) == 0) {
          pending_.push_back(ShareReply(d, data));
        }
      }
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
  std::int64_t MonotonicMs() override { return ui::TickCount(); }

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

  // QUERY_REPLY: the request's ClientId and deviceId, the shares joined by ':' from offset 28.
  static std::vector<std::uint8_t> ShareReply(const FakeDevice& d, const std::uint8_t* request) {
    std::string text;
    for (const std::string& share : d.shares) text += (text.empty() ? "" : ":") + share;
    std::vector<std::uint8_t> b(protocol::offset::kQueryResult + text.size() + 1, 0);
    b[0] = protocol::QUERY_REPLY;
    std::memcpy(&b[protocol::offset::kClientId], request + protocol::offset::kClientId,
                protocol::kClientIdSize + protocol::kDeviceIdSize);
    b[protocol::offset::kSubCommand] = protocol::SUB_QUERY_SHARES;
    std::memcpy(&b[protocol::offset::kQueryResult], text.data(), text.size());
    return b;
  }

  std::deque<std::vector<std::uint8_t>> pending_;
};

}  // namespace sw::test
