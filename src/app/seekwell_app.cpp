#include "app/seekwell_app.h"

#include "app/device_port.h"
#include "app/seekwell_dlg.h"
#include "protocol/discovery.h"
#include "protocol/protocol_state.h"

namespace sw::app {

bool CSeekwellApp::InitInstance() {
  if (!protocol::InitDeviceSockets(protocol::GetProtocolState(), DevicePort())) {
    // Without the socket library there is nothing this program can do.
    m_exitCode = 1;
    return false;
  }
  CSeekwellDlg dlg;
  m_pMainWnd = &dlg;
  dlg.DoModal();
  m_pMainWnd = nullptr;
  // No message loop of our own: the program ends with its dialog.
  return false;
}

}  // namespace sw::app
