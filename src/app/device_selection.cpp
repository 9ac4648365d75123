#include "app/device_selection.h"

#include "protocol/device_table.h"
#include "protocol/protocol_state.h"

namespace sw::app {

void DeviceSelection::SetSelectedDeviceAddress(const std::string& ip) {
  protocol::CopyText(m_address, sizeof m_address, ip.c_str());
}

const char* DeviceSelection::SelectedDeviceIp() const { return protocol::GetProtocolState().SelectedDeviceIp; }

void DeviceSelection::SetSelectedDeviceIp(const std::string& ip) {
  protocol::SetSelectedDeviceIp(protocol::GetProtocolState(), ip.c_str());
}

int DeviceSelection::TopRow() const { return m_list ? m_list->GetTopIndex() : 0; }

std::optional<DeviceRow> DeviceSelection::RowFrom(int topRow) const {
  if (!m_list) return std::nullopt;
  const int row = SelectedRowFrom(*m_list, topRow);
  if (row < 0) return std::nullopt;
  return DeviceRow{m_list->GetItemText(row, 0), m_list->GetItemText(row, 1)};
}

int SelectedRowFrom(const ui::CListCtrl& list, int topRow) {
  const int count = list.GetItemCount();
  for (int row = topRow < 0 ? 0 : topRow; row < count; ++row) {
    if (list.GetItemState(row, ui::kLvisSelected) & ui::kLvisSelected) return row;
  }
  return -1;
}

}  // namespace sw::app
