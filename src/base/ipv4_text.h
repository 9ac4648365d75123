#pragma once
// Dotted IPv4 texts: the one parser and formatter every part of the program uses.

#include <cstdint>
#include <string>
#include <string_view>

namespace sw::base {

enum class Ipv4Syntax {
  // Four decimal parts of one to three digits, each 0-255, separated by '.', nothing else:
  // what device records, documents and command lines carry.
  kDottedQuad,
  // The classic form: one to four parts, each decimal, octal (leading 0) or hexadecimal (leading
  // 0x or 0X); with fewer than four parts the last part fills the remaining bytes (a.b.c with c up
  // to 0xFFFF, a.b with b up to 0xFFFFFF); trailing white space is allowed.
  kClassic,
};

// `out` gets the address in network order (out[0] is the first octet); untouched on failure.
bool ParseIpv4(std::string_view text, Ipv4Syntax syntax, std::uint8_t out[4]);

// The classic form, as the dialogs read local interface addresses; false for nullptr.
inline bool ParseDottedAddress(const char* text, std::uint8_t out[4]) {
  return text && ParseIpv4(text, Ipv4Syntax::kClassic, out);
}

// "%d.%d.%d.%d" of four bytes in network order.
std::string FormatIpv4(const std::uint8_t bytes[4]);

}  // namespace sw::base
