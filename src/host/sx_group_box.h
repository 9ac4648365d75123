#pragma once
// CSxGroupBox: a group box that draws its own etched frame and a white caption in a fixed font, so
// that group boxes on the program's blue dialogs read well whatever the theme. Bound to a template's
// group box through DDX_Control; the geometry comes from group_box_geometry.h, the painting from the
// backend (sx_group_box_win32.cpp paints with GDI; the headless backend records what it would paint).

#include <string>

#include "host/group_box_geometry.h"
#include "ui/wnd.h"

namespace sw::host {

class CSxGroupBox : public ui::CButton {
 public:
  CSxGroupBox();
  ~CSxGroupBox() override;

  void PreSubclassWindow() override;
  bool WindowProc(unsigned message, ui::Wparam wParam, ui::Lparam lParam, ui::Lresult& result) override;

  const std::string& Caption() const { return m_caption; }
  const GroupBoxLayout& Layout() const { return m_layout; }
  const GroupBoxColours& Colours() const { return m_colours; }
  std::uint32_t CaptionColour() const { return m_captionColour; }
  ui::NativeHandle CaptionFont() const { return m_font; }  // created by the Win32 backend
  // What the last WM_PAINT drew (headless tests read it; the Win32 backend keeps it as well).
  const GroupBoxPaint& LastPaint() const { return m_lastPaint; }
  GroupBoxCaptionMode LastCaptionMode() const { return m_lastCaptionMode; }
  std::uint32_t LastPenDark() const { return m_lastPens.dark; }

 private:
  GroupBoxColours m_colours;
  int m_lineWidth = kGroupBoxLineWidth;
  std::uint32_t m_captionColour = kGroupBoxCaptionColour;
  ui::NativeHandle m_font = nullptr;
  std::string m_caption;
  int m_horizontalOffset = kGroupBoxHorizontalOffset;
  int m_verticalOffset = kGroupBoxVerticalOffset;
  GroupBoxLayout m_layout;
  GroupBoxPaint m_lastPaint;
  GroupBoxCaptionMode m_lastCaptionMode = GroupBoxCaptionMode::None;
  GroupBoxPens m_lastPens;
};

}  // namespace sw::host
