// The device side of the storage-device protocol, written independently of the program's own
// datagram code so that the two can check each other on the wire. Pure logic: a request comes in
// as bytes, the answer goes out as bytes plus the effects the event loop must carry out (where to
// send, after what delay, whether the device moves to another address). No sockets here.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

#include "fabric/fabric.h"

namespace sw::sim {

constexpr uint16_t kDevicePort = 13579;
constexpr const char* kGroupAddress = "224.0.0.1";

enum : uint8_t {
  kOpDiscover = 1,
  kOpDiscoverReply = 2,
  kOpQuery = 3,
  kOpQueryReply = 4,
  kOpSet = 5,
  kOpSetReply = 6,
  kOpDiscoverReplyExt = 7,
};

enum : uint8_t {
  kSubSetStatic = 1,
  kSubSetDhcp = 2,
  kSubQueryShares = 3,
  kSubQueryLogin = 4,
  kSubQueryTargets = 51,
};

// What one device currently is; starts from its fabric entry and changes with SET requests.
struct DeviceState {
  fabric::Device config;
  std::string address;
  std::string netmask;
  std::string gateway;
  bool dhcp = false;
  size_t nextPoolAddress = 0;

  explicit DeviceState(const fabric::Device& d);
  // Node identifier followed by the current address bytes, as requests must carry it.
  std::vector<uint8_t> DeviceId() const;
};

struct Reply {
  fabric::Exchange exchange = fabric::Exchange::Discover;
  std::vector<uint8_t> bytes;
  bool toGroup = true;     // else to the requester's address, port 13579
  int delayMs = 0;
  // Set for the two SET exchanges: the device's settings once the reply goes out.
  bool changesAddress = false;
  std::string newAddress;
  std::string newNetmask;
  std::string newGateway;
  bool newDhcp = false;
};

// Decides the device's answer to one received datagram. Returns false when the device stays
// silent: not a request, not addressed to this device, malformed, or silenced by the fabric.
// Never reads beyond `size` bytes.
bool AnswerDatagram(const DeviceState& device, const uint8_t* data, size_t size, Reply* reply);

// Applies the settings carried by a SET reply once it is sent.
void ApplyAddressChange(DeviceState* device, const Reply& reply);

// Announcement a device sends for a given client identifier (10 bytes echoed).
std::vector<uint8_t> BuildAnnouncement(const DeviceState& device, const uint8_t* clientId);

// Little-endian 32-bit length fields.
void PutLength(std::vector<uint8_t>* buf, size_t offset, uint32_t value);
uint32_t GetLength(const uint8_t* data, size_t size, size_t offset);

}  // namespace sw::sim
