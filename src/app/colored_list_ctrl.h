#pragma once
// CColoredListCtrl: a list view with per-row colours. Rows alternate between two backgrounds;
// (row, colour) overrides win, the latest entry for a row first. Colours are applied through
// custom draw, and the background erase paints the alternating bands (colored_list_ctrl_win32.cpp;
// the headless backend records them).

#include <utility>
#include <vector>

#include "ui/dialog.h"

namespace sw::app {

class CColoredListCtrl : public ui::CListCtrl {
 public:
  void SetEvenRowColour(ui::Colour c) { m_evenBackground = c; }
  void SetOddRowColour(ui::Colour c) { m_oddBackground = c; }
  void AddBackgroundOverride(int row, ui::Colour c) { m_backgrounds.emplace_back(row, c); }
  void AddTextOverride(int row, ui::Colour c) { m_texts.emplace_back(row, c); }
  void ClearOverrides();

  struct RowColours {
    ui::Colour background;
    ui::Colour text;
  };
  RowColours ColoursOf(int row) const;

  // NM_CUSTOMDRAW of this list, handed on by the parent dialog.
  void OnCustomDraw(ui::ListCustomDraw* draw, ui::Lresult* result);
  bool WindowProc(unsigned message, ui::Wparam wParam, ui::Lparam lParam, ui::Lresult& result) override;

  // Backgrounds of the visible rows as the last erase painted them.
  const std::vector<ui::Colour>& LastErasedBands() const { return m_lastBands; }

 private:
  // The backend's erase: the client area in the odd-row colour, then each visible row's band.
  bool EraseBackground(ui::NativeHandle hdc);

  ui::Colour m_evenBackground = ui::Rgb(255, 250, 250);
  ui::Colour m_oddBackground = ui::Rgb(255, 240, 245);
  ui::Colour m_normalText = ui::Rgb(0, 0, 0);
  std::vector<std::pair<int, ui::Colour>> m_backgrounds;
  std::vector<std::pair<int, ui::Colour>> m_texts;
  std::vector<ui::Colour> m_lastBands;
};

}  // namespace sw::app
