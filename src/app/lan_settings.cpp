#include "app/lan_settings.h"

#include <cstring>

namespace sw::app {

namespace {

struct OctetRule {
  int low;
  int high;
  const char* message;  // nullptr: every value is accepted
};

constexpr OctetRule kRules[3][4] = {
    {{1, 254, "Invalid IP address in 1st digit. It should be 1-254."},
     {0, 254, "Invalid IP address in 2nd digit. It should be 0-254."},
     {0, 254, "Invalid IP address in 3rd digit. It should be 0-254."},
     {1, 254, "Invalid IP address in 4th digit. It should be 1-254."}},
    {{1, 255, "Invalid subnet mask address in 1st digit. It should be 1-255."},
     {0, 255, nullptr},
     {0, 255, nullptr},
     {0, 254, "Invalid subnet mask address in 4th digit. It should be 0-254."}},
    {{1, 255, "Invalid gateway IP address in 1st digit. It should be 1-255."},
     {0, 255, nullptr},
     {0, 255, nullptr},
     {1, 254, "Invalid gateway IP address in 4th digit. It should be 1-254."}},
};

bool Same(const std::uint8_t a[4], const std::uint8_t b[4]) { return std::memcmp(a, b, 4) == 0; }

}  // namespace

std::optional<OctetFault> FirstBadOctet(AddressKind kind, const std::uint8_t octets[4]) {
  const OctetRule* rules = kRules[static_cast<int>(kind)];
  for (int field = 0; field < 4; ++field) {
    const OctetRule& rule = rules[field];
    if (rule.message && (octets[field] < rule.low || octets[field] > rule.high)) return OctetFault{field, rule.message};
  }
  return std::nullopt;
}

const char* BlankAddressMessage(AddressKind kind) {
  switch (kind) {
    case AddressKind::Ip: return "Please input IP address!";
    case AddressKind::Netmask: return "Please input net mask address!";
    case AddressKind::Gateway: break;
  }
  return "Please input gateway address!";
}

const char* LoopbackAddressMessage(AddressKind kind) {
  switch (kind) {
    case AddressKind::Ip: return "IP address input error. Please try again.";
    case AddressKind::Netmask: return "Subnet mask address input error. Please try again.";
    case AddressKind::Gateway: break;
  }
  return "Gateway IP address input error. Please try again.";
}

const char* CrossCheckMessage(const std::uint8_t ip[4], const std::uint8_t netmask[4], const std::uint8_t gateway[4]) {
  if (Same(ip, gateway)) return "IP address and the gateway address have the same address. Please modify ip address.";
  if (Same(ip, netmask)) return "IP address and the mask address have the same address. Please modify ip address.";
  if (Same(gateway, netmask)) {
    return "Gateway address and the mask address have the same address. Please modify the mask or gateway address.";
  }
  // Beyond the devices' group 224.0.0.1: no multicast address (224.0.0.0/4) can be a device's, and
  // none of 240.0.0.0/4 is a host address; the device would be out of reach.
  if (ip[0] >= 224) {
    return "Ip address and the multicast address have the same address. Please modify the ip address.";
  }
  return nullptr;
}

}  // namespace sw::app
