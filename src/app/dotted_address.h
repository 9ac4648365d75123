#pragma once
// The classic dotted-address parser, and the same-subnet test the device list uses.

#include <cstdint>

namespace sw::app {

// One to four parts separated by '.', each decimal, octal (leading 0) or hexadecimal (leading 0x);
// with fewer than four parts the last part fills the remaining bytes (a.b.c with c up to 0xFFFF,
// a.b with b up to 0xFFFFFF). A part too large for its place, more than four parts, an empty part,
// or trailing characters other than white space make it fail. `bytes` gets the address in network
// order (bytes[0] is the first octet); untouched on failure.
bool ParseDottedAddress(const char* text, std::uint8_t bytes[4]);

// True when, for each of the four bytes, (mask AND local) equals (mask AND device).
bool IsSameSubnet(const std::uint8_t device[4], const std::uint8_t netmask[4], const std::uint8_t local[4]);

}  // namespace sw::app
