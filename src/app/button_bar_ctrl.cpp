#include "app/button_bar_ctrl.h"

namespace sw::app {

namespace {
disk::BarRect Grown(const disk::BarRect& r, int dx, int dy) {
  return disk::BarRect{r.left - dx, r.top - dy, r.right + dx, r.bottom + dy};
}
bool Inside(const disk::BarRect& r, int x, int y) { return x >= r.left && x < r.right && y >= r.top && y < r.bottom; }
}  // namespace

BarPaint PlanBarPaint(const disk::DiskLayoutView& view, const std::vector<disk::BarRect>& rects,
                      const disk::BarRect& client, int selected, int mouseX, int mouseY) {
  BarPaint plan;
  plan.client = client;
  for (std::size_t i = 0; i < rects.size() && i < disk::kMaxBarSegments; ++i) {
    const disk::BarSegment& segment = view.segments[i];
    SegmentPaint p;
    p.outer = Grown(rects[i], 1, 4);
    p.inner = Grown(p.outer, -1, -1);
    p.selected = static_cast<int>(i) == selected;
    p.hovered = Inside(rects[i], mouseX, mouseY);
    p.free = segment.occupied == 0;
    if (p.selected) {
      p.fill = disk::BarRect{p.inner.left + 2, p.inner.top + 2, p.inner.right - 1, p.inner.bottom - 1};
      p.fillPen = p.free ? kFrameDark : kPartitionFill;
      p.fillHatch = p.free ? kFreeHatch : kPartitionFill;
      p.innerFrame = Grown(p.inner, -1, -1);
      p.hasInnerFrame = p.hovered || p.free;
      p.innerFrameColour = p.hovered ? kHoverFrame : kFreeHatch;
    }
    p.textRect = disk::BarRect{rects[i].left + 2, rects[i].top + 2, rects[i].right + 2, rects[i].bottom + 2};
    p.text = disk::BarSegmentText(segment, view.unreadable);
    plan.segments.push_back(std::move(p));
  }
  return plan;
}

CButtonBarCtrl::CButtonBarCtrl() {
  ui::RegisterControlClass(kButtonBarClass);
  CreateFonts();
}

CButtonBarCtrl::~CButtonBarCtrl() { DestroyFonts(); }

bool CButtonBarCtrl::Create(const ui::Rect& rect, ui::CWnd& parent, int id) {
  if (!CreateChild(kButtonBarClass, ui::kWsChild | ui::kWsVisible, rect, parent, id)) return false;
  Layout();
  return true;
}

void CButtonBarCtrl::SetSegments(const disk::DiskLayoutView& view) {
  m_view = view;
  Layout();
}

void CButtonBarCtrl::Layout() {
  const ui::Rect client = GetClientRect();
  m_rects = disk::LayoutBarSegments(m_view, disk::BarRect{client.left, client.top, client.right, client.bottom});
}

void CButtonBarCtrl::Press(unsigned code, int x, int y) {
  m_selected = disk::HitTestBarSegments(m_rects, x, y);
  BarNotify notify{};
  notify.hdr = ui::NotifyHeader{GetSafeHwnd(), static_cast<std::uintptr_t>(GetDlgCtrlID()), code};
  notify.hitIndex = m_selected;
  // The parent's handler may reopen the whole manager: this bar must not be touched after a
  // notice that destroyed it, so the repaint goes first.
  Invalidate();
  ui::CWnd parent;
  parent.Attach(GetParentHandle());
  parent.SendMessage(ui::kWmNotify, static_cast<ui::Wparam>(GetDlgCtrlID()), reinterpret_cast<ui::Lparam>(&notify));
  parent.Detach();
}

void CButtonBarCtrl::Paint() {
  const ui::Rect client = GetClientRect();
  m_lastPaint = PlanBarPaint(m_view, m_rects, disk::BarRect{client.left, client.top, client.right, client.bottom},
                             m_selected, m_mouseX, m_mouseY);
  Draw(m_lastPaint);
}

bool CButtonBarCtrl::WindowProc(unsigned message, ui::Wparam, ui::Lparam lParam, ui::Lresult& result) {
  result = 0;
  switch (message) {
    case ui::kWmPaint:
      Paint();
      return true;
    case ui::kWmEraseBkgnd:
      result = 1;  // the paint fills the whole client area from its buffer
      return true;
    case ui::kWmSize:
      Layout();
      return true;
    case ui::kWmMouseMove:
      m_mouseX = ui::PointX(lParam);
      m_mouseY = ui::PointY(lParam);
      TrackMouseHoverAndLeave(1);
      return true;
    case ui::kWmMouseHover:
      Invalidate();
      return true;
    case ui::kWmMouseLeave:
      m_mouseX = m_mouseY = -1;
      Invalidate();
      return true;
    case ui::kWmLButtonDown:
      Press(kBarLeftPressed, ui::PointX(lParam), ui::PointY(lParam));
      return true;
    case ui::kWmRButtonDown:
      Press(kBarRightPressed, ui::PointX(lParam), ui::PointY(lParam));
      return true;
    case ui::kWmLButtonUp:
    case ui::kWmRButtonUp:
      return true;
    default:
      return false;
  }
}

}  // namespace sw::app
