#pragma once
// Win32 names a resource script may use (window, dialog and control styles, dialog command ids,
// language ids), with their values, so the template parser needs no Windows header.

#include <cstdint>
#include <string>

namespace sw::ui {

// True and the value when `name` is a known Win32 constant; false otherwise.
bool LookupWin32Name(const std::string& name, int64_t& value);

// Style bits the template parser and its users refer to by name.
namespace rc {
constexpr uint32_t kWsChild = 0x40000000, kWsVisible = 0x10000000, kWsDisabled = 0x08000000;
constexpr uint32_t kWsPopup = 0x80000000, kWsBorder = 0x00800000, kWsCaption = 0x00C00000;
constexpr uint32_t kWsSysMenu = 0x00080000, kWsGroup = 0x00020000, kWsTabStop = 0x00010000;
constexpr uint32_t kDsSetFont = 0x40;
}  // namespace rc

}  // namespace sw::ui
