#include "share/share_names.h"

#include <cstdint>
#include <cstring>

#include "protocol/device_text.h"
#include "share/drive_connection_table.h"

namespace sw::share {

namespace {

bool IsInvisible(std::uint32_t c) { return protocol::IsControlCharacter(c) || protocol::IsBidiControl(c); }

// Blanks beyond ASCII: no-break space, the typographic spaces and the ideographic space.
bool IsBlank(std::uint32_t c) {
  return c == 0xA0 || c == 0x1680 || (c >= 0x2000 && c <= 0x200B) || c == 0x2028 || c == 0x2029 ||
         c == 0x202F || c == 0x205F || c == 0x3000 || c == 0xFEFF;
}

}  // namespace

bool IsSafeNetworkName(const std::string& name) {
  if (name.empty() || name == "." || name == "..") return false;
  for (std::size_t i = 0; i < name.size();) {
    std::uint32_t c = 0;
    std::size_t n = protocol::Utf8Sequence(name, i, c);
    // A byte that is not UTF-8 is an ANSI letter here; the conversion for the list decides later.
    if (n == 0) {
      c = static_cast<unsigned char>(name[i]) < 0x80 ? static_cast<unsigned char>(name[i]) : 0xFFFD;
      n = 1;
    }
    if (c == '\\' || c == '/' || IsInvisible(c)) return false;
    i += n;
  }
  return true;
}

bool IsSafeServerName(const std::string& name) {
  if (!IsSafeNetworkName(name)) return false;
  static const char kAsciiPunctuation[] = "-._!#$&()^{}~";
  for (std::size_t i = 0; i < name.size();) {
    std::uint32_t c = 0;
    const std::size_t n = protocol::Utf8Sequence(name, i, c);
    if (n == 0) return false;
    if (c < 0x80) {
      const bool alnum = (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9');
      if (!alnum && std::strchr(kAsciiPunctuation, static_cast<int>(c)) == nullptr) return false;
    } else if (IsInvisible(c) || IsBlank(c)) {
      return false;
    }
    i += n;
  }
  return true;
}

bool BuildRemoteName(const std::string& deviceName, const std::string& shareName, std::string& out) {
  if (!IsSafeServerName(deviceName) || !IsSafeNetworkName(shareName)) return false;
  std::string remote = "\\\\" + deviceName + "\\" + shareName;
  if (remote.size() >= kRemoteNameSize) return false;
  out = remote;
  return true;
}

}  // namespace sw::share
