#pragma once
// The "LAN" panel of the main dialog: the selected device's IP (1006), netmask (1010) and gateway
// (1011), the "Receive DHCP :" combo (1015), Apply (1007) and timer 1055 that completes a switch
// to DHCP. A device click fills it; Apply changes the device's address after an administrator
// login check, ending the iSCSI use of the device first.

#include <cstdint>
#include <string>

#include "app/device_selection.h"
#include "app/lan_settings.h"
#include "ui/sx_group_box.h"
#include "ui/dialog.h"

namespace sw::app {

class DevicePanel;
class IscsiPanel;

constexpr unsigned kTimerDhcpDone = 1055;  // TIMER_DHCP_DONE

class LanPanel : public ui::CPanel {
 public:
  // The panels are the dialog's members; they may still be under construction here.
  LanPanel(ui::CDialog& dialog, DeviceSelection& selection, IscsiPanel& iscsi, DevicePanel& devices);

  const ui::MessageMap& GetMessageMap() const override;
  void DoDataExchange(ui::CDataExchange* pDX) override;

  // Shows a device row's texts in the three address controls (blank when a text is no address).
  void ShowIp(const std::string& ip);
  void ShowNetmask(const std::string& netmask);
  void ShowGateway(const std::string& gateway);
  void ClearAddresses();
  // "Enable" and locked address controls for a device whose DHCP client is on, else "Disable".
  void ShowDhcpState(bool dhcpOn);
  // Whether the device shown is on the subnet of `localAddress` under the netmask shown; not when
  // either control is blank (the device's text was unreadable) or `localAddress` is unknown.
  bool ShowsDeviceOnSubnetOf(const char* localAddress) const;

  // Shows the first octet rule `a.b.c.d` breaks ("Error", information icon), puts the focus on
  // that octet's field of the kind's control and returns false; true when every octet passes.
  bool ValidateOctets(AddressKind kind, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d);

 private:
  void OnDhcpSelChange();
  void OnApply();
  void OnDhcpTimer();

  void SwitchToDhcp();
  void ChangeStaticAddress();
  // Logs out every connected target of the device and forgets its portal.
  void EndIscsiUse();
  // "admin" with the empty password, else what the user gives the login dialog.
  bool CheckAdministrator();
  void EnableAddresses(bool enable);
  ui::CIPAddressCtrl& ControlOf(AddressKind kind);
  // Reads a control's octets; false (the warning shown) when the first one is 127.
  bool ReadNonLoopback(AddressKind kind, std::uint8_t octets[4]);
  void Warn(const char* text);
  void Fail(const char* text);

  DeviceSelection& m_selection;
  IscsiPanel& m_iscsi;
  DevicePanel& m_devices;
  ui::CIPAddressCtrl m_deviceIp, m_deviceNetmask, m_deviceGateway;
  ui::CComboBox m_dhcpCombo;
  ui::CSxGroupBox m_group;
};

}  // namespace sw::app
