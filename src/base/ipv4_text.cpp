#include "base/ipv4_text.h"

namespace sw::base {

namespace {
bool IsDigit(char c) { return c >= '0' && c <= '9'; }
bool IsSpace(char c) { return c == ' ' || (c >= '\t' && c <= '\r'); }
int HexDigit(char c) {
  if (IsDigit(c)) return c - '0';
  if (c >= 'a' && c <= 'f') return c - 'a' + 10;
  if (c >= 'A' && c <= 'F') return c - 'A' + 10;
  return -1;
}

// Reads one part at text[pos]; false on no digits, a bad digit for its base, or a value past
// 32 bits. A dotted quad part is decimal with at most three digits.
bool ReadPart(std::string_view text, std::size_t& pos, Ipv4Syntax syntax, std::uint64_t& value) {
  const std::size_t start = pos;
  unsigned base = 10;
  if (syntax == Ipv4Syntax::kClassic && pos < text.size() && text[pos] == '0') {
    base = 8;
    ++pos;
    if (pos < text.size() && (text[pos] == 'x' || text[pos] == 'X')) {
      base = 16;
      ++pos;
      if (pos >= text.size() || HexDigit(text[pos]) < 0) return false;
    }
  }
  value = 0;
  for (; pos < text.size(); ++pos) {
    const int digit = base == 16 ? HexDigit(text[pos]) : (IsDigit(text[pos]) ? text[pos] - '0' : -1);
    if (digit < 0) break;
    if (static_cast<unsigned>(digit) >= base) return false;
    value = value * base + static_cast<unsigned>(digit);
    if (value > 0xFFFFFFFFull) return false;
  }
  if (syntax == Ipv4Syntax::kDottedQuad) {
    const std::size_t digits = pos - start;
    return digits >= 1 && digits <= 3 && value <= 0xFF;
  }
  return pos > start;  // a lone "0" is a part; "0x" was refused above
}
}  // namespace

bool ParseIpv4(std::string_view text, Ipv4Syntax syntax, std::uint8_t out[4]) {
  std::uint64_t parts[4] = {};
  int count = 0;
  std::size_t pos = 0;
  for (;;) {
    if (count == 4) return false;
    if (!ReadPart(text, pos, syntax, parts[count])) return false;
    ++count;
    if (pos >= text.size() || text[pos] != '.') break;
    ++pos;
  }
  if (syntax == Ipv4Syntax::kClassic) {
    while (pos < text.size() && IsSpace(text[pos])) ++pos;
  } else if (count != 4) {
    return false;
  }
  if (pos != text.size()) return false;

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
      for (const std::uint64_t part : parts) {
        if (part > 0xFF) return false;
      }
      value = (parts[0] << 24) | (parts[1] << 16) | (parts[2] << 8) | parts[3];
      break;
  }
  out[0] = static_cast<std::uint8_t>(value >> 24);
  out[1] = static_cast<std::uint8_t>(value >> 16);
  out[2] = static_cast<std::uint8_t>(value >> 8);
  out[3] = static_cast<std::uint8_t>(value);
  return true;
}

std::string FormatIpv4(const std::uint8_t bytes[4]) {
  return std::to_string(bytes[0]) + "." + std::to_string(bytes[1]) + "." + std::to_string(bytes[2]) + "." +
         std::to_string(bytes[3]);
}

}  // namespace sw::base
