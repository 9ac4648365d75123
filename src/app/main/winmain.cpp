// Entry point of the Windows executables.

#include <windows.h>

#include "app/seekwell_app.h"
#include "ui/dialog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  sw::app::CSeekwellApp app;
  return sw::ui::RunApplication(app);
}
