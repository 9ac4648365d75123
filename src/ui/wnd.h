#pragma once
// Windows and controls of our dialog framework. Each operation is a one-line forwarder in the Win32
// backend (wnd_win32.cpp) and a small in-memory model in the headless backend (wnd_headless.cpp).
// The handle is opaque here: an HWND on Windows, a headless window record elsewhere.

#include <string>

#include "ui/win_types.h"

namespace sw::ui {

struct Rect {
  int left = 0, top = 0, right = 0, bottom = 0;
  int Width() const { return right - left; }
  int Height() const { return bottom - top; }
};

// Device context for the colour notification: the handler sets text and background colours on it.
class CDC {
 public:
  explicit CDC(NativeHandle hdc) : m_hDC(hdc) {}
  Colour SetTextColor(Colour c);
  Colour SetBkColor(Colour c);
  int SetBkMode(int mode);
  NativeHandle m_hDC;
};

class CBrush {
 public:
  CBrush() = default;
  CBrush(const CBrush&) = delete;
  CBrush& operator=(const CBrush&) = delete;
  ~CBrush();
  bool CreateSolidBrush(Colour c);
  void DeleteObject();
  NativeHandle GetSafeHandle() const { return m_hObject; }

 private:
  NativeHandle m_hObject = nullptr;
};

class CMenu {
 public:
  explicit CMenu(NativeHandle h = nullptr) : m_hMenu(h) {}
  bool AppendMenu(unsigned flags, unsigned id = 0, const std::string& text = "");
  NativeHandle m_hMenu;
};

// Registers a window class whose windows route their messages to the CWnd that created them
// (CWnd::CreateChild), with the arrow cursor and the light grey stock brush; the default window
// procedure handles what the object declines. False when the class exists already.
bool RegisterControlClass(const char* className);

// Posts to the window `hwnd` from any thread, as PostMessage does: a worker thread may announce
// something to a dialog that is closing meanwhile (the post then goes nowhere). False when it could
// not be posted.
bool PostMessageTo(NativeHandle hwnd, unsigned message, Wparam wParam = 0, Lparam lParam = 0);

class CWnd;

// One sub-menu of a menu resource shown as a context menu; the chosen command reaches the owner
// as WM_COMMAND, as TrackPopupMenu without TPM_RETURNCMD sends it.
class CPopupMenu {
 public:
  CPopupMenu() = default;
  CPopupMenu(const CPopupMenu&) = delete;
  CPopupMenu& operator=(const CPopupMenu&) = delete;
  ~CPopupMenu();
  bool Load(int menuId, int subMenu);
  bool Track(int screenX, int screenY, CWnd& owner);

 private:
  NativeHandle m_menu = nullptr;
  NativeHandle m_subMenu = nullptr;
  int m_menuId = 0;
  int m_index = 0;
};

class CWnd {
 public:
  CWnd() = default;
  CWnd(const CWnd&) = delete;
  CWnd& operator=(const CWnd&) = delete;
  virtual ~CWnd();

  NativeHandle GetSafeHwnd() const { return m_hWnd; }
  bool IsValid() const { return m_hWnd != nullptr; }

  int GetDlgCtrlID() const;
  void EnableWindow(bool enable = true);
  bool IsWindowEnabled() const;
  void ShowWindow(int command);
  bool IsWindowVisible() const;
  bool IsIconic() const;
  void SetWindowText(const std::string& text);
  std::string GetWindowText() const;
  void SetFocus();
  void SetRedraw(bool redraw);
  void Invalidate(bool erase = true);
  void UpdateWindow();
  unsigned GetStyle() const;
  unsigned GetExStyle() const;
  Rect GetClientRect() const;
  Rect GetWindowRect() const;
  Lresult SendMessage(unsigned message, Wparam wParam = 0, Lparam lParam = 0);
  bool PostMessage(unsigned message, Wparam wParam = 0, Lparam lParam = 0);
  void SetIcon(NativeHandle icon, bool big);
  bool SetTimer(unsigned id, unsigned elapseMs);
  bool KillTimer(unsigned id);
  CMenu* GetSystemMenu(bool revert);
  virtual void DestroyWindow();

