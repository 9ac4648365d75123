// Win32 backend of the custom group box: system metrics, the caption font and GDI painting of what
// group_box_geometry computes; no layout logic here.

#include "ui/win32_headers.h"
#include "ui/sx_group_box.h"

namespace sw::ui {

using namespace host;  // the group box geometry

namespace {
HWND H(NativeHandle h) { return static_cast<HWND>(h); }

HFONT CreateCaptionFont() {
  HDC screen = ::GetDC(nullptr);
  int height = -::MulDiv(kGroupBoxFont.pointSizeTenths, ::GetDeviceCaps(screen, LOGPIXELSY), 720);
  ::ReleaseDC(nullptr, screen);
  return ::CreateFontA(height, 0, 0, 0, kGroupBoxFont.weight, FALSE, FALSE, FALSE, DEFAULT_CHARSET,
                       static_cast<DWORD>(kGroupBoxFont.outputPrecision),
                       static_cast<DWORD>(kGroupBoxFont.clipPrecision), static_cast<DWORD>(kGroupBoxFont.quality),
                       static_cast<DWORD>(kGroupBoxFont.pitchAndFamily), kGroupBoxFont.faceName);
}

void Stroke(HDC dc, const GbPath& path) {
  for (const GbPathStep& step : path) {
    if (step.move) {
      ::MoveToEx(dc, step.to.x, step.to.y, nullptr);
    } else {
      ::LineTo(dc, step.to.x, step.to.y);
    }
  }
}

HPEN MakePen(int width, COLORREF colour) {
  LOGBRUSH brush{BS_SOLID, colour, 0};
  return ::ExtCreatePen(PS_GEOMETRIC | PS_SOLID | PS_ENDCAP_SQUARE, static_cast<DWORD>(width), &brush, 0, nullptr);
}
}  // namespace

CSxGroupBox::CSxGroupBox()
    : m_colours(DefaultGroupBoxColours(::GetSysColor(COLOR_BTNSHADOW), ::GetSysColor(COLOR_BTNHIGHLIGHT))),
      m_font(CreateCaptionFont()) {}

CSxGroupBox::~CSxGroupBox() {
  if (m_font) ::DeleteObject(static_cast<HGDIOBJ>(m_font));
}

void CSxGroupBox::PreSubclassWindow() {
  m_caption = GetWindowText();
  RECT window;
  ::GetWindowRect(H(m_hWnd), &window);
  POINT corners[2] = {{window.left, window.top}, {window.right, window.bottom}};
  ::ScreenToClient(H(m_hWnd), &corners[0]);
  ::ScreenToClient(H(m_hWnd), &corners[1]);
  GbRect inClient{corners[0].x, corners[0].y, corners[1].x, corners[1].y};
  m_layout = ComputeGroupBoxLayout(GetStyle(), GetExStyle(), inClient, ::GetSystemMetrics(SM_CXEDGE),
                                   ::GetSystemMetrics(SM_CYEDGE), ::GetSystemMetrics(SM_CXBORDER),
                                   ::GetSystemMetrics(SM_CYBORDER));
}

bool CSxGroupBox::WindowProc(unsigned message, Wparam, Lparam, Lresult& result) {
  if (message != WM_PAINT) return false;

  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(H(m_hWnd), &ps);
  int saved = ::SaveDC(dc);
  const std::string text = GroupBoxCaptionText(m_caption);
  SIZE initial{}, extent{};
  ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &initial);
  HGDIOBJ oldFont = ::SelectObject(dc, static_cast<HGDIOBJ>(m_font));
  ::GetTextExtentPoint32A(dc, text.c_str(), static_cast<int>(text.size()), &extent);

  const bool enabled = IsWindowEnabled();
  m_lastPaint = ComputeGroupBoxPaint(m_layout.frameRect, m_lineWidth, initial.cy, extent.cx, extent.cy,
                                     m_layout.alignment, m_horizontalOffset, m_verticalOffset);
  m_lastPens = SelectGroupBoxPens(m_colours, enabled);
  HPEN dark = MakePen(m_lineWidth, m_lastPens.dark);
  HPEN light = MakePen(m_lineWidth, m_lastPens.light);
  HGDIOBJ oldPen = ::SelectObject(dc, dark);
  Stroke(dc, m_lastPaint.dark);
  ::SelectObject(dc, light);
  Stroke(dc, m_lastPaint.light);

  COLORREF oldColour = ::SetTextColor(dc, m_captionColour);
  ::SetBkMode(dc, TRANSPARENT);
  m_lastCaptionMode = SelectGroupBoxCaptionMode(text, m_layout.hideCaption, enabled);
  if (m_lastCaptionMode == GroupBoxCaptionMode::Normal) {
    RECT r{m_lastPaint.captionRect.left, m_lastPaint.captionRect.top, m_lastPaint.captionRect.right,
           m_lastPaint.captionRect.bottom};
    ::DrawTextA(dc, text.c_str(), -1, &r, DT_SINGLELINE | DT_VCENTER | DT_NOCLIP);
  } else if (m_lastCaptionMode == GroupBoxCaptionMode::Embossed) {
    ::DrawStateA(dc, nullptr, nullptr, reinterpret_cast<LPARAM>(text.c_str()), 0, m_lastPaint.disabledOrigin.x,
                 m_lastPaint.disabledOrigin.y, m_lastPaint.disabledWidth, m_lastPaint.disabledHeight,
                 DST_PREFIXTEXT | DSS_DISABLED);
  }
  ::SelectObject(dc, oldFont);
  ::SetTextColor(dc, oldColour);
  ::SelectObject(dc, oldPen);
  ::DeleteObject(dark);
  ::DeleteObject(light);
  ::RestoreDC(dc, saved);
  ::EndPaint(H(m_hWnd), &ps);
  result = 0;
  return true;
}

}  // namespace sw::ui
