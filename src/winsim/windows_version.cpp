// The simulated machine's Windows versions (windows_version.h).

#include "winsim/windows_version.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <optional>
#include <vector>

#include "base/ascii_case.h"

namespace sw::winsim {

namespace {

constexpr std::uint32_t kWin32s = 0;
constexpr std::uint32_t kWindows = 1;
constexpr std::uint32_t kNt = 2;
constexpr std::uint32_t kCe = 3;
constexpr std::uint8_t kWorkstation = 1;
constexpr std::uint8_t kDomainController = 2;
constexpr std::uint8_t kServer = 3;

struct Preset {
  const char* name;
  std::uint32_t platformId;
  std::uint32_t major;
  std::uint32_t minor;
  std::uint32_t build;        // low 16 bits
  std::uint8_t productType;   // as the extended structure reports it (0 before NT)
  bool extended;              // the release accepts the 156-byte structure
  const char* productOptions; // ProductOptions "ProductType" ("" before NT)
};

const Preset kPresets[] = {
    {"win32s", kWin32s, 3, 10, 0, 0, false, ""},
    {"95", kWindows, 4, 0, 950, 0, false, ""},
    {"95sp1", kWindows, 4, 0, 1000, 0, false, ""},
    {"95osr2", kWindows, 4, 0, 1111, 0, false, ""},
    {"98", kWindows, 4, 10, 1998, 0, false, ""},
    {"98sp1", kWindows, 4, 10, 2000, 0, false, ""},
    {"98se", kWindows, 4, 10, 2222, 0, false, ""},
    {"me", kWindows, 4, 90, 3000, 0, false, ""},
    {"nt351", kNt, 3, 51, 1057, 0, false, "WinNT"},
    {"nt4", kNt, 4, 0, 1381, 0, false, "WinNT"},
    {"nt4server", kNt, 4, 0, 1381, 0, false, "ServerNT"},
    {"2000", kNt, 5, 0, 2195, kWorkstation, true, "WinNT"},
    {"2000server", kNt, 5, 0, 2195, kServer, true, "ServerNT"},
    {"xp", kNt, 5, 1, 2600, kWorkstation, true, "WinNT"},
    {"2003", kNt, 5, 2, 3790, kServer, true, "ServerNT"},
    {"vista", kNt, 6, 0, 6002, kWorkstation, true, "WinNT"},
    {"2008server", kNt, 6, 0, 6001, kServer, true, "ServerNT"},
    {"2008dc", kNt, 6, 0, 6001, kDomainController, true, "LanmanNT"},
    {"win7", kNt, 6, 1, 7601, kWorkstation, true, "WinNT"},
    {"2008r2", kNt, 6, 1, 7601, kServer, true, "ServerNT"},
    {"win8", kNt, 6, 2, 9200, kWorkstation, true, "WinNT"},
    {"ce", kCe, 5, 0, 1400, 0, false, ""},
};

// Fills the raw answers the way that release gives them: the 9x family keeps major and minor in
// the build's high word and sets the top bit of GetVersion.
void ApplyBuild(WindowsVersion& windows, std::uint32_t build) {
  ReportedVersion& r = windows.reported;
  std::uint32_t low = r.majorVersion | (r.minorVersion << 8);
  if (r.platformId == kWindows) {
    r.buildNumber = (r.majorVersion << 24) | (r.minorVersion << 16) | build;
    windows.packedVersion = 0x80000000u | low;
  } else if (r.platformId == kWin32s) {
    r.buildNumber = build;
    windows.packedVersion = 0x80000000u | low;
  } else {
    r.buildNumber = build;
    windows.packedVersion = (build << 16) | low;
  }
}

WindowsVersion FromPreset(const Preset& preset) {
  WindowsVersion windows;
  windows.extendedSucceeds = preset.extended;
  windows.reported.platformId = preset.platformId;
  windows.reported.majorVersion = preset.major;
  windows.reported.minorVersion = preset.minor;
  windows.reported.productType = preset.productType;
  windows.productOptions = preset.productOptions;
  ApplyBuild(windows, preset.build);
  return windows;
}

}  // namespace

bool ParseWindowsVersion(const std::string& text, WindowsVersion& out) {
  std::vector<std::string> tokens;
  std::string token;
  for (char c : base::LowerAscii(text) + "+") {
    if (c == '+') {
      tokens.push_back(token);
      token.clear();
    } else if (!std::isspace(static_cast<unsigned char>(c))) {
      token += c;
    }
  }
  std::string name = tokens[0];
  std::optional<std::uint32_t> build;
  auto colon = name.find(':');
  if (colon != std::string::npos) {
    std::string digits = name.substr(colon + 1);
    name.resize(colon);
    if (digits.empty() || digits.size() > 5 ||
        !std::all_of(digits.begin(), digits.end(), [](char c) { return c >= '0' && c <= '9'; })) {
      return false;
    }
    unsigned long value = std::strtoul(digits.c_str(), nullptr, 10);
    if (value > 0xFFFF) return false;
    build = static_cast<std::uint32_t>(value);
  }
  const Preset* preset = nullptr;
  for (const Preset& p : kPresets) {
    if (name == p.name) preset = &p;
  }
  if (preset == nullptr) return false;
  WindowsVersion windows = FromPreset(*preset);
  if (build) ApplyBuild(windows, *build);
  for (std::size_t i = 1; i < tokens.size(); ++i) {
    const std::string& flag = tokens[i];
    if (flag == "wow64") {
      windows.wow64 = true;
    } else if (flag == "noex") {
      windows.extendedSucceeds = false;
    } else if (flag == "nogetversionex") {
      windows.hasGetVersionEx = false;
    } else if (flag == "nowow64entry") {
      windows.hasIsWow64Process = false;
    } else {
      return false;
    }
  }
  out = windows;
  return true;
}

}  // namespace sw::winsim
