#include "app/colour_scheme.h"

namespace sw::app {

void ColourScheme::CreateBrushes() {
  m_whiteBrush.CreateSolidBrush(kWhite);
  m_blueBrush.CreateSolidBrush(kBlue);
}

ui::NativeHandle ColourScheme::OnCtlColor(ui::CDC& dc, ui::CtlColorKind kind) {
  switch (kind) {
    case ui::CtlColorKind::Dialog:
      dc.SetBkMode(ui::kTransparent);
      return m_blueBrush.GetSafeHandle();
    case ui::CtlColorKind::Static:
      dc.SetTextColor(kWhite);
      dc.SetBkColor(kBlue);
      return m_blueBrush.GetSafeHandle();
    default:
      return nullptr;
  }
}

}  // namespace sw::app
