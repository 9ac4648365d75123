// Headless backend of the custom group box: fixed metrics in place of a display (edges 2, borders 1,
// 6-pixel-wide characters, 13-pixel lines), so tests can check what a paint would draw.

#include "ui/sx_group_box.h"
#include "ui/win_types.h"

namespace sw::ui {

using namespace host;  // the group box geometry

namespace {
constexpr int kEdge = 2, kBorder = 1, kCharWidth = 6, kInitialLineHeight = 13, kCaptionLineHeight = 13;
constexpr std::uint32_t kShadow = 0xA0A0A0, kHighlight = 0xFFFFFF;
}  // namespace

CSxGroupBox::CSxGroupBox() : m_colours(DefaultGroupBoxColours(kShadow, kHighlight)) {}

CSxGroupBox::~CSxGroupBox() = default;

void CSxGroupBox::PreSubclassWindow() {
  m_caption = GetWindowText();
  Rect window = GetWindowRect();
  GbRect inClient{0, 0, window.Width(), window.Height()};
  m_layout = ComputeGroupBoxLayout(GetStyle(), GetExStyle(), inClient, kEdge, kEdge, kBorder, kBorder);
}

bool CSxGroupBox::WindowProc(unsigned message, Wparam, Lparam, Lresult& result) {
  if (message != kWmPaint) return false;
  const std::string text = GroupBoxCaptionText(m_caption);
  const bool enabled = IsWindowEnabled();
  m_lastPaint = ComputeGroupBoxPaint(m_layout.frameRect, m_lineWidth, kInitialLineHeight,
                                     kCharWidth * static_cast<int>(text.size()), kCaptionLineHeight,
                                     m_layout.alignment, m_horizontalOffset, m_verticalOffset);
  m_lastPens = SelectGroupBoxPens(m_colours, enabled);
  m_lastCaptionMode = SelectGroupBoxCaptionMode(text, m_layout.hideCaption, enabled);
  result = 0;
  return true;
}

}  // namespace sw::ui
