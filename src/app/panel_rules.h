#pragma once
// What the main dialog's panels and the login dialog enable or show, decided from plain values so
// that each rule is tested without a window.

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

namespace sw::app {

// Drive Connect, Disconnect and Configuration after a device click: enabled when, for each of the
// four bytes, (netmask AND local) equals (netmask AND device). `deviceIp` and `netmask` are the IP
// controls' fields as read (a blank field reads 0); `localAddress` is the address text of the
// interface the device answered on, classic syntax, nullptr when unknown. An interface address that
// cannot be read disables them: nothing says the device is near.
bool ShareButtonsEnabled(const std::uint8_t deviceIp[4], const std::uint8_t netmask[4], const char* localAddress);

// The login dialog's user field.
struct LoginUserField {
  std::string text;
  bool editable = true;
};
// Administrator mode (1): "admin", locked. Otherwise on Windows 98 or ME (the version name holds
// "98" or "ME") shares are opened as the logged-on user: that name, locked. A user name that could
// not be read (`windowsUser` nullptr), is empty or is longer than `limit` stays editable and empty:
// a locked field could then never be confirmed.
LoginUserField LoginUserFieldFor(int adminLoginMode, const std::string& versionName, const std::string* windowsUser,
                                 std::size_t limit);

// The drive Disconnect removes: from the "Location" of the selected volume row when one is selected,
// else from the selected item of the drive-letter combo. nullopt when neither is selected (nothing
// happens); "" when the text names no drive (the user is told it cannot be disconnected).
std::optional<std::string> DriveToUnmap(const std::optional<std::string>& volumeLocation,
                                        const std::optional<std::string>& letterItem);

}  // namespace sw::app
