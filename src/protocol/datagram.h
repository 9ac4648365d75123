#pragma once
// Byte layouts of the device protocol: builders of the requests we send and readers of the replies
// devices send back, as pure functions over byte buffers. Datagrams come from anyone on the LAN, so
// every reader here is bounded by the number of bytes actually received: a field that lies (partly)
// beyond the datagram reads as zero bytes, never as memory or as what an earlier datagram left.

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace sw::protocol {

constexpr const char* kGroupAddress = "224.0.0.1";
constexpr std::uint16_t kDevicePort = 13579;

// Largest datagram we read; the buffer holding it has one byte more for a terminating NUL.
constexpr std::size_t kReceiveCapacity = 4096;
constexpr std::size_t kReceiveBufferSize = kReceiveCapacity + 1;

// Dotted IPv4 texts: at most 15 characters + NUL.
constexpr std::size_t kIpTextSize = 16;
// Device names, share names and target entries: at most 255 characters + NUL.
constexpr std::size_t kNameTextSize = 256;

enum Opcode : std::uint8_t {
  DISCOVER = 1,
  DISCOVER_REPLY = 2,
  QUERY = 3,
  QUERY_REPLY = 4,
  SET = 5,
  SET_REPLY = 6,
  DISCOVER_REPLY_EXT = 7,
};

enum SubCommand : std::uint8_t {
  SUB_SET_STATIC_IP = 1,
  SUB_SET_DHCP = 2,
  SUB_QUERY_SHARES = 3,
  SUB_QUERY_LOGIN = 4,
  SUB_QUERY_TARGETS = 51,
};

constexpr std::size_t kClientIdSize = 10;
constexpr std::size_t kDeviceIdSize = 10;
// Only the random part of the ClientId is compared in replies; the zero tail is not.
constexpr std::size_t kClientIdComparedBytes = 6;

struct ClientId {
  std::uint8_t bytes[kClientIdSize] = {};
};

// Field offsets shared by the layouts below.
namespace offset {
constexpr std::size_t kOpcode = 0;
constexpr std::size_t kClientId = 1;
constexpr std::size_t kDeviceId = 11;
constexpr std::size_t kDeviceAddress = 17;  // the last four bytes of the deviceId
constexpr std::size_t kSubCommand = 21;
constexpr std::size_t kDhcpState = 21;
constexpr std::size_t kNetmask = 24;
constexpr std::size_t kGateway = 40;
constexpr std::size_t kSetValueLength = 56;
constexpr std::size_t kSetValue = 60;
constexpr std::size_t kQueryPayloadLength = 24;
constexpr std::size_t kQueryPayload = 28;
constexpr std::size_t kQueryResult = 28;
constexpr std::size_t kNameLength = 56;       // basic announcement
constexpr std::size_t kName = 60;
constexpr std::size_t kFilterA = 56;          // extended announcement
constexpr std::size_t kFilterB = 57;
constexpr std::size_t kFeatureTag = 59;
constexpr std::size_t kExtNameLength = 68;
constexpr std::size_t kExtName = 72;
}  // namespace offset

constexpr std::size_t kDiscoverLength = 11;
constexpr std::size_t kQueryHeadLength = 28;
constexpr std::size_t kSetHeadLength = 60;
constexpr std::uint8_t kLoginSeparator[2] = {0x55, 0xAA};

// Every request fits here: the longest is a login query with two 16-character texts.
constexpr std::size_t kRequestBufferSize = 128;

// A datagram as received: reads beyond `length` give 0.
struct ReceivedDatagram {
  const std::uint8_t* data = nullptr;
  std::size_t length = 0;

  std::uint8_t ByteAt(std::size_t offset) const { return offset < length ? data[offset] : 0; }
  std::uint32_t U32At(std::size_t offset) const;  // little-endian
  // Copies the bytes of [offset, offset + width) into out (zero where the datagram ended).
  void CopyOut(std::size_t offset, std::size_t width, std::uint8_t* out) const;
};

// "%d.%d.%d.%d" of four bytes in network order.
std::string FormatIpv4(const std::uint8_t bytes[4]);
// Parses strict dotted-decimal ("a.b.c.d", each 0-255, no spaces); false when the text is anything else.
bool ParseIpv4(const char* text, std::uint8_t out[4]);

// --- requests -------------------------------------------------------------------------------
// Each builder clears `out` (capacity kRequestBufferSize) and returns the length to send, or 0 when
// the request cannot be built (a text that does not fit its field); 0 means: send nothing.

std::size_t BuildDiscover(const ClientId& clientId, std::uint8_t* out);
std::size_t BuildQuery(const ClientId& clientId, const std::uint8_t deviceId[kDeviceIdSize],
                       SubCommand sub, const std::uint8_t* payload, std::size_t payloadLength,
                       std::uint8_t* out);
// Login payload: user name, 0x55 0xAA, password; neither text carries a NUL. Texts over 16
// characters are refused (0), since the credentials fields hold no more.
std::size_t BuildLoginQuery(const ClientId& clientId, const std::uint8_t deviceId[kDeviceIdSize],
                            const char* userName, const char* password, std::uint8_t* out);
std::size_t BuildSetStaticIp(const ClientId& clientId, const std::uint8_t deviceId[kDeviceIdSize],
                             const char* netmask, const char* gateway, const char* newAddress,
                             std::uint8_t* out);
std::size_t BuildSetDhcp(const ClientId& clientId, const std::uint8_t deviceId[kDeviceIdSize],
                         std::uint8_t* out);

// --- acceptance -----------------------------------------------------------------------------

// Bytes 1-6 equal the first six bytes of our ClientId (bytes 7-10 are not compared).
bool IsForClient(const ReceivedDatagram& d, const ClientId& clientId);
// The address in bytes 17-20, as text, equals `expectedIp` exactly.
bool CarriesAddress(const ReceivedDatagram& d, const char* expectedIp);
// A reply shorter than this carries no address in bytes 17-20.
constexpr std::size_t kAddressedReplyLength = offset::kDeviceAddress + 4;
// An address a device can really have: not 0.0.0.0, loopback, multicast (224.0.0.0/4), reserved
// (240.0.0.0/4) or the limited broadcast. Anything else in a SET_REPLY is a forged or broken reply.
bool IsDeviceUnicastAddress(const std::uint8_t address[4]);
// Filter test of an extended announcement: a filter value 0 accepts any byte.
bool PassesFilter(const ReceivedDatagram& d, std::uint8_t filterA, std::uint8_t filterB);

// What an announcement says about a device. Texts are NUL-terminated and bounded by their fields.
struct Announcement {
  char name[kNameTextSize] = {};
  char ipAddress[kIpTextSize] = {};
  char netmask[kIpTextSize] = {};
  char gateway[kIpTextSize] = {};
  char dhcpState[8] = {};
  std::uint8_t deviceId[kDeviceIdSize] = {};
  bool iscsiCapable = false;
  // The name length field asked for more than the datagram carried or the record holds; the name
  // was cut to what fits.
  bool nameClamped = false;
};

enum class AnnouncementVerdict {
  Accepted,
  WrongOpcode,     // neither DISCOVER_REPLY nor DISCOVER_REPLY_EXT
  OtherClient,     // an answer to another instance
  FilteredOut,     // extended announcement whose filter bytes do not match
};

// Applies the discovery acceptance rules in their order (opcode, ClientId, filter) and, when the
// datagram passes, fills `out`. Names are clamped to the bytes received and to 255 characters.
AnnouncementVerdict ReadAnnouncement(const ReceivedDatagram& d, const ClientId& clientId,
                                     std::uint8_t filterA, std::uint8_t filterB, Announcement& out);

// Items of a list reply (text from offset 28 to the end of the datagram or its first NUL), split at
// `separator`, empty items skipped. Items are returned whole; the name lists refuse those over 255.
std::vector<std::string> SplitListReply(const ReceivedDatagram& d, char separator);

}  // namespace sw::protocol
