#pragma once
// Dialogs from templates, their message maps and data exchange, and the application object.
// Dispatch (dialog.cpp) is shared by both backends; creating windows and running the modal loop are
// the backends' (dialog_win32.cpp: real dialogs; dialog_headless.cpp: scripted, see headless.h).

#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <type_traits>
#include <vector>

#include "ui/win_types.h"
#include "ui/wnd.h"

namespace sw::ui {

class CCmdTarget;
class CDialog;
class CDataExchange;

// The header every WM_NOTIFY carries; laid out as the Windows NMHDR.
struct NotifyHeader {
  NativeHandle hwndFrom;
  std::uintptr_t idFrom;
  unsigned code;
};

// What a list view sends with NM_CLICK; laid out as NMITEMACTIVATE (item -1: empty space).
struct ItemActivate {
  NotifyHeader hdr;
  int iItem;
  int iSubItem;
  unsigned uNewState;
  unsigned uOldState;
  unsigned uChanged;
  struct { std::int32_t x, y; } ptAction;
  Lparam lParam;
  unsigned uKeyFlags;
};

// What a list view sends with LVN_ITEMCHANGED; laid out as NMLISTVIEW.
struct ListViewChange {
  NotifyHeader hdr;
  int iItem;
  int iSubItem;
  unsigned uNewState;
  unsigned uOldState;
  unsigned uChanged;
  struct { std::int32_t x, y; } ptAction;
  Lparam lParam;
};

// What a list view sends with NM_CUSTOMDRAW; laid out as the leading members of NMLVCUSTOMDRAW
// (the only ones read or written).
struct ListCustomDraw {
  NotifyHeader hdr;
  std::uint32_t dwDrawStage;
  NativeHandle hdc;
  struct { std::int32_t left, top, right, bottom; } rc;
  std::uintptr_t dwItemSpec;
  unsigned uItemState;
  Lparam lItemlParam;
  Colour clrText;
  Colour clrTextBk;
  int iSubItem;
};

// Handlers are members of a command target: a dialog, or a panel that the dialog chains to.
using CommandHandler = void (CCmdTarget::*)();
using NotifyHandler = void (CCmdTarget::*)(NotifyHeader* header, Lresult* result);
using MessageHandler = Lresult (CCmdTarget::*)(Wparam wParam, Lparam lParam);
using TimerHandler = void (CCmdTarget::*)();

enum class MapEntryKind { Command, Notify, Message, RegisteredMessage, Timer };

struct MessageMapEntry {
  MapEntryKind kind;
  unsigned message;          // Message: the window message
  int id;                    // Command/Notify: control id; Timer: timer id
  unsigned code;             // Command/Notify: notification code
  const char* registeredName;  // RegisteredMessage: the name given to RegisterWindowMessage
  CommandHandler command;
  NotifyHandler notify;
  MessageHandler handler;
  TimerHandler timer;
};

struct MessageMap {
  const MessageMapEntry* entries;
  std::size_t count;
};

// Anything with a message map.
class CCmdTarget {
 public:
  virtual ~CCmdTarget() = default;
  virtual const MessageMap& GetMessageMap() const;
};

template <class T>
MessageMapEntry OnCommand(int id, unsigned code, void (T::*h)()) {
  static_assert(std::is_base_of_v<CCmdTarget, T>, "handlers belong to a CCmdTarget");
  return {MapEntryKind::Command, kWmCommand, id, code, nullptr, static_cast<CommandHandler>(h), nullptr,
          nullptr, nullptr};
}
template <class T>
MessageMapEntry OnNotify(int id, unsigned code, void (T::*h)(NotifyHeader*, Lresult*)) {
  static_assert(std::is_base_of_v<CCmdTarget, T>, "handlers belong to a CCmdTarget");
  return {MapEntryKind::Notify, kWmNotify, id, code, nullptr, nullptr, static_cast<NotifyHandler>(h),
          nullptr, nullptr};
}
template <class T>
MessageMapEntry OnMessage(unsigned message, Lresult (T::*h)(Wparam, Lparam)) {
  static_assert(std::is_base_of_v<CCmdTarget, T>, "handlers belong to a CCmdTarget");
  return {MapEntryKind::Message, message, 0, 0, nullptr, nullptr, nullptr, static_cast<MessageHandler>(h),
          nullptr};
}
template <class T>
MessageMapEntry OnRegisteredMessage(const char* name, Lresult (T::*h)(Wparam, Lparam)) {
  static_assert(std::is_base_of_v<CCmdTarget, T>, "handlers belong to a CCmdTarget");
  return {MapEntryKind::RegisteredMessage, 0, 0, 0, name, nullptr, nullptr, static_cast<MessageHandler>(h),
          nullptr};
}
// WM_TIMER whose wParam is `timerId`.
template <class T>
MessageMapEntry OnTimer(unsigned timerId, void (T::*h)()) {
  static_assert(std::is_base_of_v<CCmdTarget, T>, "handlers belong to a CCmdTarget");
  return {MapEntryKind::Timer, kWmTimer, static_cast<int>(timerId), 0, nullptr, nullptr, nullptr, nullptr,
          static_cast<TimerHandler>(h)};
}

// One part of a dialog with its own controls, data exchange, map entries and timers. The owning
// dialog adds it in its constructor; the panel lives as long as the dialog (usually a member).
class CPanel : public CCmdTarget {
 public:
  explicit CPanel(CDialog& dialog) : m_dialog(dialog) {}
  CPanel(const CPanel&) = delete;
  CPanel& operator=(const CPanel&) = delete;
  CDialog& Dialog() { return m_dialog; }
  const CDialog& Dialog() const { return m_dialog; }
  virtual void DoDataExchange(CDataExchange*) {}

