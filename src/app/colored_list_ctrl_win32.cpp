// Win32 backend of the coloured list's erase: GDI fills only; the colours are the class's.

#include "app/colored_list_ctrl.h"
#include "ui/win32_headers.h"

namespace sw::app {

namespace {
void Fill(HDC dc, const RECT& r, ui::Colour c) {
  HBRUSH brush = ::CreateSolidBrush(c);
  ::FillRect(dc, &r, brush);
  ::DeleteObject(brush);
}
}  // namespace

bool CColoredListCtrl::EraseBackground(ui::NativeHandle hdc) {
  HWND hwnd = static_cast<HWND>(GetSafeHwnd());
  HDC dc = static_cast<HDC>(hdc);
  RECT client{};
  ::GetClientRect(hwnd, &client);
  Fill(dc, client, m_oddBackground);
  m_lastBands.clear();
  const int top = GetTopIndex();
  const int last = std::min(GetItemCount(), top + GetCountPerPage() + 1);
  for (int row = top; row < last; ++row) {
    RECT band{};
    band.left = LVIR_BOUNDS;
    if (!::SendMessageA(hwnd, LVM_GETITEMRECT, static_cast<WPARAM>(row), reinterpret_cast<LPARAM>(&band))) continue;
    band.left = client.left;
    band.right = client.right;
    const ui::Colour c = row % 2 == 0 ? m_evenBackground : m_oddBackground;
    Fill(dc, band, c);
    m_lastBands.push_back(c);
  }
  return true;
}

}  // namespace sw::app
