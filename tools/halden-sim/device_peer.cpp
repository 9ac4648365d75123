#include "device_peer.h"

#include <algorithm>
#include <cstring>

namespace sw::sim {

namespace {

constexpr size_t kClientIdSize = 10;
constexpr size_t kDeviceIdSize = 10;
constexpr size_t kDiscoverSize = 11;
constexpr size_t kQueryHeadSize = 28;
constexpr size_t kSetHeadSize = 60;
constexpr size_t kTextFieldSize = 16;
constexpr size_t kMaxDatagram = 4096;
constexpr uint8_t kLoginSeparator[2] = {0x55, 0xAA};

void PutText(std::vector<uint8_t>* buf, size_t offset, const std::string& text, size_t width) {
  size_t n = std::min(text.size(), width - 1);  // keep the NUL pad
  std::memcpy(buf->data() + offset, text.data(), n);
}

// A fixed-width text field of a request, up to its first NUL.
std::string GetText(const uint8_t* data, size_t size, size_t offset, size_t width) {
  std::string out;
  for (size_t i = offset; i < offset + width && i < size && data[i] != 0; ++i) {
    out.push_back(static_cast<char>(data[i]));
  }
  return out;
}

std::vector<uint8_t> ReplyHead(uint8_t opcode, const DeviceState& device, const uint8_t* clientId,
                               size_t size) {
  std::vector<uint8_t> buf(size, 0);
  buf[0] = opcode;
  std::memcpy(buf.data() + 1, clientId, kClientIdSize);
  std::vector<uint8_t> id = device.DeviceId();
  std::memcpy(buf.data() + 11, id.data(), kDeviceIdSize);
  return buf;
}

bool AddressedToMe(const DeviceState& device, const uint8_t* data) {
  std::vector<uint8_t> id = device.DeviceId();
  return std::memcmp(data + 11, id.data(), kDeviceIdSize) == 0;
}

std::string JoinedText(const std::vector<std::string>& items, char separator) {
  std::string out;
  for (size_t i = 0; i < items.size(); ++i) {
    if (i > 0) out.push_back(separator);
    out += items[i];
  }
  return out;
}

std::vector<uint8_t> QueryReply(const DeviceState& device, const uint8_t* clientId,
                                const std::string& result) {
  size_t size = std::min(kQueryHeadSize + result.size(), kMaxDatagram);
  std::vector<uint8_t> buf = ReplyHead(kOpQueryReply, device, clientId, size);
  std::memcpy(buf.data() + kQueryHeadSize, result.data(), size - kQueryHeadSize);
  return buf;
}

bool Finish(const DeviceState& device, fabric::Exchange exchange, Reply* reply) {
  if (device.config.IsSilent(exchange)) return false;
  reply->exchange = exchange;
  reply->toGroup = device.config.replyTo == fabric::ReplyDestination::Group;
  reply->delayMs = device.config.DelayMs(exchange);
  return true;
}

bool AnswerQuery(const DeviceState& device, const uint8_t* data, size_t size, Reply* reply) {
  if (size < kQueryHeadSize || !AddressedToMe(device, data)) return false;
  const uint8_t* clientId = data + 1;
  uint8_t sub = data[21];
  if (sub == kSubQueryLogin) {
    // The payload is user, 0x55 0xAA, password; a length field larger than the datagram is
    // clamped to what arrived.
    size_t length = std::min<size_t>(GetLength(data, size, 24), size - kQueryHeadSize);
    const uint8_t* payload = data + kQueryHeadSize;
    const uint8_t* end = payload + length;
    const uint8_t* sep = std::search(payload, end, kLoginSeparator, kLoginSeparator + 2);
    bool accepted = false;
    if (sep != end) {
      std::string user(payload, sep);
      std::string password(sep + 2, end);
      accepted = user == device.config.adminUser && password == device.config.adminPassword;
    }
    reply->bytes = QueryReply(device, clientId, std::string(1, accepted ? '\x01' : '\x00'));
    return Finish(device, fabric::Exchange::Login, reply);
  }
  if (sub == kSubQueryShares) {
    reply->bytes = QueryReply(device, clientId, JoinedText(device.config.shares, ':'));
    return Finish(device, fabric::Exchange::Shares, reply);
  }
  if (sub == kSubQueryTargets) {
    std::vector<std::string> entries;
    for (const auto& t : device.config.targets) entries.push_back(fabric::TargetEntryText(t));
    reply->bytes = QueryReply(device, clientId, JoinedText(entries, '='));
    return Finish(device, fabric::Exchange::Targets, reply);
  }
  return false;
}

bool AnswerSet(const DeviceState& device, const uint8_t* data, size_t size, Reply* reply) {
  if (size < kSetHeadSize || !AddressedToMe(device, data)) return false;
  uint8_t sub = data[21];
  fabric::Exchange exchange;
  if (sub == kSubSetStatic) {
    std::string netmask = GetText(data, size, 24, kTextFieldSize);
    std::string gateway = GetText(data, size, 40, kTextFieldSize);
    size_t length = std::min<size_t>(GetLength(data, size, 56), size - kSetHeadSize);
    std::string value(reinterpret_cast<const char*>(data) + kSetHeadSize, length);
    // A device refuses settings it cannot apply; the program then sees no confirmation.
    fabric::Ipv4Bytes a;
    fabric::Ipv4Bytes g;
    if (!fabric::ParseDottedQuad(value, &a) || fabric::NetmaskPrefixLength(netmask) < 0) return false;
    if (!gateway.empty() && !fabric::ParseDottedQuad(gateway, &g)) return false;
    reply->newAddress = fabric::FormatDottedQuad(a);
    reply->newNetmask = netmask;
    reply->newGateway = gateway;
    reply->newDhcp = false;
    exchange = fabric::Exchange::StaticAddress;
  } else if (sub == kSubSetDhcp) {
    const fabric::Device& c = device.config;
    reply->newAddress = c.dhcpPool.empty() ? device.address
                                           : c.dhcpPool[device.nextPoolAddress % c.dhcpPool.size()];
    reply->newNetmask = c.dhcpNetmask.empty() ? device.netmask : c.dhcpNetmask;
    reply->newGateway = c.dhcpGateway.empty() ? device.gateway : c.dhcpGateway;
    reply->newDhcp = true;
    exchange = fabric::Exchange::Dhcp;
  } else {
    return false;
  }
  reply->changesAddress = true;
  // The reply already carries the address the device has after the change.
  DeviceState after = device;
  after.address = reply->newAddress;
  reply->bytes = ReplyHead(kOpSetReply, after, data + 1, kQueryHeadSize);
  return Finish(device, exchange, reply);
}

}  // namespace

DeviceState::DeviceState(const fabric::Device& d)
    : config(d), address(d.address), netmask(d.netmask), gateway(d.gateway), dhcp(d.dhcp) {}

std::vector<uint8_t> DeviceState::DeviceId() const {
  std::vector<uint8_t> id(config.nodeId.begin(), config.nodeId.end());
  fabric::Ipv4Bytes a{};
  fabric::ParseDottedQuad(address, &a);
  id.insert(id.end(), a.begin(), a.end());
  return id;
}

void PutLength(std::vector<uint8_t>* buf, size_t offset, uint32_t value) {
  for (int i = 0; i < 4; ++i) (*buf)[offset + i] = static_cast<uint8_t>(value >> (8 * i));
}

uint32_t GetLength(const uint8_t* data, size_t size, size_t offset) {
  uint32_t v = 0;
  for (size_t i = 0; i < 4; ++i) {
    uint8_t b = offset + i < size ? data[offset + i] : 0;
    v |= static_cast<uint32_t>(b) << (8 * i);
  }
  return v;
}

std::vector<uint8_t> BuildAnnouncement(const DeviceState& device, const uint8_t* clientId) {
  const fabric::Device& c = device.config;
  bool extended = c.announcement == fabric::Announcement::Extended;
  size_t nameOffset = extended ? 72 : 60;
  size_t nameSize = std::min(c.name.size(), kMaxDatagram - nameOffset);
  std::vector<uint8_t> buf = ReplyHead(extended ? kOpDiscoverReplyExt : kOpDiscoverReply, device,
                                       clientId, nameOffset + nameSize);
  buf[21] = device.dhcp ? '1' : '0';
  PutText(&buf, 24, device.netmask, kTextFieldSize);
  PutText(&buf, 40, device.gateway, kTextFieldSize);
  if (extended) {
    buf[56] = c.filterA;
    buf[57] = c.filterB;
    if (c.hasRawTag) {
      std::memcpy(buf.data() + 59, c.rawTag.data(), 6);
    } else if (c.iscsi) {
      std::memcpy(buf.data() + 59, "iscsi", 6);  // five letters and their NUL
    }
  }
  PutLength(&buf, nameOffset - 4, static_cast<uint32_t>(nameSize));
  std::memcpy(buf.data() + nameOffset, c.name.data(), nameSize);
  return buf;
}

bool AnswerDatagram(const DeviceState& device, const uint8_t* data, size_t size, Reply* reply) {
  if (size == 0) return false;
  switch (data[0]) {
    case kOpDiscover:
      if (size < kDiscoverSize) return false;
      reply->bytes = BuildAnnouncement(device, data + 1);
      return Finish(device, fabric::Exchange::Discover, reply);
    case kOpQuery:
      return AnswerQuery(device, data, size, reply);
    case kOpSet:
      return AnswerSet(device, data, size, reply);
    default:
      return false;  // replies of other devices, and anything else
  }
}

void ApplyAddressChange(DeviceState* device, const Reply& reply) {
  if (!reply.changesAddress) return;
  device->address = reply.newAddress;
  device->netmask = reply.newNetmask;
  device->gateway = reply.newGateway;
  device->dhcp = reply.newDhcp;
  if (reply.exchange == fabric::Exchange::Dhcp) ++device->nextPoolAddress;
}

}  // namespace sw::sim