 private:
  CDialog& m_dialog;
};

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

// CCmdTarget comes first so that a dialog's handlers are called through a member pointer of it
// without adjusting `this` (the sanitizer checks that the object there is a CCmdTarget).
class CDialog : public CCmdTarget, public CWnd {
 public:
  explicit CDialog(int templateId, CWnd* parent = nullptr);
  ~CDialog() override;

  int TemplateId() const { return m_templateId; }

  // The dialog's result, or kDialogFailed when it could not be created (CreationError says why).
  ModalResult DoModal();
  bool Create(CWnd* parent = nullptr);  // modeless
  void EndDialog(ModalResult result);
  void DestroyWindow() override;  // a modal dialog ends its loop with kIdCancel
  // Runs the dialog's data exchange, then each panel's in the order they were added.
  bool UpdateData(bool saveAndValidate = true);
  // Chains `panel`'s message map after the dialog's own (and after panels added before it).
  void AddPanel(CPanel& panel);

  // The control with `id`, as a framework object: the one bound to it, else one the dialog keeps
  // while its window lives.
  CWnd* GetDlgItem(int id);
  // The same for any window handle (a control, the dialog itself, a combo's drop-down list).
  CWnd* FromHandle(NativeHandle hwnd);

  virtual bool OnInitDialog();
  virtual void OnOK();
  virtual void OnCancel();
  virtual void DoDataExchange(CDataExchange*) {}
  const MessageMap& GetMessageMap() const override;
  // The colour notification; return the brush to paint with, or nullptr for the default.
  virtual NativeHandle OnCtlColor(CDC& dc, CWnd* control, CtlColorKind kind);
  // WM_CTLCOLOR* as both backends receive it: the control is named by its window handle (ids are
  // not unique: every label is IDC_STATIC, a combo's drop-down list is 1000).
  NativeHandle OnCtlColorMessage(NativeHandle hdc, NativeHandle control, CtlColorKind kind);

  // Routes one message through the message maps (the dialog's, then each panel's; the first entry
  // that matches handles it) and the virtual handlers. Returns true when handled; `result` is the
  // message's result. Both backends call this for every message. A handler may end, destroy or
  // delete the dialog: afterwards Dispatch touches the dialog only if it still lives.
  bool Dispatch(unsigned message, Wparam wParam, Lparam lParam, Lresult& result);

  // Runs last, once the window is gone (modal or modeless); a heap dialog may delete itself here.
  virtual void PostNcDestroy() {}

  // For the backends.
  void AttachWindow(NativeHandle hwnd, bool modal);
  void DetachWindow();
  bool IsModal() const { return m_modal; }
  bool HasEnded() const { return m_ended; }
  ModalResult EndResult() const { return m_endResult; }
  // The system error code of the last failed DoModal or Create, captured at once; 0 when none.
  std::uint32_t CreationError() const { return m_creationError; }
  void SetCreationError(std::uint32_t error) { m_creationError = error; }

 protected:
  // Called by a handler that wants the message's default processing after its own work.
  void Default() { m_wantDefault = true; }


  CWnd* m_pParentWnd;

 private:
  bool DispatchMap(unsigned message, Wparam wParam, Lparam lParam, Lresult& result);
  void MarkEnded(ModalResult result);

  std::vector<CPanel*> m_panels;
  // False once the dialog is destroyed; Dispatch holds a copy across each handler.
  std::shared_ptr<bool> m_alive = std::make_shared<bool>(true);

  int m_templateId;
  bool m_modal = false;
  bool m_ended = false;
  bool m_wantDefault = false;
  ModalResult m_endResult = 0;
  std::uint32_t m_creationError = 0;
  std::map<NativeHandle, std::unique_ptr<CWnd>> m_items;
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

// Time, forwarded to the clock port (host/clock.h), which the headless backend replaces by a clock
// that tests advance.
std::uint32_t TickCount();
void SleepMs(unsigned ms);
// Holds the UI thread for `ms` as SleepMs does, but keeps its windows painting: only WM_PAINT is
// taken from the queue meanwhile, so input, timers and posted messages wait until the time is up
// and nothing the user does can start another action. (Messages other threads send are still
// delivered, as during any wait for a message.)
void WaitPaintingOnly(unsigned ms);

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
