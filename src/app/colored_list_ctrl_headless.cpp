// Headless backend of the coloured list's erase: records the band of every visible row.

#include "app/colored_list_ctrl.h"

namespace sw::app {

bool CColoredListCtrl::EraseBackground(ui::NativeHandle) {
  m_lastBands.clear();
  const int top = GetTopIndex();
  const int last = std::min(GetItemCount(), top + GetCountPerPage());
  for (int row = top; row < last; ++row) m_lastBands.push_back(row % 2 == 0 ? m_evenBackground : m_oddBackground);
  return true;
}

}  // namespace sw::app
