// Win32 backend of the text conversion: UTF-8 -> UTF-16 (MultiByteToWideChar) -> the active code
// page (WideCharToMultiByte); no logic here beyond noticing a lossy conversion.

#include <windows.h>

#include <vector>

#include "share/ansi_text.h"

namespace sw::share {

bool Utf8ToAnsi(const std::string& utf8, std::string& ansi) {
  if (utf8.empty()) {
    ansi.clear();
    return true;
  }
  int length = static_cast<int>(utf8.size());
  bool exact = true;
  int wideLength = ::MultiByteToWideChar(CP_UTF8, MB_ERR_INVALID_CHARS, utf8.data(), length, nullptr, 0);
  if (wideLength == 0) {
    exact = false;  // not valid UTF-8: convert again, replacing what is invalid
    wideLength = ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, nullptr, 0);
    if (wideLength == 0) return false;
  }
  std::vector<wchar_t> wide(static_cast<std::size_t>(wideLength));
  ::MultiByteToWideChar(CP_UTF8, 0, utf8.data(), length, wide.data(), wideLength);

  // The UTF-8 code page takes neither a default character nor the "used default" flag.
  bool utf8Page = ::GetACP() == CP_UTF8;
  BOOL usedDefault = FALSE;
  DWORD flags = utf8Page ? 0 : WC_NO_BEST_FIT_CHARS;
  LPBOOL usedDefaultOut = utf8Page ? nullptr : &usedDefault;
  int narrowLength = ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, nullptr, 0, nullptr,
                                           usedDefaultOut);
  if (narrowLength == 0) return false;
  std::string out(static_cast<std::size_t>(narrowLength), '\0');
  ::WideCharToMultiByte(CP_ACP, flags, wide.data(), wideLength, &out[0], narrowLength, nullptr,
                        usedDefaultOut);
  ansi = out;
  return exact && !usedDefault;
}

}  // namespace sw::share
