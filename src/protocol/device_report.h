#pragma once
// The device table as text for a terminal or a script. Device names come from the network:
// control characters never reach the terminal, and the JSON is always valid.

#include <string>

#include "protocol/device_table.h"

namespace sw::protocol {

// Columns Name, IP, Netmask, Gateway, DHCP, iSCSI, aligned; one line per device after the header.
std::string FormatDeviceTableText(const DeviceList& list);
// An array of {"name","ip","netmask","gateway","dhcp","iscsi"}; dhcp is true when the DHCP state
// is "1". Bytes that are not UTF-8 are taken as Latin-1.
std::string FormatDeviceTableJson(const DeviceList& list);

// A JSON string literal (with quotes) of `text`.
std::string JsonString(const std::string& text);

}  // namespace sw::protocol
