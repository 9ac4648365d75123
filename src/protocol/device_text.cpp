#include "protocol/device_text.h"

#include <cstdio>

namespace sw::protocol {

std::size_t Utf8Sequence(const std::string& text, std::size_t i, std::uint32_t& codePoint) {
  const auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  const unsigned char lead = byte(i);
  if (lead < 0x80) {
    codePoint = lead;
    return 1;
  }
  std::size_t length;
  std::uint32_t minimum;
  if ((lead & 0xE0) == 0xC0) {
    length = 2, codePoint = lead & 0x1F, minimum = 0x80;
  } else if ((lead & 0xF0) == 0xE0) {
    length = 3, codePoint = lead & 0x0F, minimum = 0x800;
  } else if ((lead & 0xF8) == 0xF0) {
    length = 4, codePoint = lead & 0x07, minimum = 0x10000;
  } else {
    return 0;
  }
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    codePoint = (codePoint << 6) | (byte(i + k) & 0x3F);
  }
  if (codePoint < minimum || codePoint > 0x10FFFF || (codePoint >= 0xD800 && codePoint <= 0xDFFF)) {
    return 0;
  }
  return length;
}

bool IsControlCharacter(std::uint32_t c) { return c < 0x20 || (c >= 0x7F && c <= 0x9F); }

bool IsBidiControl(std::uint32_t c) {
  return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
         (c >= 0x2066 && c <= 0x2069);
}

std::string EscapeDeviceText(const std::string& text) {
  std::string out;
  for (std::size_t i = 0; i < text.size();) {
    std::uint32_t c = 0;
    const std::size_t n = Utf8Sequence(text, i, c);
    char escaped[12];
    if (n == 0) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned char>(text[i]));
      out += escaped;
      ++i;
      continue;
    }
    if (c < 0x80 && IsControlCharacter(c)) {
      std::snprintf(escaped, sizeof escaped, "\\x%02x", static_cast<unsigned>(c));
      out += escaped;
    } else if (IsControlCharacter(c) || IsBidiControl(c)) {
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out.append(text, i, n);
    }
    i += n;
  }
  return out;
}

}  // namespace sw::protocol
