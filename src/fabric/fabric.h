// The fabric: a description of emulated storage devices (addresses, announcement style, shares,
// iSCSI targets with CHAP secrets and disk sizes, DHCP pool, delays and silence per exchange).
// halden-sim plays it on the wire; the simulated Windows backends read the same file so that the
// initiator model offers the targets the device announces.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "fabric/json.h"

namespace sw::fabric {

using Ipv4Bytes = std::array<uint8_t, 4>;
using NodeId = std::array<uint8_t, 6>;

// Strict dotted quad: four decimal components 0-255 of one to three digits, nothing else.
bool ParseDottedQuad(const std::string& text, Ipv4Bytes* out);
std::string FormatDottedQuad(const Ipv4Bytes& a);
// Prefix length of a contiguous netmask; -1 when the mask is not contiguous or not a dotted quad.
int NetmaskPrefixLength(const std::string& netmask);

// Standard Base64 (RFC 4648 alphabet, '=' padding), as target entries carry CHAP secrets.
std::string EncodeBase64(const std::string& bytes);

enum class Announcement { Basic, Extended };
enum class ReplyDestination { Group, Host };

// The exchanges a device answers; delays and silence are configured per exchange.
enum class Exchange { Discover, Login, Shares, Targets, StaticAddress, Dhcp };
constexpr int kExchangeCount = 6;
const char* ExchangeName(Exchange e);  // "discover", "login", "shares", "targets", "static", "dhcp"

struct Target {
  std::string name;  // full target name: prefix ":" name
  std::string auth = "none";  // "chap" (any case) asks for CHAP
  std::string user;
  std::string secret;  // plain text here; Base64 in the entry
  uint64_t sizeBytes = 1024ull * 1048576ull;
  std::string rawEntry;  // when set, sent verbatim instead of the composed entry (malformed devices)
};

// The entry text a device reports: name "|" auth "@" user "$" Base64(secret).
std::string TargetEntryText(const Target& t);

// File name of a target's disk image, which is also its LUN's backing file: the device's address
// in the fabric, "_", the target name in lower case, every character but a-z 0-9 "-" "." as "_".
// halden-sim's portal and the simulated initiator's session disk open the same file, so what one
// side writes the other reads.
std::string TargetImageFileName(const std::string& deviceAddress, const std::string& targetName);

// What mapping a share to a drive letter asks for. A share listed as a plain string asks for nothing;
// one given as {"name", "user", "password"} asks for that user (any case) and that password.
struct ShareAccess {
  bool credentialsRequired = false;
  std::string user;
  std::string password;
};

struct Device {
  std::string name;
  NodeId nodeId{};
  std::string address;
  std::string netmask = "255.255.0.0";
  std::string gateway;
  bool dhcp = false;
  Announcement announcement = Announcement::Basic;
  uint8_t filterA = 3;
  uint8_t filterB = 3;
  bool iscsi = false;
  bool hasRawTag = false;  // rawTag replaces the feature tag bytes 59-64 of the extended announcement
  std::array<uint8_t, 6> rawTag{};
  ReplyDestination replyTo = ReplyDestination::Group;
  std::string adminUser = "admin";
  std::string adminPassword;
  std::vector<std::string> shares;
  std::vector<ShareAccess> shareAccess;  // parallel to `shares`; may be shorter (the rest ask nothing)
  std::vector<Target> targets;
  std::vector<std::string> dhcpPool;  // addresses handed out in turn by a switch to DHCP
  std::string dhcpNetmask;            // empty: keep the netmask
  std::string dhcpGateway;            // empty: keep the gateway
  std::array<int, kExchangeCount> delayMs{};
  std::array<bool, kExchangeCount> silent{};
  bool http = true;
  int httpPort = 80;

  // Access rule of the share named `share` (exact name); null when the device has no such share.
  const ShareAccess* AccessOf(const std::string& share) const;

  int DelayMs(Exchange e) const { return delayMs[static_cast<int>(e)]; }
  bool IsSilent(Exchange e) const { return silent[static_cast<int>(e)]; }
};

// The drive types of the simulated Windows, with GetDriveTypeA's numbers.
constexpr uint32_t kDriveTypeUnknown = 0;
constexpr uint32_t kDriveTypeNoRootDir = 1;
constexpr uint32_t kDriveTypeRemovable = 2;
constexpr uint32_t kDriveTypeFixed = 3;
constexpr uint32_t kDriveTypeRemote = 4;
constexpr uint32_t kDriveTypeCdRom = 5;
constexpr uint32_t kDriveTypeRamDisk = 6;

// A local drive letter ("drives": {"C:": "fixed", "E:": "removable", "R:": "ram", ...}).
struct LocalDrive {
  char letter = 'C';  // upper case
  uint32_t driveType = kDriveTypeFixed;
};

// A network connection that exists before the program starts ("connections": {"Q:": "\\\\SRV\\SHARE"}).
struct DriveConnection {
  char letter = 'Q';  // upper case
  std::string remoteName;
};

struct Fabric {
  std::vector<Device> devices;
  // Without "drives" in the document: C: fixed and D: CD-ROM. Letters not listed have no root
  // directory.
  std::vector<LocalDrive> drives = {{'C', kDriveTypeFixed}, {'D', kDriveTypeCdRom}};
  std::vector<DriveConnection> connections;

  const Device* FindByName(const std::string& name) const;
  const Device* FindByAddress(const std::string& address) const;  // first with that address
};

// Parses and validates a fabric document. On failure *fabric is untouched and *error says what
// and where ("device 2 (NAS2): member \"adress\" is not known").
bool LoadFabric(const std::string& jsonText, Fabric* fabric, std::string* error);

// One device object, validated as LoadFabric validates each entry of "devices" (for tools that
// embed device descriptions in documents of their own).
bool ReadDevice(const json::Value& object, Device* device, std::string* error);

// The built-in demo fabric: one plain device and one with iSCSI targets, on 10.77.0.0/16.
const char* DefaultFabricJson();

}  // namespace sw::fabric
