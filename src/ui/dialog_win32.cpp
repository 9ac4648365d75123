// Win32 backend of dialogs and framework services: real dialogs from the compiled templates; the
// dialog procedure only cracks messages into CDialog::Dispatch and the colour handler.

#include "ui/win32_headers.h"
#include "ui/backend.h"
#include "ui/dialog_template.h"

namespace sw::ui {

static_assert(sizeof(NotifyHeader) == sizeof(NMHDR) && sizeof(ItemActivate) == sizeof(NMITEMACTIVATE) &&
                  sizeof(ListViewChange) == sizeof(NMLISTVIEW),
              "notification records are laid out as Windows sends them");

namespace {
HWND H(NativeHandle h) { return static_cast<HWND>(h); }

CtlColorKind KindOf(UINT message) {
  switch (message) {
    case WM_CTLCOLORMSGBOX: return CtlColorKind::MsgBox;
    case WM_CTLCOLOREDIT: return CtlColorKind::Edit;
    case WM_CTLCOLORLISTBOX: return CtlColorKind::ListBox;
    case WM_CTLCOLORBTN: return CtlColorKind::Button;
    case WM_CTLCOLORDLG: return CtlColorKind::Dialog;
    case WM_CTLCOLORSCROLLBAR: return CtlColorKind::ScrollBar;
    default: return CtlColorKind::Static;
  }
}

// The common control classes must exist before a template that uses them is instantiated.
void EnsureControlClasses() {
  static bool done = false;
  if (done) return;
  INITCOMMONCONTROLSEX icc{sizeof(icc), ICC_WIN95_CLASSES | ICC_INTERNET_CLASSES | ICC_STANDARD_CLASSES};
  done = ::InitCommonControlsEx(&icc) != FALSE;
}

INT_PTR Handle(CDialog* dialog, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) {
    NativeHandle brush = dialog->OnCtlColorMessage(reinterpret_cast<HDC>(wParam), reinterpret_cast<HWND>(lParam),
                                                   KindOf(message));
    return reinterpret_cast<INT_PTR>(brush);
  }
  Lresult result = 0;
  if (!dialog->Dispatch(message, wParam, lParam, result)) return FALSE;
  switch (message) {
    case WM_INITDIALOG:
    case WM_QUERYDRAGICON:
      return static_cast<INT_PTR>(result);
    default:
      ::SetWindowLongPtrA(hwnd, DWLP_MSGRESULT, result);
      return TRUE;
  }
}

// The dialog manager ignores DLGINIT data; add the initial combo strings from the same templates.
void AddInitialStrings(HWND hwnd, int templateId) {
  const auto& dialogs = BuiltInResources().dialogs;
  auto it = dialogs.find(templateId);
  if (it == dialogs.end()) return;
  for (const ControlTemplate& control : it->second.controls) {
    for (const std::string& item : control.items) {
      ::SendDlgItemMessageA(hwnd, control.id, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(item.c_str()));
    }
  }
}

INT_PTR CALLBACK DialogProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* dialog = reinterpret_cast<CDialog*>(::GetWindowLongPtrA(hwnd, DWLP_USER));
  if (message == WM_INITDIALOG) {
    auto* init = reinterpret_cast<CDialog*>(lParam);
    ::SetWindowLongPtrA(hwnd, DWLP_USER, reinterpret_cast<LONG_PTR>(init));
    init->AttachWindow(hwnd, init->IsModal());
    AddInitialStrings(hwnd, init->TemplateId());
    dialog = init;
  }
  if (!dialog) return FALSE;
  try {
    INT_PTR r = Handle(dialog, hwnd, message, wParam, lParam);
    if (message == WM_NCDESTROY) {
      ::SetWindowLongPtrA(hwnd, DWLP_USER, 0);
      dialog->DetachWindow();
      dialog->PostNcDestroy();  // may delete the dialog: nothing touches it after this
    }
    return r;
  } catch (...) {
    // Exceptions never cross the dialog procedure into Windows.
    return FALSE;
  }
}
}  // namespace

