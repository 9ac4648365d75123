#pragma once
// The program's colours: blue dialog backgrounds and static controls with white text. Every dialog of
// the program answers the colour notification through one of these.

#include "ui/dialog.h"

namespace sw::app {

constexpr ui::Colour kBlue = ui::Rgb(0, 98, 147);
constexpr ui::Colour kWhite = ui::Rgb(255, 255, 255);

class ColourScheme {
 public:
  void CreateBrushes();
  // Dialog background: transparent text background and the blue brush. Static controls: white text
  // on blue and the blue brush. Anything else: nullptr (the framework's default colours).
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CtlColorKind kind);

  ui::CBrush m_whiteBrush;
  ui::CBrush m_blueBrush;
};

}  // namespace sw::app
