#include "app/colored_list_ctrl.h"

namespace sw::app {

void CColoredListCtrl::ClearOverrides() {
  m_backgrounds.clear();
  m_texts.clear();
}

CColoredListCtrl::RowColours CColoredListCtrl::ColoursOf(int row) const {
  RowColours colours{row % 2 == 0 ? m_evenBackground : m_oddBackground, m_normalText};
  for (auto it = m_backgrounds.rbegin(); it != m_backgrounds.rend(); ++it) {
    if (it->first == row) {
      colours.background = it->second;
      break;
    }
  }
  for (auto it = m_texts.rbegin(); it != m_texts.rend(); ++it) {
    if (it->first == row) {
      colours.text = it->second;
      break;
    }
  }
  return colours;
}

void CColoredListCtrl::OnCustomDraw(ui::ListCustomDraw* draw, ui::Lresult* result) {
  switch (draw->dwDrawStage) {
    case ui::kCddsPrePaint:
      *result = ui::kCdrfNotifyItemDraw;
      break;
    case ui::kCddsItemPrePaint:
      *result = ui::kCdrfNotifySubItemDraw;
      break;
    case ui::kCddsItemPrePaint | ui::kCddsSubItem: {
      const RowColours colours = ColoursOf(static_cast<int>(draw->dwItemSpec));
      draw->clrTextBk = colours.background;
      draw->clrText = colours.text;
      *result = ui::kCdrfNewFont;
      break;
    }
    default:
      *result = ui::kCdrfDoDefault;
      break;
  }
}

bool CColoredListCtrl::WindowProc(unsigned message, ui::Wparam wParam, ui::Lparam, ui::Lresult& result) {
  if (message != ui::kWmEraseBkgnd) return false;
  if (!EraseBackground(reinterpret_cast<ui::NativeHandle>(wParam))) return false;
  result = 1;
  return true;
}

}  // namespace sw::app
