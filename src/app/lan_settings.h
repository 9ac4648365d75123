#pragma once
// The LAN panel's checks of a new static address, as plain functions over the octets the three IP
// address controls hold: which message the user gets, and for an octet rule which field is wrong.

#include <cstdint>
#include <optional>

namespace sw::app {

enum class AddressKind { Ip, Netmask, Gateway };

struct OctetFault {
  int field = 0;  // 0-3: the octet's field of the control
  const char* message = nullptr;
};

// The first octet, in order, outside the range its kind accepts (IP 1-254, 0-254, 0-254, 1-254;
// netmask 1-255, any, any, 0-254; gateway 1-255, any, any, 1-254).
std::optional<OctetFault> FirstBadOctet(AddressKind kind, const std::uint8_t octets[4]);

// The message for a blank control and for a first octet of 127.
const char* BlankAddressMessage(AddressKind kind);
const char* LoopbackAddressMessage(AddressKind kind);

// The first of the cross checks that fails (IP = gateway, IP = netmask, gateway = netmask, IP in
// 224.0.0.0/4 or 240.0.0.0/4, with the message for 224.0.0.1), or nullptr when all pass.
const char* CrossCheckMessage(const std::uint8_t ip[4], const std::uint8_t netmask[4], const std::uint8_t gateway[4]);

constexpr const char* kSelectDeviceFirstMessage = "Please select a device in the above section.";
constexpr const char* kWrongAdminPasswordMessage = "Wrong administrator password input!";
constexpr const char* kDhcpSwitchFailedMessage = "Set to dhcp client fail.";
constexpr const char* kDhcpWaitMessage = "Getting IP Address ...\nPlease wait 10 seconds.";
constexpr const char* kDhcpEnabledMessage = "DHCP client enabled.";
constexpr const char* kDhcpEnableItem = "Enable";

// The default administrator credentials tried before the user is asked.
constexpr const char* kDefaultAdminUser = "admin";
constexpr const char* kDefaultAdminPassword = "";

// A switch to DHCP gives the device this long to obtain its address before the list is rebuilt.
constexpr unsigned kDhcpSettleMs = 10000;

}  // namespace sw::app
