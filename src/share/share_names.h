#pragma once
// Device-supplied names (device names and share names) before they become a remote name
// "\\DEVICE\SHARE". A name with a backslash or a slash would name another server or another
// folder, and control characters have no place in a share name, so such names are refused.

#include <string>

namespace sw::share {

// False for an empty name, ".", "..", and any name holding '\\', '/' or a character below 0x20 or
// 0x7F. Other bytes (UTF-8 or ANSI letters) are allowed.
bool IsSafeNetworkName(const std::string& name);

// Builds "\\DEVICE\SHARE". False (out untouched) when either name is not safe or the result does
// not fit kRemoteNameSize (255 characters and the NUL).
bool BuildRemoteName(const std::string& deviceName, const std::string& shareName, std::string& out);

}  // namespace sw::share
