#include "app/lan_panel.h"

#include <cstdint>

#include "app/panel_rules.h"
#include "protocol/datagram.h"
#include "resource.h"

namespace sw::app {

namespace {
void ShowAddress(ui::CIPAddressCtrl& control, const std::string& text) {
  std::uint8_t bytes[4];
  if (protocol::ParseIpv4(text.c_str(), bytes)) {
    control.SetAddress(bytes[0], bytes[1], bytes[2], bytes[3]);
  } else {
    control.ClearAddress();
  }
}
}  // namespace

LanPanel::LanPanel(ui::CDialog& dialog) : ui::CPanel(dialog) {}

const ui::MessageMap& LanPanel::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnTimer(kTimerDhcpDone, &LanPanel::OnDhcpTimer),
  };
  static const ui::MessageMap map{entries, sizeof entries / sizeof entries[0]};
  return map;
}

void LanPanel::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_DEVICE_IP, m_deviceIp);
  ui::DDX_Control(pDX, IDC_DEVICE_NETMASK, m_deviceNetmask);
  ui::DDX_Control(pDX, IDC_DEVICE_GATEWAY, m_deviceGateway);
  ui::DDX_Control(pDX, IDC_DHCP, m_dhcpCombo);
  ui::DDX_Control(pDX, IDC_LAN_GROUP, m_group);
}

void LanPanel::ShowIp(const std::string& ip) { ShowAddress(m_deviceIp, ip); }
void LanPanel::ShowNetmask(const std::string& netmask) { ShowAddress(m_deviceNetmask, netmask); }
void LanPanel::ShowGateway(const std::string& gateway) { ShowAddress(m_deviceGateway, gateway); }

void LanPanel::ClearAddresses() {
  m_deviceIp.ClearAddress();
  m_deviceNetmask.ClearAddress();
  m_deviceGateway.ClearAddress();
}

void LanPanel::ShowDhcpState(bool dhcpOn) {
  m_dhcpCombo.SetCurSel(dhcpOn ? 1 : 0);
  m_deviceIp.EnableWindow(!dhcpOn);
  m_deviceNetmask.EnableWindow(!dhcpOn);
  m_deviceGateway.EnableWindow(!dhcpOn);
}

bool LanPanel::ShowsDeviceOnSubnetOf(const char* localAddress) const {
  // The controls' fields as shown; a blank field reads 0.
  unsigned char device[4], mask[4];
  m_deviceIp.GetAddress(device[0], device[1], device[2], device[3]);
  m_deviceNetmask.GetAddress(mask[0], mask[1], mask[2], mask[3]);
  return ShareButtonsEnabled(device, mask, localAddress);
}

// The timer fires once.
void LanPanel::OnDhcpTimer() { Dialog().KillTimer(kTimerDhcpDone); }

}  // namespace sw::app
