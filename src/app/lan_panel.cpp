#include "app/lan_panel.h"

#include "app/device_panel.h"
#include "app/device_port.h"
#include "app/iscsi_panel.h"
#include "app/login_dlg.h"
#include "app/logout_context.h"
#include "app/panel_rules.h"
#include "base/ipv4_text.h"
#include "protocol/datagram.h"
#include "protocol/exchanges.h"
#include "protocol/protocol_state.h"
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

void ReadOctets(const ui::CIPAddressCtrl& control, std::uint8_t octets[4]) {
  control.GetAddress(octets[0], octets[1], octets[2], octets[3]);
}
}  // namespace

LanPanel::LanPanel(ui::CDialog& dialog, DeviceSelection& selection, IscsiPanel& iscsi, DevicePanel& devices)
    : ui::CPanel(dialog), m_selection(selection), m_iscsi(iscsi), m_devices(devices) {}

const ui::MessageMap& LanPanel::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnCommand(IDC_DHCP, ui::kCbnSelChange, &LanPanel::OnDhcpSelChange),
      ui::OnCommand(IDC_APPLY, ui::kBnClicked, &LanPanel::OnApply),
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

void LanPanel::EnableAddresses(bool enable) {
  m_deviceIp.EnableWindow(enable);
  m_deviceNetmask.EnableWindow(enable);
  m_deviceGateway.EnableWindow(enable);
}

void LanPanel::ShowDhcpState(bool dhcpOn) {
  m_dhcpCombo.SetCurSel(dhcpOn ? 1 : 0);
  EnableAddresses(!dhcpOn);
}

bool LanPanel::ShowsDeviceOnSubnetOf(const char* localAddress) const {
  // A device text that was no dotted quad is shown blank; read as 0, a blank netmask would put
  // every device on the subnet.
  if (m_deviceIp.IsBlank() || m_deviceNetmask.IsBlank()) return false;
  unsigned char device[4], mask[4];
  m_deviceIp.GetAddress(device[0], device[1], device[2], device[3]);
  m_deviceNetmask.GetAddress(mask[0], mask[1], mask[2], mask[3]);
  return ShareButtonsEnabled(device, mask, localAddress);
}

void LanPanel::OnDhcpSelChange() {
  const int selected = m_dhcpCombo.GetCurSel();
  if (selected < 0) return;
  if (m_dhcpCombo.GetLBText(selected) == kDhcpEnableItem) {
    EnableAddresses(false);
    m_iscsi.DisableTargetButtons();
  } else {
    EnableAddresses(true);
  }
}

ui::CIPAddressCtrl& LanPanel::ControlOf(AddressKind kind) {
  switch (kind) {
    case AddressKind::Ip: return m_deviceIp;
    case AddressKind::Netmask: return m_deviceNetmask;
    case AddressKind::Gateway: break;
  }
  return m_deviceGateway;
}

bool LanPanel::ValidateOctets(AddressKind kind, std::uint8_t a, std::uint8_t b, std::uint8_t c, std::uint8_t d) {
  const std::uint8_t octets[4] = {a, b, c, d};
  const std::optional<OctetFault> fault = FirstBadOctet(kind, octets);
  if (!fault) return true;
  Dialog().MessageBox(fault->message, "Error", ui::kMbOk | ui::kMbIconInformation);
  ControlOf(kind).SetFieldFocus(fault->field);
  return false;
}

void LanPanel::Warn(const char* text) { Dialog().MessageBox(text, "Warning", ui::kMbOk | ui::kMbIconExclamation); }
void LanPanel::Fail(const char* text) { Dialog().MessageBox(text, "Error", ui::kMbOk | ui::kMbIconStop); }

void LanPanel::OnApply() {
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  AdminLoginMode = 1;
  if (m_selection.DeviceSelected == 0) {
    Fail(kSelectDeviceFirstMessage);
    return;
  }
  const int selected = m_dhcpCombo.GetCurSel();
  if (selected < 0) return;
  if (m_dhcpCombo.GetLBText(selected) == kDhcpEnableItem) {
    SwitchToDhcp();
  } else {
    ChangeStaticAddress();
  }
}

void LanPanel::EndIscsiUse() {
  const std::vector<std::string> statuses = m_iscsi.TargetRowStatuses();
  if (statuses.empty()) return;
  m_iscsi.LogoutInProgress = 1;
  iscsi::CWmiWrapper wmi;
  iscsi::LogoutContext context = MakeLogoutContext(Dialog(), wmi, m_selection.SelectedDeviceIp());
  iscsi::EndDeviceIscsiUse(statuses, m_iscsi.Targets().TargetNames, context);
}

