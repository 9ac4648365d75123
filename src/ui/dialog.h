#pragma once
// Dialogs from templates, their message maps and data exchange, and the application object.
// Dispatch (dialog.cpp) is shared by both backends; creating windows and running the modal loop are
// the backends' (dialog_win32.cpp: real dialogs; dialog_headless.cpp: scripted, see headless.h).

#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "ui/win_types.h"
#include "ui/wnd.h"

namespace sw::ui {

class CDialog;

// The header every WM_NOTIFY carries; laid out as the Windows NMHDR.
struct NotifyHeader {
  NativeHandle hwndFrom;
  std::uintptr_t idFrom;
  unsigned code;
};

using CommandHandler = void (CDialog::*)();
using NotifyHandler = void (CDialog::*)(NotifyHeader* header, Lresult* result);
using MessageHandler = Lresult (CDialog::*)(Wparam wParam, Lparam lParam);

enum class MapEntryKind { Command, Notify, Message, RegisteredMessage };

struct MessageMapEntry {
  MapEntryKind kind;
  unsigned message;          // Message: the window message
  int id;                    // Command/Notify: control id
  unsigned code;             // Command/Notify: notification code
  const char* registeredName;  // RegisteredMessage: the name given to RegisterWindowMessage
  CommandHandler command;
  NotifyHandler notify;
  MessageHandler handler;
};

struct MessageMap {
  const MessageMapEntry* entries;
  std::size_t count;
};

template <class T>
MessageMapEntry OnCommand(int id, unsigned code, void (T::*h)()) {
  return {MapEntryKind::Command, kWmCommand, id, code, nullptr, static_cast<CommandHandler>(h), nullptr,
          nullptr};
}
template <class T>
MessageMapEntry OnNotify(int id, unsigned code, void (T::*h)(NotifyHeader*, Lresult*)) {
  return {MapEntryKind::Notify, kWmNotify, id, code, nullptr, nullptr, static_cast<NotifyHandler>(h),
          nullptr};
}
template <class T>
MessageMapEntry OnMessage(unsigned message, Lresult (T::*h)(Wparam, Lparam)) {
  return {MapEntryKind::Message, message, 0, 0, nullptr, nullptr, nullptr, static_cast<MessageHandler>(h)};
}
template <class T>
MessageMapEntry OnRegisteredMessage(const char* name, Lresult (T::*h)(Wparam, Lparam)) {
  return {MapEntryKind::RegisteredMessage, 0, 0, 0, name, nullptr, nullptr, static_cast<MessageHandler>(h)};
}

class CDataExchange {
 public:
  CDataExchange(CDialog* dlg, bool saveAndValidate) : m_pDlgWnd(dlg), m_bSaveAndValidate(saveAndValidate) {}
  CDialog* m_pDlgWnd;
  bool m_bSaveAndValidate;
  bool m_failed = false;
};

// Binds `control` to the dialog's control `id` (once; later exchanges leave it bound).
void DDX_Control(CDataExchange* pDX, int id, CWnd& control);
// Exchanges a control's text with `value`.
void DDX_Text(CDataExchange* pDX, int id, std::string& value);
// Length validation: on save, a longer text fails the exchange; on load, limits the edit control.
void DDV_MaxChars(CDataExchange* pDX, int id, const std::string& value, int maxChars);

class CDialog : public CWnd {
 public:
  explicit CDialog(int templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  int TemplateId() const { return m_templateId; }

  ModalResult DoModal();
  bool Create(CWnd* parent = nullptr);  // modeless
  void EndDialog(ModalResult result);
  void DestroyWindow() override;  // a modal dialog ends its loop with kIdCancel
  bool UpdateData(bool saveAndValidate = true);

  // The control with `id`, as a framework object owned by the dialog (valid while the dialog lives).
  CWnd* GetDlgItem(int id);

  virtual bool OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange*) {}
  virtual const MessageMap& GetMessageMap() const;
  // The colour notification; return the brush to paint with, or nullptr for the default.
  virtual NativeHandle OnCtlColor(CDC& dc, CWnd* control, CtlColorKind kind);

  // Routes one message through the message map and the virtual handlers. Returns true when handled;
  // `result` is the message's result. Both backends call this for every message.
  bool Dispatch(unsigned message, Wparam wParam, Lparam lParam, Lresult& result);

  // For the backends.
  void AttachWindow(NativeHandle hwnd, bool modal);
  void DetachWindow();
  bool IsModal() const { return m_modal; }
  bool HasEnded() const { return m_ended; }
  ModalResult EndResult() const { return m_endResult; }

 protected:
  // Called by a handler that wants the message's default processing after its own work.
  void Default() { m_wantDefault = true; }


  CWnd* m_pParentWnd;

 private:
  bool DispatchMap(unsigned message, Wparam wParam, Lparam lParam, Lresult& result);
  void MarkEnded(ModalResult result);

  int m_templateId;
  bool m_modal = false;
  bool m_ended = false;
  bool m_wantDefault = false;
  ModalResult m_endResult = 0;
  std::map<int, std::unique_ptr<CWnd>> m_items;
};

class CWinApp {
 public:
  CWinApp();
  virtual ~CWinApp();
  virtual bool InitInstance() = 0;
  virtual int ExitInstance() { return 0; }
  CWnd* m_pMainWnd = nullptr;
};

// Runs an application: InitInstance, then ExitInstance; the process exit code.
int RunApplication(CWinApp& app);

// Framework services that go through the backend, so that tests can drive and observe them.
void InitCommonControls(unsigned classMask);
bool InitComApartmentThreaded();
void UninitCom();
NativeHandle LoadAppIcon(int resourceId);
NativeHandle LoadAppCursor(int resourceId);
NativeHandle SetCursor(NativeHandle cursor);  // returns the previous cursor
NativeHandle GetCursor();
std::string LoadString(int resourceId);
unsigned RegisterWindowMessage(const char* name);
int AppMessageBox(NativeHandle owner, const std::string& text, const std::string& caption, unsigned flags);
// Paints `icon` centred in a minimised window (after WM_ICONERASEBKGND).
void PaintMinimizedIcon(CWnd& wnd, NativeHandle icon);

// Time: the headless backend replaces both by a clock that tests advance.
std::uint32_t TickCount();
void SleepMs(unsigned ms);

// A brush that the framework keeps for the process: the stock null brush, for "no brush".
NativeHandle NullBrush();

// Busy cursor for the length of a scope: shows the application's animated cursor and puts the
// previous one back. Handlers that restore the cursor themselves call Restore early.
class BusyCursor {
 public:
  explicit BusyCursor(int cursorResourceId);
  ~BusyCursor();
  void Restore();
 private:
  NativeHandle m_previous;
  bool m_active = true;
};

}  // namespace sw::ui