namespace backend {

NativeHandle GetDlgItemHandle(NativeHandle dialog, int id) { return ::GetDlgItem(H(dialog), id); }

ModalResult RunModal(CDialog& dialog, CWnd* parent) {
  EnsureControlClasses();
  dialog.AttachWindow(nullptr, true);
  INT_PTR r = ::DialogBoxParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.TemplateId()),
                                parent ? H(parent->GetSafeHwnd()) : nullptr, &DialogProc,
                                reinterpret_cast<LPARAM>(&dialog));
  if (r == -1) {
    // Never created, so never destroyed: the dialog object still lives and no handler ran.
    const DWORD error = ::GetLastError();
    dialog.DetachWindow();
    dialog.SetCreationError(error);
    ::SetLastError(error);
    return kDialogFailed;
  }
  // The window is gone and PostNcDestroy has run: the dialog may no longer exist.
  return r;
}

bool CreateModeless(CDialog& dialog, CWnd* parent) {
  EnsureControlClasses();
  dialog.AttachWindow(nullptr, false);
  HWND hwnd = ::CreateDialogParamA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(dialog.TemplateId()),
                                   parent ? H(parent->GetSafeHwnd()) : nullptr, &DialogProc,
                                   reinterpret_cast<LPARAM>(&dialog));
  if (!hwnd) {
    dialog.SetCreationError(::GetLastError());
    return false;
  }
  ::ShowWindow(hwnd, SW_SHOW);
  return true;
}

void EndModal(CDialog& dialog, ModalResult result) { ::EndDialog(H(dialog.GetSafeHwnd()), result); }

void DestroyDialogWindow(CDialog& dialog) {
  if (dialog.GetSafeHwnd()) ::DestroyWindow(H(dialog.GetSafeHwnd()));
}

void AfterUnhandled(CDialog&, unsigned, Wparam, Lparam) {
  // The dialog procedure returns FALSE and Windows' default dialog procedure does the rest.
}

}  // namespace backend

void InitCommonControls(unsigned classMask) {
  INITCOMMONCONTROLSEX icc{sizeof(icc), classMask};
  ::InitCommonControlsEx(&icc);
}

bool InitComApartmentThreaded() { return SUCCEEDED(::CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED)); }
void UninitCom() { ::CoUninitialize(); }

NativeHandle LoadAppIcon(int resourceId) {
  return ::LoadIconA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId));
}

NativeHandle LoadAppCursor(int resourceId) {
  return ::LoadCursorA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(resourceId));
}

NativeHandle SetCursor(NativeHandle cursor) { return ::SetCursor(static_cast<HCURSOR>(cursor)); }
NativeHandle GetCursor() { return ::GetCursor(); }

std::string LoadString(int resourceId) {
  char buffer[512] = {};
  int n = ::LoadStringA(::GetModuleHandleA(nullptr), static_cast<UINT>(resourceId), buffer, sizeof buffer);
  return std::string(buffer, n > 0 ? static_cast<size_t>(n) : 0);
}

unsigned RegisterWindowMessage(const char* name) { return ::RegisterWindowMessageA(name); }

int AppMessageBox(NativeHandle owner, const std::string& text, const std::string& caption, unsigned flags) {
  return ::MessageBoxA(H(owner), text.c_str(), caption.c_str(), flags);
}

void PaintMinimizedIcon(CWnd& wnd, NativeHandle icon) {
  PAINTSTRUCT ps;
  HDC dc = ::BeginPaint(H(wnd.GetSafeHwnd()), &ps);
  ::SendMessageA(H(wnd.GetSafeHwnd()), WM_ICONERASEBKGND, reinterpret_cast<WPARAM>(dc), 0);
  RECT rect;
  ::GetClientRect(H(wnd.GetSafeHwnd()), &rect);
  int x = (rect.right - rect.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
  int y = (rect.bottom - rect.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
  ::DrawIcon(dc, x, y, static_cast<HICON>(icon));
  ::EndPaint(H(wnd.GetSafeHwnd()), &ps);
}

NativeHandle NullBrush() { return ::GetStockObject(NULL_BRUSH); }

void WaitPaintingOnly(unsigned ms) {
  // Short waits keep the thread seen as responsive: the system marks a window "Not responding"
  // when its thread has not looked at its queue for about 5 s.
  constexpr DWORD kSliceMs = 50;
  const DWORD start = ::GetTickCount();
  for (;;) {
    MSG msg;
    while (::PeekMessageA(&msg, nullptr, WM_PAINT, WM_PAINT, PM_REMOVE)) ::DispatchMessageA(&msg);
    const DWORD elapsed = ::GetTickCount() - start;
    if (elapsed >= ms) return;
    const DWORD left = ms - elapsed;
    ::MsgWaitForMultipleObjects(0, nullptr, FALSE, left < kSliceMs ? left : kSliceMs, QS_PAINT);
  }
}

}  // namespace sw::ui
