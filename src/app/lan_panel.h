#pragma once
// The "LAN" panel of the main dialog: the selected device's IP (1006), netmask (1010) and gateway
// (1011), the "Receive DHCP :" combo (1015), Apply (1007) and timer 1055 that completes a switch
// to DHCP. A device click fills it.

#include <string>

#include "ui/sx_group_box.h"
#include "ui/dialog.h"

namespace sw::app {

constexpr unsigned kTimerDhcpDone = 1055;  // TIMER_DHCP_DONE

class LanPanel : public ui::CPanel {
 public:
  explicit LanPanel(ui::CDialog& dialog);

  const ui::MessageMap& GetMessageMap() const override;
  void DoDataExchange(ui::CDataExchange* pDX) override;

  // Shows a device row's texts in the three address controls (blank when a text is no address).
  void ShowIp(const std::string& ip);
  void ShowNetmask(const std::string& netmask);
  void ShowGateway(const std::string& gateway);
  void ClearAddresses();
  // "Enable" and locked address controls for a device whose DHCP client is on, else "Disable".
  void ShowDhcpState(bool dhcpOn);
  // Whether the device shown is on the subnet of `localAddress` under the netmask shown.
  bool ShowsDeviceOnSubnetOf(const char* localAddress) const;

 private:
  void OnDhcpTimer();

  ui::CIPAddressCtrl m_deviceIp, m_deviceNetmask, m_deviceGateway;
  ui::CComboBox m_dhcpCombo;
  ui::CSxGroupBox m_group;
};

}  // namespace sw::app
