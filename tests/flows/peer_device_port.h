#pragma once
// Devices played by halden-sim's own device code (written apart from the program's datagram
// layer) behind the scripted socket port: every request the program sends is answered as a real
// device would answer it, and a SET really changes the device's address. No network at all; the
// port runs on the headless clock.

#include <string>
#include <vector>

#include "device_peer.h"
#include "fabric/fabric.h"
#include "scripted_socket_port.h"
#include "ui/dialog.h"

namespace sw::test {

class PeerDevicePort : public ScriptedSocketPort {
 public:
  std::vector<sim::DeviceState> devices;

  explicit PeerDevicePort(const std::string& fabricJson) {
    fabric::Fabric f;
    std::string error;
    if (fabric::LoadFabric(fabricJson, &f, &error)) {
      for (const auto& d : f.devices) devices.emplace_back(d);
    }
    nowMs = 0;
    readCostMs = 0;
    sleep = [](std::int64_t ms) { ui::SleepMs(static_cast<unsigned>(ms)); };
    now = [] { return static_cast<std::int64_t>(ui::TickCount()); };
    onSend = [this](const Bytes& request) {
      for (auto& d : devices) {
        sim::Reply reply;
        if (!sim::AnswerDatagram(d, request.data(), request.size(), &reply)) continue;
        script.push_back(Datagram(reply.bytes));
        if (reply.changesAddress) sim::ApplyAddressChange(&d, reply);
      }
    };
  }

  const sim::DeviceState* Find(const std::string& name) const {
    for (const auto& d : devices) {
      if (d.config.name == name) return &d;
    }
    return nullptr;
  }

  // The requests sent with opcode `op` (and sub-command `sub` when not 0).
  int Requests(std::uint8_t op, std::uint8_t sub = 0) const {
    int n = 0;
    for (const auto& s : sent) {
      if (!s.bytes.empty() && s.bytes[0] == op && (sub == 0 || (s.bytes.size() > 21 && s.bytes[21] == sub))) ++n;
    }
    return n;
  }
};

}  // namespace sw::test