  // A child window of a class from RegisterControlClass, bound to this object. `rect` in the
  // parent's client pixels.
  bool CreateChild(const char* className, std::uint32_t style, const Rect& rect, CWnd& parent, int id);
  NativeHandle GetParentHandle() const;
  // Pixels: a child in its parent's client area, a top-level window on the screen.
  void MoveWindow(const Rect& rect, bool repaint = true);
  void CenterWindow();  // on its owner
  void ModifyStyle(std::uint32_t remove, std::uint32_t add);
  // The vertical scroll bar: range, page and position, disabled rather than hidden when not needed.
  void SetScrollInfo(int minimum, int maximum, int page, int pos);
  int SetScrollPos(int pos);  // redrawn; the previous position
  // Moves the client area's contents (and the child windows) by (dx, dy) pixels.
  void ScrollWindow(int dx, int dy);
  void SetCapture();
  static void ReleaseCapture();
  // Asks for WM_MOUSEHOVER after `hoverMs` and WM_MOUSELEAVE (TrackMouseEvent).
  void TrackMouseHoverAndLeave(unsigned hoverMs);
  // The mouse position in this window's client coordinates.
  void GetCursorClientPos(int& x, int& y) const;
  void ClientToScreen(int& x, int& y) const;

  // A standard message box owned by this window; the answer (kIdOk, ...).
  int MessageBox(const std::string& text, const std::string& caption, unsigned flags);

  // Binds this object to an existing control of `parent` and routes the control's messages through
  // WindowProc, after PreSubclassWindow has seen the control. False when there is no such control
  // or it is already bound to an object.
  bool SubclassDlgItem(int id, CWnd& parent);
  // The object a control is bound to by SubclassDlgItem, or nullptr.
  static CWnd* FromBoundHandle(NativeHandle hwnd);
  void Attach(NativeHandle hwnd) { m_hWnd = hwnd; }
  NativeHandle Detach();

  // The window class a template control must have to be bound to this wrapper (nullptr: any).
  virtual const char* ExpectedClass() const { return nullptr; }
  // The window class of the bound window.
  std::string GetClassName() const;

  // Subclassed controls: return true when the message was handled (result in `result`).
  virtual bool WindowProc(unsigned message, Wparam wParam, Lparam lParam, Lresult& result);
  virtual void PreSubclassWindow() {}

 protected:
  NativeHandle m_hWnd = nullptr;
  CMenu m_systemMenu;
};

class CButton : public CWnd {
 public:
  const char* ExpectedClass() const override { return "Button"; }
  int GetCheck() const;
  void SetCheck(int check);
};

class CEdit : public CWnd {
 public:
  const char* ExpectedClass() const override { return "Edit"; }
  void LimitText(int maxChars);
};

class CStatic : public CWnd {
 public:
  const char* ExpectedClass() const override { return "Static"; }
};

class CComboBox : public CWnd {
 public:
  const char* ExpectedClass() const override { return "ComboBox"; }
  int AddString(const std::string& text);
  void ResetContent();
  int GetCount() const;
  int GetCurSel() const;
  int SetCurSel(int index);  // programmatic: no CBN_SELCHANGE, as in Windows
  std::string GetLBText(int index) const;
};

class CListCtrl : public CWnd {
 public:
  const char* ExpectedClass() const override { return "SysListView32"; }
  int InsertColumn(int column, const std::string& heading, unsigned format, int width);
  int InsertItem(int item, const std::string& text);
  bool SetItemText(int item, int subItem, const std::string& text);
  std::string GetItemText(int item, int subItem) const;
  bool DeleteAllItems();
  int GetItemCount() const;
  int GetNextItem(int start, int flags) const;
  bool SetItemState(int item, unsigned state, unsigned mask);
  unsigned GetItemState(int item, unsigned mask) const;
  int GetTopIndex() const;
  int GetCountPerPage() const;
  unsigned SetExtendedStyle(unsigned exStyle);
  unsigned GetExtendedStyle() const;
};

class CIPAddressCtrl : public CWnd {
 public:
  const char* ExpectedClass() const override { return "SysIPAddress32"; }
  void SetAddress(unsigned char f0, unsigned char f1, unsigned char f2, unsigned char f3);
  // Number of non-blank fields; the fields read as 0 when blank.
  int GetAddress(unsigned char& f0, unsigned char& f1, unsigned char& f2, unsigned char& f3) const;
  void ClearAddress();
  bool IsBlank() const;
  // Keyboard focus to field 0-3 (IPM_SETFOCUS).
  void SetFieldFocus(int field);
};

class CProgressCtrl : public CWnd {
 public:
  const char* ExpectedClass() const override { return "msctls_progress32"; }
  void SetRange(int lower, int upper);
  int SetPos(int pos);
  Colour SetBarColor(Colour c);
  Colour SetBkColor(Colour c);
};

}  // namespace sw::ui
