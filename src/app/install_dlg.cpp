#include "app/install_dlg.h"

#include "base/product.h"
#include "host/initiator_presence.h"
#include "host/module_file.h"
#include "iscsi/command_runner.h"
#include "resource.h"

namespace sw::app {

InstallDialog::InstallDialog(ui::CWnd* mainWindow) : ui::CDialog(IDD_INSTALL, mainWindow), m_mainWindow(mainWindow) {}

bool InstallDialog::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  m_colours.CreateBrushes();
  return true;
}

ui::NativeHandle InstallDialog::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

void InstallDialog::Close() {
  ShowWindow(ui::kSwMinimize);
  DestroyWindow();
}

void InstallDialog::OnCancel() { Close(); }

void InstallDialog::OnOK() {
  const std::string modulePath = host::ModuleFileName();
  if (modulePath.empty() || !host::FileExists(host::InstallerPath(modulePath))) {
    MessageBox(host::MissingInstallerMessage(host::ProgramFolder(modulePath)), base::kProductCaption,
               ui::kMbOk | ui::kMbIconExclamation);
    return;
  }
  // The main window's restore resumes the Connect, which may open this prompt again: nothing of
  // this dialog is used once its window is gone.
  ui::CWnd* mainWindow = m_mainWindow;
  Close();
  mainWindow->ShowWindow(ui::kSwMinimize);
  // The installer is meant to lie beside the program: started by that path, with its bare name as
  // the command line.
  iscsi::RunProgram(host::InstallerPath(modulePath), host::kInstallerFileName);
  mainWindow->ShowWindow(ui::kSwRestore);
}

}  // namespace sw::app
