#pragma once
// Reading texts that came from a device (names, share names, target entries): UTF-8 decoding and
// the characters that must never reach a terminal, a list or a remote name as they are, because
// they are invisible or change what is shown around them.

#include <cstddef>
#include <cstdint>
#include <string>

namespace sw::protocol {

// Length of the well-formed UTF-8 sequence at text[i] and its code point; 0 when the byte there
// does not start one (overlong forms, surrogates and values past U+10FFFF included).
std::size_t Utf8Sequence(const std::string& text, std::size_t i, std::uint32_t& codePoint);

// C0 controls, DEL and the C1 controls U+0080-U+009F.
bool IsControlCharacter(std::uint32_t codePoint);
// The bidirectional controls: marks (U+061C, U+200E, U+200F), embeddings and overrides
// (U+202A-U+202E) and isolates (U+2066-U+2069).
bool IsBidiControl(std::uint32_t codePoint);

// `text` for a terminal: well-formed UTF-8 kept, except control and bidi characters, which become
// a visible escape ("\x1b", "\u202e"), and bytes that are not UTF-8, which become "\xHH" (a raw
// 0x9B is CSI on an 8-bit terminal). The result is plain ASCII where it was escaped.
std::string EscapeDeviceText(const std::string& text);

}  // namespace sw::protocol
