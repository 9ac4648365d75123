// Win32 backend of the partition bar: draws a paint plan with GDI into a memory bitmap and copies
// it to the window in one BitBlt, so hovering does not flicker. No decisions here.

#include "app/button_bar_ctrl.h"
#include "ui/win32_headers.h"

namespace sw::app {

namespace {
RECT R(const disk::BarRect& r) { return RECT{r.left, r.top, r.right, r.bottom}; }

void FillSolid(HDC dc, int x, int y, int cx, int cy, COLORREF c) {
  ::SetBkColor(dc, c);
  RECT r{x, y, x + cx, y + cy};
  ::ExtTextOutA(dc, 0, 0, ETO_OPAQUE, &r, nullptr, 0, nullptr);
}

// Top and left edges in one colour, bottom and right in the other, one pixel wide.
void Draw3dRect(HDC dc, const disk::BarRect& r, COLORREF topLeft, COLORREF bottomRight) {
  const int cx = r.right - r.left, cy = r.bottom - r.top;
  FillSolid(dc, r.left, r.top, cx - 1, 1, topLeft);
  FillSolid(dc, r.left, r.top, 1, cy - 1, topLeft);
  FillSolid(dc, r.right - 1, r.top, 1, cy, bottomRight);
  FillSolid(dc, r.left, r.bottom - 1, cx, 1, bottomRight);
}

void Frame(HDC dc, const disk::BarRect& r, COLORREF c) {
  HBRUSH brush = ::CreateSolidBrush(c);
  RECT rect = R(r);
  ::FrameRect(dc, &rect, brush);
  ::DeleteObject(brush);
}

void HatchedRectangle(HDC dc, const disk::BarRect& r, COLORREF pen, COLORREF hatch) {
  HPEN p = ::CreatePen(PS_SOLID, 2, pen);
  HBRUSH b = ::CreateHatchBrush(HS_BDIAGONAL, hatch);
  HGDIOBJ oldPen = ::SelectObject(dc, p);
  HGDIOBJ oldBrush = ::SelectObject(dc, b);
  ::Rectangle(dc, r.left, r.top, r.right, r.bottom);
  ::SelectObject(dc, oldBrush);
  ::SelectObject(dc, oldPen);
  ::DeleteObject(b);
  ::DeleteObject(p);
}

HFONT Arial(int height) {
  return ::CreateFontA(height, 0, 0, 0, FW_NORMAL, FALSE, FALSE, FALSE, ANSI_CHARSET, OUT_DEFAULT_PRECIS,
                       CLIP_DEFAULT_PRECIS, DEFAULT_QUALITY, DEFAULT_PITCH | FF_SWISS, "Arial");
}
}  // namespace

void CButtonBarCtrl::CreateFonts() {
  m_font13 = Arial(13);
}

void CButtonBarCtrl::DestroyFonts() {
  if (m_font13) ::DeleteObject(static_cast<HGDIOBJ>(m_font13));
  m_font13 = nullptr;
}

void CButtonBarCtrl::Draw(const BarPaint& plan) {
  HWND hwnd = static_cast<HWND>(GetSafeHwnd());
  PAINTSTRUCT ps;
  HDC screen = ::BeginPaint(hwnd, &ps);
  const int cx = plan.client.right - plan.client.left, cy = plan.client.bottom - plan.client.top;
  HDC dc = ::CreateCompatibleDC(screen);
  HBITMAP bitmap = ::CreateCompatibleBitmap(screen, cx > 0 ? cx : 1, cy > 0 ? cy : 1);
  HGDIOBJ oldBitmap = ::SelectObject(dc, bitmap);

  RECT client = R(plan.client);
  FillSolid(dc, client.left, client.top, cx, cy, kBarBackground);
  ::DrawFocusRect(dc, &client);
  HGDIOBJ oldFont = ::SelectObject(dc, static_cast<HGDIOBJ>(m_font13));
  ::SetBkMode(dc, TRANSPARENT);
  for (const SegmentPaint& s : plan.segments) {
    Draw3dRect(dc, s.outer, kFrameLight, kFrameDark);
    if (!s.selected) {
      if (s.hovered) Frame(dc, s.inner, kHoverFrame);
    } else {
      Draw3dRect(dc, s.inner, kFrameDark, kFrameLight);
      HatchedRectangle(dc, s.fill, s.fillPen, s.fillHatch);
      if (s.hasInnerFrame) Frame(dc, s.innerFrame, s.innerFrameColour);
    }
    ::SetBkMode(dc, TRANSPARENT);
    RECT text = R(s.textRect);
    ::DrawTextA(dc, s.text.c_str(), -1, &text, DT_LEFT | DT_TOP);
  }
  ::SelectObject(dc, oldFont);

  ::BitBlt(screen, 0, 0, cx, cy, dc, 0, 0, SRCCOPY);
  ::SelectObject(dc, oldBitmap);
  ::DeleteObject(bitmap);
  ::DeleteDC(dc);
  ::EndPaint(hwnd, &ps);
}

}  // namespace sw::app
