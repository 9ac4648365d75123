#include "protocol/protocol_state.h"

#include <cstring>

namespace sw::protocol {

ProtocolState& GetProtocolState() {
  static ProtocolState state;
  return state;
}

std::string FitCredentialText(const std::string& text) {
  if (text.size() <= kCredentialTextLimit) return text;
  std::size_t cut = kCredentialTextLimit;
  // Back off over continuation bytes (10xxxxxx) to the start of the character that does not fit.
  while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
  return text.substr(0, cut);
}

bool SetSelectedDeviceIp(ProtocolState& state, const char* ipAddress) {
  return CopyText(state.SelectedDeviceIp, sizeof state.SelectedDeviceIp, ipAddress);
}

bool ApplyStaticAddressChange(ProtocolState& state) {
  std::uint8_t address[4];
  if (!ParseIpv4(state.PendingIp, address)) return false;
  DeviceRecord* record = FindDeviceByIp(state.deviceList, state.SelectedDeviceIp);
  if (record == nullptr) return false;
  CopyText(record->ipAddress, sizeof record->ipAddress, state.PendingIp);
  CopyText(record->netmask, sizeof record->netmask, state.PendingNetmask);
  CopyText(record->gateway, sizeof record->gateway, state.PendingGateway);
  std::memcpy(record->deviceId + 6, address, 4);
  CopyText(state.SelectedDeviceIp, sizeof state.SelectedDeviceIp, state.PendingIp);
  return true;
}

bool ApplyDhcpAddressChange(ProtocolState& state, const std::uint8_t newAddress[4]) {
  DeviceRecord* record = FindDeviceByIp(state.deviceList, state.SelectedDeviceIp);
  if (record == nullptr) return false;
  const std::string text = FormatIpv4(newAddress);
  CopyText(record->ipAddress, sizeof record->ipAddress, text.c_str());
  std::memcpy(record->deviceId + 6, newAddress, 4);
  CopyText(state.SelectedDeviceIp, sizeof state.SelectedDeviceIp, text.c_str());
  return true;
}

}  // namespace sw::protocol
