#include "app/device_panel.h"

#include "app/device_port.h"
#include "app/drive_panel.h"
#include "app/iscsi_panel.h"
#include "app/lan_panel.h"
#include "app/list_columns.h"
#include "protocol/discovery.h"
#include "protocol/exchanges.h"
#include "protocol/protocol_state.h"
#include "resource.h"
#include "share/web_configuration.h"

namespace sw::app {

namespace {
constexpr ColumnSpec kDeviceColumns[] = {{"Name", 94}, {"IP", 90}, {"Netmask", 90}, {"Gateway", 90}};
constexpr const char* kSelectDeviceToConfigureText = "Please select a device to configure.";
}  // namespace

DevicePanel::DevicePanel(ui::CDialog& dialog, DeviceSelection& selection, LanPanel& lan, IscsiPanel& iscsi,
                         DrivePanel& drives)
    : ui::CPanel(dialog), m_selection(selection), m_lan(lan), m_iscsi(iscsi), m_drives(drives) {}

const ui::MessageMap& DevicePanel::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnNotify(IDC_DEVICE_LIST, ui::kNmClick, &DevicePanel::OnDeviceListClick),
      ui::OnCommand(IDC_REFRESH, ui::kBnClicked, &DevicePanel::OnRefresh),
      ui::OnCommand(IDC_CONFIGURATION, ui::kBnClicked, &DevicePanel::OnConfiguration),
  };
  static const ui::MessageMap map{entries, sizeof entries / sizeof entries[0]};
  return map;
}

void DevicePanel::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_DEVICE_LIST, m_deviceList);
  ui::DDX_Control(pDX, IDC_REFRESH, m_refresh);
  ui::DDX_Control(pDX, IDC_CONFIGURATION, m_configuration);
  ui::DDX_Control(pDX, IDC_DEVICE_GROUP, m_group);
  m_selection.AttachList(&m_deviceList);
}

void DevicePanel::InsertColumns() { app::InsertColumns(m_deviceList, kDeviceColumns); }

void DevicePanel::FillDeviceList() {
  m_deviceList.SetRedraw(false);
  int row = 0;
  for (const protocol::DeviceRecord* d = protocol::GetProtocolState().deviceList.head; d; d = d->next, ++row) {
    int item = m_deviceList.InsertItem(row, d->name);
    m_deviceList.SetItemText(item, 1, d->ipAddress);
    m_deviceList.SetItemText(item, 2, d->netmask);
    m_deviceList.SetItemText(item, 3, d->gateway);
  }
  m_deviceList.SetRedraw(true);
}

void DevicePanel::Refresh() {
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  m_deviceList.SetRedraw(false);
  m_deviceList.DeleteAllItems();
  m_drives.BeginRefill();
  m_iscsi.BeginRefill();
  m_lan.ClearAddresses();

  m_refresh.EnableWindow(false);
  protocol::DiscoverDevices(protocol::GetProtocolState(), DevicePort(), protocol::kDefaultFilterA,
                            protocol::kDefaultFilterB);
  m_deviceList.SetRedraw(true);
  m_deviceList.Invalidate();
  m_deviceList.UpdateWindow();
  m_drives.EndRefill();
  m_iscsi.EndRefill();
  m_refresh.EnableWindow(true);

  m_iscsi.DisableTargetButtons();
  FillDeviceList();
  m_selection.DeviceSelected = 0;
}

void DevicePanel::EmptyListsForAddressChange() {
  m_deviceList.SetRedraw(false);
  m_deviceList.DeleteAllItems();
  m_drives.BeginRefill();
  m_iscsi.BeginRefill();
  m_iscsi.DisableTargetButtons();
  m_refresh.EnableWindow(false);
  m_deviceList.SetRedraw(true);
  m_deviceList.Invalidate();
  m_deviceList.UpdateWindow();
  m_drives.EndRefill();
  m_iscsi.EndRefill();
}

void DevicePanel::Rediscover() {
  protocol::DiscoverDevices(protocol::GetProtocolState(), DevicePort(), protocol::kDefaultFilterA,
                            protocol::kDefaultFilterB);
  m_refresh.EnableWindow(true);
  FillDeviceList();
}

void DevicePanel::OnRefresh() { Refresh(); }

void DevicePanel::OnDeviceListClick(ui::NotifyHeader*, ui::Lresult* result) {
  // The share query blocks for up to about 2.3 s when the device is silent.
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  m_selection.DeviceSelected = 1;
  m_deviceList.SetFocus();
  const int last = m_deviceList.GetItemCount();
  for (int row = m_deviceList.GetTopIndex(); row < last; ++row) {
    if (m_deviceList.GetItemState(row, ui::kLvisSelected)) SelectDeviceRow(row);
  }
  *result = 0;
}

void DevicePanel::SelectDeviceRow(int row) {
  protocol::ProtocolState& state = protocol::GetProtocolState();
  const DeviceRow device{m_deviceList.GetItemText(row, 0), m_deviceList.GetItemText(row, 1)};
  m_selection.SetSelectedDeviceIp(device.ip);
  m_lan.ShowIp(device.ip);

  const protocol::DeviceRecord* record = nullptr;
  for (const protocol::DeviceRecord* d = state.deviceList.head; d; d = d->next) {
    if (device.ip != d->ipAddress) continue;
    record = d;
    m_lan.ShowDhcpState(d->dhcpState[0] == '1');
    if (d->iscsiCapable == 1) {
      m_iscsi.OnIscsiDeviceSelected();
    } else {
      m_iscsi.ShowNoTargets();
    }
  }

  m_lan.ShowNetmask(m_deviceList.GetItemText(row, 2));

  // Share, web and drive buttons only make sense for a device this host can reach directly. They
  // follow this row even when the table no longer knows its address: no interface, not near.
  const char* local = nullptr;
  if (record) {
    const auto& interfaces = state.localInterfaces;
    const int index = record->interfaceIndex;
    if (index >= 0 && index < interfaces.count) local = interfaces.address[index];
  }
  const bool sameSubnet = m_lan.ShowsDeviceOnSubnetOf(local);
  m_drives.EnableMapping(sameSubnet);
  m_configuration.EnableWindow(sameSubnet);

  m_lan.ShowGateway(m_deviceList.GetItemText(row, 3));

  // A device that does not answer leaves the share list empty; nothing is shown.
  protocol::QueryShareNames(state, DevicePort());

  m_selection.SetSelectedDeviceAddress(device.ip);
  m_drives.ShowVolumes(device);
}

void DevicePanel::OnConfiguration() {
  const int deviceTop = m_deviceList.GetTopIndex();
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  const std::optional<DeviceRow> device = m_selection.RowFrom(deviceTop);
  if (!device) {
    Dialog().MessageBox(kSelectDeviceToConfigureText, "Warning", ui::kMbOk | ui::kMbIconExclamation);
    return;
  }
  if (!m_drives.CheckDeviceReachable(device->ip)) return;
  share::LaunchWebConfiguration(device->ip);
}

}  // namespace sw::app
