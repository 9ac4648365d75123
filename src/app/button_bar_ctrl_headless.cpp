// Headless backend of the partition bar: no fonts or GDI; the plan of each paint is what tests read.

#include "app/button_bar_ctrl.h"

namespace sw::app {

void CButtonBarCtrl::CreateFonts() {}
void CButtonBarCtrl::DestroyFonts() {}
void CButtonBarCtrl::Draw(const BarPaint&) {}

}  // namespace sw::app
