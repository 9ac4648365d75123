#pragma once
// Device-supplied names (device names and share names) before they become a remote name
// "\\DEVICE\SHARE". A name with a backslash or a slash would name another server or another
// folder; control and bidi characters hide or reorder what the user sees in the list; and in the
// server part '@', '%' or ':' would hand the connection to another network provider or another
// port ("host@SSL@443"). Such names are refused.

#include <string>

namespace sw::share {

// Share names. False for an empty name, ".", "..", and any name holding '\\', '/', a control
// character (C0, DEL, or C1 U+0080-U+009F as UTF-8) or a bidi control (U+061C, U+200E, U+200F,
// U+202A-U+202E, U+2066-U+2069). Other bytes (UTF-8 or ANSI letters) are allowed.
bool IsSafeNetworkName(const std::string& name);

// Server names: only what a NetBIOS or DNS host name may hold. ASCII letters, digits and
// - . _ ! # $ & ( ) ^ { } ~, and non-ASCII letters as well-formed UTF-8 that is no control, bidi
// control or blank. Refused besides what IsSafeNetworkName refuses: '@', '%', ':', blanks,
// quotes, and * ? < > | , ; = + [ ] `.
bool IsSafeServerName(const std::string& name);

// Builds "\\DEVICE\SHARE". False (out untouched) when the device name is not a safe server name,
// the share name is not safe, or the result does not fit kRemoteNameSize (255 characters and the
// NUL).
bool BuildRemoteName(const std::string& deviceName, const std::string& shareName, std::string& out);

}  // namespace sw::share
