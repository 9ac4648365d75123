#pragma once
// CSxGroupBox: a group box that draws its own etched frame and a white caption in a fixed font, so
// that group boxes on the program's blue dialogs read well whatever the theme. Bound to a template's
// group box through DDX_Control; the geometry comes from host/group_box_geometry.h (core), the
// painting from the backend (sx_group_box_win32.cpp paints with GDI; the headless backend records
// what it would paint).

#include <string>

#include "host/group_box_geometry.h"
#include "ui/wnd.h"

namespace sw::ui {

class CSxGroupBox : public CButton {
 public:
  CSxGroupBox();
  ~CSxGroupBox() override;

  void PreSubclassWindow() override;
  bool WindowProc(unsigned message, Wparam wParam, Lparam lParam, Lresult& result) override;

  const std::string& Caption() const { return m_caption; }
  const host::GroupBoxLayout& Layout() const { return m_layout; }
  const host::GroupBoxColours& Colours() const { return m_colours; }
  std::uint32_t CaptionColour() const { return m_captionColour; }
  NativeHandle CaptionFont() const { return m_font; }  // created by the Win32 backend
  // What the last WM_PAINT drew (headless tests read it; the Win32 backend keeps it as well).
  const host::GroupBoxPaint& LastPaint() const { return m_lastPaint; }
  host::GroupBoxCaptionMode LastCaptionMode() const { return m_lastCaptionMode; }
  std::uint32_t LastPenDark() const { return m_lastPens.dark; }

 private:
  host::GroupBoxColours m_colours;
  int m_lineWidth = host::kGroupBoxLineWidth;
  std::uint32_t m_captionColour = host::kGroupBoxCaptionColour;
  NativeHandle m_font = nullptr;
  std::string m_caption;
  int m_horizontalOffset = host::kGroupBoxHorizontalOffset;
  int m_verticalOffset = host::kGroupBoxVerticalOffset;
  host::GroupBoxLayout m_layout;
  host::GroupBoxPaint m_lastPaint;
  host::GroupBoxCaptionMode m_lastCaptionMode = host::GroupBoxCaptionMode::None;
  host::GroupBoxPens m_lastPens;
};

}  // namespace sw::ui