bool LanPanel::CheckAdministrator() {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  protocol::LoginCredentials& credentials = state.loginCredentials;
  protocol::CopyText(credentials.userName, sizeof credentials.userName, kDefaultAdminUser);
  protocol::CopyText(credentials.password, sizeof credentials.password, kDefaultAdminPassword);
  if (protocol::CheckAdminLogin(state, DevicePort())) return true;
  // Cancel leaves the credentials alone: the default pair is simply tried again.
  login dialog(&Dialog());
  dialog.DoModal();
  return protocol::CheckAdminLogin(state, DevicePort());
}

void LanPanel::SwitchToDhcp() {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  EndIscsiUse();
  if (!CheckAdministrator()) {
    Fail(kWrongAdminPasswordMessage);
    return;
  }
  if (!protocol::EnableDeviceDhcp(state, DevicePort())) {
    Fail(kDhcpSwitchFailedMessage);
    return;
  }
  Dialog().MessageBox(kDhcpWaitMessage, "Confirm", ui::kMbOk | ui::kMbIconInformation);
  ui::SetCursor(ui::LoadAppCursor(IDR_BUSY_CURSOR));

  ClearAddresses();
  EnableAddresses(true);
  m_selection.DeviceSelected = 0;
  m_devices.EmptyListsForAddressChange();

  // The timer's message waits in the queue until the device has had its time; the window keeps
  // painting meanwhile, but nothing else is taken from the queue.
  Dialog().SetTimer(kTimerDhcpDone, kDhcpSettleMs);
  ui::WaitPaintingOnly(kDhcpSettleMs);
}

bool LanPanel::ReadNonLoopback(AddressKind kind, std::uint8_t octets[4]) {
  ReadOctets(ControlOf(kind), octets);
  if (octets[0] != 127) return true;
  Warn(LoopbackAddressMessage(kind));
  return false;
}

void LanPanel::ChangeStaticAddress() {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  for (AddressKind kind : {AddressKind::Ip, AddressKind::Netmask, AddressKind::Gateway}) {
    if (ControlOf(kind).IsBlank()) {
      Warn(BlankAddressMessage(kind));
      return;
    }
  }

  std::uint8_t ip[4], netmask[4], gateway[4];
  if (!ReadNonLoopback(AddressKind::Ip, ip) || !ValidateOctets(AddressKind::Ip, ip[0], ip[1], ip[2], ip[3])) return;
  const std::string ipText = base::FormatIpv4(ip);

  // Sessions end before the remaining checks, so a refused netmask or gateway still leaves the
  // device's targets disconnected.
  EndIscsiUse();
  protocol::CopyText(state.PendingIp, sizeof state.PendingIp, ipText.c_str());

  if (!ReadNonLoopback(AddressKind::Netmask, netmask) ||
      !ValidateOctets(AddressKind::Netmask, netmask[0], netmask[1], netmask[2], netmask[3])) {
    return;
  }
  const std::string netmaskText = base::FormatIpv4(netmask);
  protocol::CopyText(state.PendingNetmask, sizeof state.PendingNetmask, netmaskText.c_str());

  if (!ReadNonLoopback(AddressKind::Gateway, gateway) ||
      !ValidateOctets(AddressKind::Gateway, gateway[0], gateway[1], gateway[2], gateway[3])) {
    return;
  }
  if (const char* message = CrossCheckMessage(ip, netmask, gateway)) {
    Warn(message);
    return;
  }
  const std::string gatewayText = base::FormatIpv4(gateway);
  protocol::CopyText(state.PendingGateway, sizeof state.PendingGateway, gatewayText.c_str());

  if (!CheckAdministrator()) {
    Fail(kWrongAdminPasswordMessage);
    return;
  }
  // Not examined: a device that did not confirm is found wherever it really is by the new search.
  protocol::SetDeviceStaticAddress(state, DevicePort());

  ClearAddresses();
  m_devices.EmptyListsForAddressChange();
  m_devices.Rediscover();
}

// The timer fires once: the device has had its time to obtain an address.
void LanPanel::OnDhcpTimer() {
  Dialog().KillTimer(kTimerDhcpDone);
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  Dialog().MessageBox(kDhcpEnabledMessage, "Confirm", ui::kMbOk | ui::kMbIconInformation);
  m_devices.Rediscover();
}

}  // namespace sw::app
