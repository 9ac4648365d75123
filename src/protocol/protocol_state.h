#pragma once
// The one process-wide record of the device protocol: sockets, the local interface, our ClientId,
// the device table and the name lists, the credentials and pending LAN settings the exchanges put
// on the wire, and the selected device. Only the UI thread touches it; there are no locks.

#include <cstddef>
#include <cstdint>
#include <string>

#include "protocol/datagram.h"
#include "protocol/device_socket.h"
#include "protocol/device_table.h"

namespace sw::protocol {

// Room for exactly one local interface: the first address of the host-name lookup.
constexpr int kMaxLocalInterfaces = 1;

struct LocalInterfaceTable {
  char address[kMaxLocalInterfaces][kIpTextSize] = {};
  std::int32_t count = 0;
};

// Each text holds at most 16 bytes (characters of the ANSI code page; a non-ASCII character takes
// two to four under the UTF-8 code page).
constexpr std::size_t kCredentialTextLimit = 16;
struct LoginCredentials {
  char userName[17] = {};
  char password[17] = {};
};

struct ProtocolState {
  char groupAddress[kIpTextSize] = {};
  std::uint16_t groupPort = 0;
  LocalInterfaceTable localInterfaces;
  SocketHandle sendSockets[kMaxLocalInterfaces] = {kNoSocket};
  SocketHandle receiveSockets[kMaxLocalInterfaces] = {kNoSocket};
  // False when a receive socket could not be bound or joined to the group (it then hears nothing).
  bool receiveSocketsComplete[kMaxLocalInterfaces] = {};
  char bindAddress[kIpTextSize] = {};
  std::uint16_t bindPort = 0;
  bool socketsStarted = false;
  ClientId clientId;

  LoginCredentials loginCredentials;
  char PendingNetmask[kIpTextSize] = {};
  char PendingGateway[kIpTextSize] = {};
  char PendingIp[kIpTextSize] = {};
  char SelectedDeviceIp[kIpTextSize] = {};

  DeviceList deviceList;
  ShareNameList shareNameList;
  TargetEntryList targetEntryList;
};

// The longest beginning of `text` a credentials field holds: at most kCredentialTextLimit bytes,
// never ending inside a UTF-8 character. What an edit may keep is what can be stored.
std::string FitCredentialText(const std::string& text);

// The process-wide instance, zero at start.
ProtocolState& GetProtocolState();

// Sets SelectedDeviceIp (bounded copy; false when the text does not fit).
bool SetSelectedDeviceIp(ProtocolState& state, const char* ipAddress);

// After a confirmed static-address change: the record of SelectedDeviceIp takes PendingIp,
// PendingNetmask, PendingGateway and the new address bytes in its deviceId; SelectedDeviceIp
// becomes PendingIp. False (nothing changed) when the selected device is not in the table or
// PendingIp is not a dotted address.
bool ApplyStaticAddressChange(ProtocolState& state);
// After a confirmed switch to DHCP with the address the device obtained: the record of
// SelectedDeviceIp takes it as ipAddress and in its deviceId; netmask and gateway stay.
bool ApplyDhcpAddressChange(ProtocolState& state, const std::uint8_t newAddress[4]);

}  // namespace sw::protocol
