// Entry point of the Windows executables.

#include <windows.h>

#include "app/seekwell_app.h"
#include "base/system_library.h"
#include "ui/dialog.h"

int WINAPI WinMain(HINSTANCE, HINSTANCE, LPSTR, int) {
  // First of all: the program runs as administrator, so no library it or Windows loads later by
  // name may come from its own folder or the current folder.
  sw::base::RestrictLibrarySearch();
  sw::app::CSeekwellApp app;
  return sw::ui::RunApplication(app);
}
