#pragma once
// Port to the conversion of device texts (UTF-8) to the program's narrow (ANSI) texts:
// UTF-8 -> UTF-16 -> the active code page on Windows (ansi_text_win32.cpp). The manifest makes
// that page UTF-8 on Windows 10 1903 and later, so nothing is lost there. The simulated platform
// (ansi_text_sim.cpp) has UTF-8 as its ANSI page: the identity.

#include <string>

namespace sw::share {

// Converts `utf8` into `ansi`. False when a character has no equivalent in the active code page
// or `utf8` is not valid UTF-8: `ansi` then holds the lossy text ('?' in place of what was lost),
// which the caller may show but must not use to name a share.
bool Utf8ToAnsi(const std::string& utf8, std::string& ansi);

}  // namespace sw::share
