#include "app/panel_rules.h"

#include "base/ipv4_text.h"
#include "share/drive_connection_table.h"

namespace sw::app {

bool ShareButtonsEnabled(const std::uint8_t deviceIp[4], const std::uint8_t netmask[4], const char* localAddress) {
  std::uint8_t local[4];
  if (!base::ParseDottedAddress(localAddress, local)) return false;
  for (int i = 0; i < 4; ++i) {
    if ((netmask[i] & local[i]) != (netmask[i] & deviceIp[i])) return false;
  }
  return true;
}

LoginUserField LoginUserFieldFor(int adminLoginMode, const std::string& versionName, const std::string* windowsUser,
                                 std::size_t limit) {
  if (adminLoginMode == 1) return {"admin", false};
  const bool nineX = versionName.find("ME") != std::string::npos || versionName.find("98") != std::string::npos;
  if (nineX && windowsUser && !windowsUser->empty() && windowsUser->size() <= limit) return {*windowsUser, false};
  return {std::string(), true};
}

std::optional<std::string> DriveToUnmap(const std::optional<std::string>& volumeLocation,
                                        const std::optional<std::string>& letterItem) {
  const std::optional<std::string>& text = volumeLocation ? volumeLocation : letterItem;
  if (!text) return std::nullopt;
  return share::DriveNameOf(*text);
}

}  // namespace sw::app
