#include "protocol/datagram.h"

#include <cstdio>
#include <cstring>

#include "base/ipv4_text.h"

namespace sw::protocol {

namespace {

void PutU32(std::uint8_t* at, std::uint32_t value) {
  at[0] = static_cast<std::uint8_t>(value);
  at[1] = static_cast<std::uint8_t>(value >> 8);
  at[2] = static_cast<std::uint8_t>(value >> 16);
  at[3] = static_cast<std::uint8_t>(value >> 24);
}

void WriteHead(std::uint8_t opcode, const ClientId& clientId,
               const std::uint8_t deviceId[kDeviceIdSize], SubCommand sub, std::uint8_t* out) {
  out[offset::kOpcode] = opcode;
  std::memcpy(out + offset::kClientId, clientId.bytes, kClientIdSize);
  std::memcpy(out + offset::kDeviceId, deviceId, kDeviceIdSize);
  out[offset::kSubCommand] = sub;
}

// Copies a fixed-width text field into a text buffer of the same width, leaving room for the NUL:
// a field that fills all its bytes loses its last one rather than running into the next field.
template <std::size_t N>
void CopyTextField(const ReceivedDatagram& d, std::size_t at, char (&out)[N]) {
  std::uint8_t raw[N];
  d.CopyOut(at, N, raw);
  std::size_t i = 0;
  for (; i + 1 < N && raw[i] != 0; ++i) out[i] = static_cast<char>(raw[i]);
  std::memset(out + i, 0, N - i);
}

// strnlen over a bound, for texts that must fit a field.
std::size_t BoundedLength(const char* text, std::size_t bound) {
  std::size_t n = 0;
  while (n <= bound && text[n] != 0) ++n;
  return n;
}

}  // namespace

std::uint32_t ReceivedDatagram::U32At(std::size_t offset) const {
  return static_cast<std::uint32_t>(ByteAt(offset)) |
         static_cast<std::uint32_t>(ByteAt(offset + 1)) << 8 |
         static_cast<std::uint32_t>(ByteAt(offset + 2)) << 16 |
         static_cast<std::uint32_t>(ByteAt(offset + 3)) << 24;
}

void ReceivedDatagram::CopyOut(std::size_t offset, std::size_t width, std::uint8_t* out) const {
  std::size_t available = offset < length ? length - offset : 0;
  std::size_t copied = width < available ? width : available;
  if (copied > 0) std::memcpy(out, data + offset, copied);
  std::memset(out + copied, 0, width - copied);
}

std::string FormatIpv4(const std::uint8_t bytes[4]) { return base::FormatIpv4(bytes); }

bool ParseIpv4(const char* text, std::uint8_t out[4]) {
  return text && base::ParseIpv4(text, base::Ipv4Syntax::kDottedQuad, out);
}

std::size_t BuildDiscover(const ClientId& clientId, std::uint8_t* out) {
  std::memset(out, 0, kRequestBufferSize);
  out[offset::kOpcode] = DISCOVER;
  std::memcpy(out + offset::kClientId, clientId.bytes, kClientIdSize);
  return kDiscoverLength;
}

std::size_t BuildQuery(const ClientId& clientId, const std::uint8_t deviceId[kDeviceIdSize],
                       SubCommand sub, const std::uint8_t* payload, std::size_t payloadLength,
                       std::uint8_t* out) {
  std::memset(out, 0, kRequestBufferSize);
  if (payloadLength > kRequestBufferSize - kQueryHeadLength) return 0;
  WriteHead(QUERY, clientId, deviceId, sub, out);
  PutU32(out + offset::kQueryPayloadLength, static_cast<std::uint32_t>(payloadLength));
  if (payloadLength > 0) std::memcpy(out + offset::kQueryPayload, payload, payloadLength);
  return kQueryHeadLength + payloadLength;
}

std::size_t BuildLoginQuery(const ClientId& clientId, const std::uint8_t deviceId[kDeviceIdSize],
                            const char* userName, const char* password, std::uint8_t* out) {
  constexpr std::size_t kMaxCredential = 16;
  std::size_t userLength = BoundedLength(userName, kMaxCredential);
  std::size_t passwordLength = BoundedLength(password, kMaxCredential);
  if (userLength > kMaxCredential || passwordLength > kMaxCredential) {
    std::memset(out, 0, kRequestBufferSize);
    return 0;
  }
  std::uint8_t payload[2 * kMaxCredential + sizeof kLoginSeparator];
  std::memcpy(payload, userName, userLength);
  std::memcpy(payload + userLength, kLoginSeparator, sizeof kLoginSeparator);
  std::memcpy(payload + userLength + sizeof kLoginSeparator, password, passwordLength);
  return BuildQuery(clientId, deviceId, SUB_QUERY_LOGIN, payload,
                    userLength + sizeof kLoginSeparator + passwordLength, out);
}

std::size_t BuildSetStaticIp(const ClientId& clientId, const std::uint8_t deviceId[kDeviceIdSize],
                             const char* netmask, const char* gateway, const char* newAddress,
                             std::uint8_t* out) {
  std::memset(out, 0, kRequestBufferSize);
  constexpr std::size_t kMaxIpText = kIpTextSize - 1;
  std::size_t netmaskLength = BoundedLength(netmask, kMaxIpText);
  std::size_t gatewayLength = BoundedLength(gateway, kMaxIpText);
  std::size_t addressLength = BoundedLength(newAddress, kMaxIpText);
  if (netmaskLength > kMaxIpText || gatewayLength > kMaxIpText || addressLength > kMaxIpText ||
      addressLength == 0) {
    return 0;
  }
  WriteHead(SET, clientId, deviceId, SUB_SET_STATIC_IP, out);
  std::memcpy(out + offset::kNetmask, netmask, netmaskLength);
  std::memcpy(out + offset::kGateway, gateway, gatewayLength);
  PutU32(out + offset::kSetValueLength, static_cast<std::uint32_t>(addressLength));
  std::memcpy(out + offset::kSetValue, newAddress, addressLength);
  return kSetHeadLength + addressLength;
}

std::size_t BuildSetDhcp(const ClientId& clientId, const std::uint8_t deviceId[kDeviceIdSize],
                         std::uint8_t* out) {
  std::memset(out, 0, kRequestBufferSize);
  WriteHead(SET, clientId, deviceId, SUB_SET_DHCP, out);
  return kSetHeadLength;
}

bool IsForClient(const ReceivedDatagram& d, const ClientId& clientId) {
  for (std::size_t i = 0; i < kClientIdComparedBytes; ++i) {
    if (d.ByteAt(offset::kClientId + i) != clientId.bytes[i]) return false;
  }
  return true;
}

bool CarriesAddress(const ReceivedDatagram& d, const char* expectedIp) {
  std::uint8_t address[4];
  d.CopyOut(offset::kDeviceAddress, 4, address);
  return FormatIpv4(address) == expectedIp;
}

bool IsDeviceUnicastAddress(const std::uint8_t address[4]) {
  const bool unspecified = (address[0] | address[1] | address[2] | address[3]) == 0;
  const bool limitedBroadcast = (address[0] & address[1] & address[2] & address[3]) == 0xFF;
  const bool loopback = address[0] == 127;
  const bool multicast = address[0] >= 224 && address[0] <= 239;
  const bool reserved = address[0] >= 240;
  return !unspecified && !limitedBroadcast && !loopback && !multicast && !reserved;
}

bool PassesFilter(const ReceivedDatagram& d, std::uint8_t filterA, std::uint8_t filterB) {
  return (filterA == 0 || d.ByteAt(offset::kFilterA) == filterA) &&
         (filterB == 0 || d.ByteAt(offset::kFilterB) == filterB);
}

AnnouncementVerdict ReadAnnouncement(const ReceivedDatagram& d, const ClientId& clientId,
                                     std::uint8_t filterA, std::uint8_t filterB, Announcement& out) {
  const std::uint8_t opcode = d.ByteAt(offset::kOpcode);
  if (opcode != DISCOVER_REPLY && opcode != DISCOVER_REPLY_EXT) return AnnouncementVerdict::WrongOpcode;
  if (!IsForClient(d, clientId)) return AnnouncementVerdict::OtherClient;
  const bool extended = opcode == DISCOVER_REPLY_EXT;
  if (extended && !PassesFilter(d, filterA, filterB)) return AnnouncementVerdict::FilteredOut;

  out = Announcement{};
  // The name length comes from the sender: cut it to what was received and what the record holds.
  const std::size_t nameAt = extended ? offset::kExtName : offset::kName;
  const std::uint32_t announcedLength = d.U32At(extended ? offset::kExtNameLength : offset::kNameLength);
  const std::size_t received = d.length > nameAt ? d.length - nameAt : 0;
  std::size_t nameLength = announcedLength < received ? announcedLength : received;
  if (nameLength > kNameTextSize - 1) nameLength = kNameTextSize - 1;
  out.nameClamped = nameLength != announcedLength;
  // An embedded NUL ends the text, as it would in any C string holding it.
  for (std::size_t i = 0; i < nameLength && d.data[nameAt + i] != 0; ++i) {
    out.name[i] = static_cast<char>(d.data[nameAt + i]);
  }

  std::uint8_t address[4];
  d.CopyOut(offset::kDeviceAddress, 4, address);
  const std::string ip = FormatIpv4(address);
  std::memcpy(out.ipAddress, ip.c_str(), ip.size() + 1);

  CopyTextField(d, offset::kNetmask, out.netmask);
  CopyTextField(d, offset::kGateway, out.gateway);
  out.dhcpState[0] = static_cast<char>(d.ByteAt(offset::kDhcpState));
  d.CopyOut(offset::kDeviceId, kDeviceIdSize, out.deviceId);

  if (extended) {
    static const std::uint8_t kIscsiTag[6] = {'i', 's', 'c', 's', 'i', 0};
    std::uint8_t tag[6];
    d.CopyOut(offset::kFeatureTag, sizeof tag, tag);
    out.iscsiCapable = std::memcmp(tag, kIscsiTag, sizeof tag) == 0;
  }
  return AnnouncementVerdict::Accepted;
}

std::vector<std::string> SplitListReply(const ReceivedDatagram& d, char separator) {
  std::vector<std::string> items;
  std::string current;
  for (std::size_t i = offset::kQueryResult; i < d.length && d.data[i] != 0; ++i) {
    const char c = static_cast<char>(d.data[i]);
    if (c == separator) {
      if (!current.empty()) items.push_back(current);
      current.clear();
    } else {
      current.push_back(c);
    }
  }
  if (!current.empty()) items.push_back(current);
  return items;
}

}  // namespace sw::protocol
