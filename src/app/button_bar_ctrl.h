#pragma once
// CButtonBarCtrl: the partition bar of one disk in the disk manager, a window of its own class
// "BUTTONBAR_CTRL". Each partition and free stretch is a segment; a left or right press selects
// the segment under the mouse and tells the parent (WM_NOTIFY, code 1 or 2, the hit index). The
// geometry and texts are the core's (disk/bar_geometry.h); PlanPaint turns them into what one
// paint draws, which button_bar_ctrl_win32.cpp paints with GDI and the headless backend keeps.

#include <string>
#include <vector>

#include "disk/bar_geometry.h"
#include "ui/dialog.h"

namespace sw::app {

constexpr const char* kButtonBarClass = "BUTTONBAR_CTRL";
constexpr unsigned kBarLeftPressed = 1;
constexpr unsigned kBarRightPressed = 2;

// What a bar sends its parent with WM_NOTIFY.
struct BarNotify {
  ui::NotifyHeader hdr;
  int hitIndex;  // -1 when the press hit no segment
};

constexpr ui::Colour kBarBackground = ui::Rgb(255, 250, 250);
constexpr ui::Colour kFrameLight = ui::Rgb(119, 136, 153);
constexpr ui::Colour kFrameDark = ui::Rgb(47, 79, 79);
constexpr ui::Colour kPartitionFill = ui::Rgb(176, 196, 222);
constexpr ui::Colour kFreeHatch = ui::Rgb(169, 169, 169);
constexpr ui::Colour kHoverFrame = ui::Rgb(255, 215, 0);

// One segment of a paint: the raised frame on `outer`, then either the hover frame on `inner`
// (not selected) or the sunken frame on `inner`, the hatched fill and the inner frame (selected),
// then the text.
struct SegmentPaint {
  disk::BarRect outer;
  disk::BarRect inner;
  bool selected = false;
  bool hovered = false;   // the mouse is inside the segment
  bool free = false;
  disk::BarRect fill;     // selected only
  ui::Colour fillPen = 0, fillHatch = 0;
  bool hasInnerFrame = false;
  disk::BarRect innerFrame;
  ui::Colour innerFrameColour = 0;
  disk::BarRect textRect;
  std::string text;
};

struct BarPaint {
  disk::BarRect client;
  std::vector<SegmentPaint> segments;
};

// A pure function of the segments, their rectangles, the selection and the mouse position.
BarPaint PlanBarPaint(const disk::DiskLayoutView& view, const std::vector<disk::BarRect>& rects,
                      const disk::BarRect& client, int selected, int mouseX, int mouseY);

class CButtonBarCtrl : public ui::CWnd {
 public:
  // Registers the window class (a repeated registration simply fails) and makes the fonts.
  CButtonBarCtrl();
  ~CButtonBarCtrl() override;

  bool Create(const ui::Rect& rect, ui::CWnd& parent, int id);
  void SetSegments(const disk::DiskLayoutView& view);
  void ClearSelection() { m_selected = -1; }
  int Selected() const { return m_selected; }
  const disk::DiskLayoutView& Segments() const { return m_view; }
  const std::vector<disk::BarRect>& SegmentRects() const { return m_rects; }
  // What the last WM_PAINT drew.
  const BarPaint& LastPaint() const { return m_lastPaint; }

  bool WindowProc(unsigned message, ui::Wparam wParam, ui::Lparam lParam, ui::Lresult& result) override;

 private:
  void Layout();
  void Press(unsigned code, int x, int y);
  void Paint();
  // Backends: fonts, and drawing a plan double-buffered.
  void CreateFonts();
  void DestroyFonts();
  void Draw(const BarPaint& plan);

  disk::DiskLayoutView m_view;
  std::vector<disk::BarRect> m_rects;
  ui::NativeHandle m_font13 = nullptr;
  int m_mouseX = -1, m_mouseY = -1;
  int m_selected = -1;
  BarPaint m_lastPaint;
};

}  // namespace sw::app
