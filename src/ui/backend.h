#pragma once
// What the shared dialog code needs from a UI backend (wnd_win32.cpp + dialog_win32.cpp, or the
// headless pair). Not for dialog classes: they use CWnd and CDialog.

#include "ui/dialog.h"

namespace sw::ui::backend {

NativeHandle GetDlgItemHandle(NativeHandle dialog, int id);
ModalResult RunModal(CDialog& dialog, CWnd* parent);
bool CreateModeless(CDialog& dialog, CWnd* parent);
void EndModal(CDialog& dialog, ModalResult result);
void DestroyDialogWindow(CDialog& dialog);
// Windows-specific default processing of a message the dialog's map declined.
void AfterUnhandled(CDialog& dialog, unsigned message, Wparam wParam, Lparam lParam);

}  // namespace sw::ui::backend
