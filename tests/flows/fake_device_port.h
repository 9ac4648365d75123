#pragma once
// Fake devices for dialog tests over the scripted socket port: no network at all. Devices it knows
// answer every DISCOVER with an announcement addressed to the sender's ClientId, and a share query
// with the list of their shares. The port runs on the headless clock, so the exchanges' time caps
// run on fake time.

#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "protocol/datagram.h"
#include "protocol/device_socket.h"
#include "scripted_socket_port.h"
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
  std::vector<std::string> targets;  // target entries, "name|auth@user$secret"
};

// The fake devices answer through the scripted port: what they send back is queued on its script.
class FakeDevicePort : public ScriptedSocketPort {
 public:
  std::vector<FakeDevice> devices;
  int discovers = 0, shareQueries = 0, targetQueries = 0;

  FakeDevicePort() {
    nowMs = 0;
    readCostMs = 0;
    sleep = [](std::int64_t ms) { ui::SleepMs(static_cast<unsigned>(ms)); };
    now = [] { return static_cast<std::int64_t>(ui::TickCount()); };
    onSend = [this](const Bytes& request) { Answer(request); };
  }

 private:
  void Answer(const Bytes& request) {
    const std::uint8_t* data = request.data();
    if (request.size() == protocol::kDiscoverLength && data[0] == protocol::DISCOVER) {
      ++discovers;
      for (const FakeDevice& d : devices) script.push_back(test::Datagram(Announce(d, data + 1)));
    } else if (request.size() >= protocol::kQueryHeadLength && data[0] == protocol::QUERY &&
               data[protocol::offset::kSubCommand] == protocol::SUB_QUERY_SHARES) {
      ++shareQueries;
      for (const FakeDevice& d : devices) {
        std::uint8_t ip[4] = {};
        protocol::ParseIpv4(d.ip.c_str(), ip);
        if (d.answersQueries && std::memcmp(ip, data + protocol::offset::kDeviceAddress, 4) == 0) {
          script.push_back(test::Datagram(ListReply(d.shares, ':', protocol::SUB_QUERY_SHARES, data)));
        }
      }
    } else if (request.size() >= protocol::kQueryHeadLength && data[0] == protocol::QUERY &&
               data[protocol::offset::kSubCommand] == protocol::SUB_QUERY_TARGETS) {
      ++targetQueries;
      for (const FakeDevice& d : devices) {
        std::uint8_t ip[4] = {};
        protocol::ParseIpv4(d.ip.c_str(), ip);
        if (d.answersQueries && std::memcmp(ip, data + protocol::offset::kDeviceAddress, 4) == 0) {
          script.push_back(test::Datagram(ListReply(d.targets, '=', protocol::SUB_QUERY_TARGETS, data)));
        }
      }
    }
  }

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

  // QUERY_REPLY: the request's ClientId and deviceId, the items joined by `separator` from offset 28.
  static std::vector<std::uint8_t> ListReply(const std::vector<std::string>& items, char separator,
                                             std::uint8_t subCommand, const std::uint8_t* request) {
    std::string text;
    for (const std::string& item : items) text += (text.empty() ? "" : std::string(1, separator)) + item;
    std::vector<std::uint8_t> b(protocol::offset::kQueryResult + text.size() + 1, 0);
    b[0] = protocol::QUERY_REPLY;
    std::memcpy(&b[protocol::offset::kClientId], request + protocol::offset::kClientId,
                protocol::kClientIdSize + protocol::kDeviceIdSize);
    b[protocol::offset::kSubCommand] = subCommand;
    std::memcpy(&b[protocol::offset::kQueryResult], text.data(), text.size());
    return b;
  }

};

}  // namespace sw::test
