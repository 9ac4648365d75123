#include "app/seekwell_app.h"

#include "app/device_port.h"
#include "app/seekwell_dlg.h"
#include "app/sim_start.h"
#include "protocol/discovery.h"
#include "protocol/protocol_state.h"

namespace sw::app {

namespace {
constexpr const char* kNoWindowText = "The program window could not be opened.";
}  // namespace

bool CSeekwellApp::InitInstance() {
  if (!protocol::InitDeviceSockets(protocol::GetProtocolState(), DevicePort())) {
    // Without the socket library there is nothing this program can do.
    m_exitCode = 1;
    return false;
  }
  RunSimulatedStart();
  CSeekwellDlg dlg;
  m_pMainWnd = &dlg;
  const ui::ModalResult result = dlg.DoModal();
  m_pMainWnd = nullptr;
  if (result == ui::kDialogFailed) {
    // No window ever opened, so nothing closed the sockets; the exit status carries the system error.
    protocol::CloseDeviceSockets(protocol::GetProtocolState(), DevicePort());
    ui::AppMessageBox(nullptr, kNoWindowText, "Error", ui::kMbOk | ui::kMbIconStop);
    m_exitCode = dlg.CreationError() ? static_cast<int>(dlg.CreationError()) : 1;
  }
  // No message loop of our own: the program ends with its dialog.
  return false;
}

}  // namespace sw::app
