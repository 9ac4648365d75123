// Simulated backend of the text conversion: the simulated Windows has UTF-8 as its ANSI code page,
// so a valid UTF-8 text passes unchanged; invalid sequences become '?' as Windows would make them.

#include "share/ansi_text.h"

namespace sw::share {

namespace {

// Length of the valid UTF-8 sequence at text[i], 0 when it is not valid.
std::size_t SequenceLength(const std::string& text, std::size_t i) {
  auto byte = [&](std::size_t k) { return static_cast<unsigned char>(text[k]); };
  unsigned char lead = byte(i);
  std::size_t length;
  unsigned min;
  unsigned value;
  if (lead < 0x80) return 1;
  if (lead >= 0xC2 && lead <= 0xDF) { length = 2; min = 0x80; value = lead & 0x1Fu; }
  else if (lead >= 0xE0 && lead <= 0xEF) { length = 3; min = 0x800; value = lead & 0x0Fu; }
  else if (lead >= 0xF0 && lead <= 0xF4) { length = 4; min = 0x10000; value = lead & 0x07u; }
  else return 0;
  if (i + length > text.size()) return 0;
  for (std::size_t k = 1; k < length; ++k) {
    if ((byte(i + k) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i + k) & 0x3Fu);
  }
  if (value < min || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  return length;
}

}  // namespace

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  std::string out;
  bool exact = true;
  for (std::size_t i = 0; i < utf8.size();) {
    std::size_t length = SequenceLength(utf8, i);
    if (length == 0) {
      out.push_back('?');
      exact = false;
      ++i;
    } else {
      out.append(utf8, i, length);
      i += length;
    }
  }
  ansi = out;
  return exact;
}

}  // namespace sw::share
