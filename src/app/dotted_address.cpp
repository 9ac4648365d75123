#include "app/dotted_address.h"

#include <cctype>

namespace sw::app {

namespace {
// Reads one part; false on no digits, a bad digit for the base, or overflow past 32 bits.
bool ReadPart(const char*& p, std::uint64_t& value) {
  unsigned base = 10;
  if (*p == '0') {
    base = 8;
    ++p;
    if (*p == 'x' || *p == 'X') {
      base = 16;
      ++p;
      if (!std::isxdigit(static_cast<unsigned char>(*p))) return false;
    } else {
      value = 0;  // a lone 0, or octal digits follow
    }
  } else if (!std::isdigit(static_cast<unsigned char>(*p))) {
    return false;
  }
  value = 0;
  for (;; ++p) {
    unsigned char c = static_cast<unsigned char>(*p);
    unsigned digit;
    if (std::isdigit(c)) {
      digit = static_cast<unsigned>(c - '0');
      if (digit >= base) return false;
    } else if (base == 16 && std::isxdigit(c)) {
      digit = static_cast<unsigned>(std::tolower(c) - 'a' + 10);
    } else {
      break;
    }
    value = value * base + digit;
    if (value > 0xFFFFFFFFull) return false;
  }
  return true;
}
}  // namespace

bool ParseDottedAddress(const char* text, std::uint8_t bytes[4]) {
  if (!text) return false;
  std::uint64_t parts[4] = {};
  int count = 0;
  const char* p = text;
  for (;;) {
    if (count == 4) return false;
    if (!ReadPart(p, parts[count])) return false;
    ++count;
    if (*p != '.') break;
    ++p;
  }
  while (*p) {
    if (!std::isspace(static_cast<unsigned char>(*p))) return false;
    ++p;
  }
  std::uint64_t value = 0;
  switch (count) {
    case 1:
      value = parts[0];
      break;
    case 2:
      if (parts[0] > 0xFF || parts[1] > 0xFFFFFF) return false;
      value = (parts[0] << 24) | parts[1];
      break;
    case 3:
      if (parts[0] > 0xFF || parts[1] > 0xFF || parts[2] > 0xFFFF) return false;
      value = (parts[0] << 24) | (parts[1] << 16) | parts[2];
      break;
    default:
      for (int i = 0; i < 4; ++i) {
        if (parts[i] > 0xFF) return false;
      }
      value = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
      break;
  }
  bytes[0] = static_cast<std::uint8_t>(value >> 24);
  bytes[1] = static_cast<std::uint8_t>(value >> 16);
  bytes[2] = static_cast<std::uint8_t>(value >> 8);
  bytes[3] = static_cast<std::uint8_t>(value);
  return true;
}

bool IsSameSubnet(const std::uint8_t device[4], const std::uint8_t netmask[4], const std::uint8_t local[4]) {
  for (int i = 0; i < 4; ++i) {
    if ((netmask[i] & local[i]) != (netmask[i] & device[i])) return false;
  }
  return true;
}

}  // namespace sw::app
