#pragma once
// The application object: opens the device sockets, runs the main dialog, ends with it.

#include "ui/dialog.h"

namespace sw::app {

class CSeekwellApp : public ui::CWinApp {
 public:
  bool InitInstance() override;
  int ExitInstance() override { return m_exitCode; }

 private:
  int m_exitCode = 0;
};

}  // namespace sw::app
