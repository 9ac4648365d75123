// Win32 backend of the window and control wrappers: one SendMessage or API call per operation; no logic.

#include "ui/win32_headers.h"
#include "ui/wnd.h"

#include <vector>

namespace sw::ui {

namespace {
HWND H(NativeHandle h) { return static_cast<HWND>(h); }
const char kWndProp[] = "SwCWnd";

// The bound CWnd's handler, if any; exceptions never cross the window procedure.
bool Dispatch(CWnd* wnd, UINT message, WPARAM wParam, LPARAM lParam, Lresult& result) {
  if (!wnd) return false;
  try {
    return wnd->WindowProc(message, wParam, lParam, result);
  } catch (...) {
    return false;
  }
}

LRESULT CALLBACK SubclassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  auto* wnd = static_cast<CWnd*>(GetPropA(hwnd, kWndProp));
  auto* old = reinterpret_cast<WNDPROC>(GetPropA(hwnd, "SwOldProc"));
  Lresult result = 0;
  if (Dispatch(wnd, message, wParam, lParam, result)) return result;
  if (message == WM_NCDESTROY) {
    SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropA(hwnd, kWndProp);
    RemovePropA(hwnd, "SwOldProc");
    if (wnd) wnd->Detach();
  }
  return old ? CallWindowProcA(old, hwnd, message, wParam, lParam) : DefWindowProcA(hwnd, message, wParam, lParam);
}
}  // namespace

Colour CDC::SetTextColor(Colour c) { return ::SetTextColor(static_cast<HDC>(m_hDC), c); }
Colour CDC::SetBkColor(Colour c) { return ::SetBkColor(static_cast<HDC>(m_hDC), c); }
int CDC::SetBkMode(int mode) { return ::SetBkMode(static_cast<HDC>(m_hDC), mode); }

CBrush::~CBrush() { DeleteObject(); }

bool CBrush::CreateSolidBrush(Colour c) {
  DeleteObject();
  m_hObject = ::CreateSolidBrush(c);
  return m_hObject != nullptr;
}

void CBrush::DeleteObject() {
  if (m_hObject) ::DeleteObject(static_cast<HGDIOBJ>(m_hObject));
  m_hObject = nullptr;
}

CWnd::~CWnd() {
  if (m_hWnd && GetPropA(H(m_hWnd), kWndProp) == this) {
    auto* old = reinterpret_cast<WNDPROC>(GetPropA(H(m_hWnd), "SwOldProc"));
    SetWindowLongPtrA(H(m_hWnd), GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(old));
    RemovePropA(H(m_hWnd), kWndProp);
    RemovePropA(H(m_hWnd), "SwOldProc");
  }
}

std::string CWnd::GetClassName() const {
  char name[256] = "";
  ::GetClassNameA(H(m_hWnd), name, sizeof name);
  return name;
}

int CWnd::GetDlgCtrlID() const { return ::GetDlgCtrlID(H(m_hWnd)); }
void CWnd::EnableWindow(bool enable) { ::EnableWindow(H(m_hWnd), enable ? TRUE : FALSE); }
bool CWnd::IsWindowEnabled() const { return ::IsWindowEnabled(H(m_hWnd)) != FALSE; }
void CWnd::ShowWindow(int command) { ::ShowWindow(H(m_hWnd), command); }
bool CWnd::IsWindowVisible() const { return ::IsWindowVisible(H(m_hWnd)) != FALSE; }
bool CWnd::IsIconic() const { return ::IsIconic(H(m_hWnd)) != FALSE; }
void CWnd::SetWindowText(const std::string& text) { ::SetWindowTextA(H(m_hWnd), text.c_str()); }

std::string CWnd::GetWindowText() const {
  int length = ::GetWindowTextLengthA(H(m_hWnd));
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  ::GetWindowTextA(H(m_hWnd), buffer.data(), length + 1);
  return std::string(buffer.data());
}

void CWnd::SetFocus() { ::SetFocus(H(m_hWnd)); }
void CWnd::SetRedraw(bool redraw) { ::SendMessageA(H(m_hWnd), WM_SETREDRAW, redraw ? TRUE : FALSE, 0); }
void CWnd::Invalidate(bool erase) { ::InvalidateRect(H(m_hWnd), nullptr, erase ? TRUE : FALSE); }
void CWnd::UpdateWindow() { ::UpdateWindow(H(m_hWnd)); }
unsigned CWnd::GetStyle() const { return static_cast<unsigned>(::GetWindowLongA(H(m_hWnd), GWL_STYLE)); }
unsigned CWnd::GetExStyle() const { return static_cast<unsigned>(::GetWindowLongA(H(m_hWnd), GWL_EXSTYLE)); }

Rect CWnd::GetClientRect() const {
  RECT r{};
  ::GetClientRect(H(m_hWnd), &r);
  return Rect{r.left, r.top, r.right, r.bottom};
}

Rect CWnd::GetWindowRect() const {
  RECT r{};
  ::GetWindowRect(H(m_hWnd), &r);
  return Rect{r.left, r.top, r.right, r.bottom};
}

Lresult CWnd::SendMessage(unsigned message, Wparam wParam, Lparam lParam) {
  return ::SendMessageA(H(m_hWnd), message, wParam, lParam);
}

bool CWnd::PostMessage(unsigned message, Wparam wParam, Lparam lParam) {
  return ::PostMessageA(H(m_hWnd), message, wParam, lParam) != FALSE;
}

bool PostMessageTo(NativeHandle hwnd, unsigned message, Wparam wParam, Lparam lParam) {
  return ::PostMessageA(H(hwnd), message, wParam, lParam) != FALSE;
}

void CWnd::SetIcon(NativeHandle icon, bool big) {
  ::SendMessageA(H(m_hWnd), WM_SETICON, big ? ICON_BIG : ICON_SMALL, reinterpret_cast<LPARAM>(icon));
}

bool CWnd::SetTimer(unsigned id, unsigned elapseMs) { return ::SetTimer(H(m_hWnd), id, elapseMs, nullptr) != 0; }
bool CWnd::KillTimer(unsigned id) { return ::KillTimer(H(m_hWnd), id) != FALSE; }

CMenu* CWnd::GetSystemMenu(bool revert) {
  HMENU menu = ::GetSystemMenu(H(m_hWnd), revert ? TRUE : FALSE);
  if (!menu) return nullptr;
  m_systemMenu.m_hMenu = menu;
  return &m_systemMenu;
}

void CWnd::DestroyWindow() {
  if (m_hWnd) ::DestroyWindow(H(m_hWnd));
  m_hWnd = nullptr;
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  return ::MessageBoxA(H(m_hWnd), text.c_str(), caption.c_str(), flags);
}

bool CWnd::SubclassDlgItem(int id, CWnd& parent) {
  HWND control = ::GetDlgItem(H(parent.GetSafeHwnd()), id);
  // A second binding would make our procedure the "old" one of itself: endless recursion.
  if (!control || GetPropA(control, kWndProp)) return false;
  m_hWnd = control;
  PreSubclassWindow();
  SetPropA(control, kWndProp, this);
  LONG_PTR old = SetWindowLongPtrA(control, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&SubclassProc));
  SetPropA(control, "SwOldProc", reinterpret_cast<HANDLE>(old));
  return true;
}

CWnd* CWnd::FromBoundHandle(NativeHandle hwnd) {
  return hwnd ? static_cast<CWnd*>(GetPropA(H(hwnd), kWndProp)) : nullptr;
}

NativeHandle CWnd::Detach() {
  NativeHandle h = m_hWnd;
  m_hWnd = nullptr;
  return h;
}

bool CWnd::WindowProc(unsigned, Wparam, Lparam, Lresult&) { return false; }

bool CMenu::AppendMenu(unsigned flags, unsigned id, const std::string& text) {
  return ::AppendMenuA(static_cast<HMENU>(m_hMenu), flags, id, (flags & MF_SEPARATOR) ? nullptr : text.c_str()) != FALSE;
}


int CButton::GetCheck() const { return static_cast<int>(::SendMessageA(H(m_hWnd), BM_GETCHECK, 0, 0)); }
void CButton::SetCheck(int check) { ::SendMessageA(H(m_hWnd), BM_SETCHECK, static_cast<WPARAM>(check), 0); }

void CEdit::LimitText(int maxChars) { ::SendMessageA(H(m_hWnd), EM_LIMITTEXT, static_cast<WPARAM>(maxChars), 0); }

int CComboBox::AddString(const std::string& text) {
  return static_cast<int>(::SendMessageA(H(m_hWnd), CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(text.c_str())));
}
void CComboBox::ResetContent() { ::SendMessageA(H(m_hWnd), CB_RESETCONTENT, 0, 0); }
int CComboBox::GetCount() const { return static_cast<int>(::SendMessageA(H(m_hWnd), CB_GETCOUNT, 0, 0)); }
int CComboBox::GetCurSel() const { return static_cast<int>(::SendMessageA(H(m_hWnd), CB_GETCURSEL, 0, 0)); }
int CComboBox::SetCurSel(int index) {
  return static_cast<int>(::SendMessageA(H(m_hWnd), CB_SETCURSEL, static_cast<WPARAM>(index), 0));
}
std::string CComboBox::GetLBText(int index) const {
  LRESULT length = ::SendMessageA(H(m_hWnd), CB_GETLBTEXTLEN, static_cast<WPARAM>(index), 0);
  if (length == CB_ERR) return {};
  std::vector<char> buffer(static_cast<size_t>(length) + 1, '\0');
  ::SendMessageA(H(m_hWnd), CB_GETLBTEXT, static_cast<WPARAM>(index), reinterpret_cast<LPARAM>(buffer.data()));
  return std::string(buffer.data());
}

int CListCtrl::InsertColumn(int column, const std::string& heading, unsigned format, int width) {
  LVCOLUMNA col{};
  col.mask = LVCF_FMT | LVCF_TEXT | LVCF_WIDTH | LVCF_SUBITEM;
  col.fmt = static_cast<int>(format);
  col.cx = width;
  col.pszText = const_cast<char*>(heading.c_str());
  col.iSubItem = column;
  return static_cast<int>(::SendMessageA(H(m_hWnd), LVM_INSERTCOLUMNA, static_cast<WPARAM>(column),
                                         reinterpret_cast<LPARAM>(&col)));
}

int CListCtrl::InsertItem(int item, const std::string& text) {
  LVITEMA it{};
  it.mask = LVIF_TEXT;
  it.iItem = item;
  it.pszText = const_cast<char*>(text.c_str());
  return static_cast<int>(::SendMessageA(H(m_hWnd), LVM_INSERTITEMA, 0, reinterpret_cast<LPARAM>(&it)));
}

bool CListCtrl::SetItemText(int item, int subItem, const std::string& text) {
  LVITEMA it{};
  it.iSubItem = subItem;
  it.pszText = const_cast<char*>(text.c_str());
  return ::SendMessageA(H(m_hWnd), LVM_SETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)) != FALSE;
}

std::string CListCtrl::GetItemText(int item, int subItem) const {
  std::vector<char> buffer(1024, '\0');
  LVITEMA it{};
  it.iSubItem = subItem;
  it.pszText = buffer.data();
  it.cchTextMax = static_cast<int>(buffer.size());
  ::SendMessageA(H(m_hWnd), LVM_GETITEMTEXTA, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it));
  return std::string(buffer.data());
}

bool CListCtrl::DeleteAllItems() { return ::SendMessageA(H(m_hWnd), LVM_DELETEALLITEMS, 0, 0) != FALSE; }
int CListCtrl::GetItemCount() const { return static_cast<int>(::SendMessageA(H(m_hWnd), LVM_GETITEMCOUNT, 0, 0)); }
int CListCtrl::GetNextItem(int start, int flags) const {
  return static_cast<int>(::SendMessageA(H(m_hWnd), LVM_GETNEXTITEM, static_cast<WPARAM>(start), MAKELPARAM(flags, 0)));
}

bool CListCtrl::SetItemState(int item, unsigned state, unsigned mask) {
  LVITEMA it{};
  it.state = state;
  it.stateMask = mask;
  return ::SendMessageA(H(m_hWnd), LVM_SETITEMSTATE, static_cast<WPARAM>(item), reinterpret_cast<LPARAM>(&it)) != FALSE;
}

unsigned CListCtrl::GetItemState(int item, unsigned mask) const {
  return static_cast<unsigned>(::SendMessageA(H(m_hWnd), LVM_GETITEMSTATE, static_cast<WPARAM>(item), mask));
}

int CListCtrl::GetTopIndex() const { return static_cast<int>(::SendMessageA(H(m_hWnd), LVM_GETTOPINDEX, 0, 0)); }
int CListCtrl::GetCountPerPage() const {
  return static_cast<int>(::SendMessageA(H(m_hWnd), LVM_GETCOUNTPERPAGE, 0, 0));
}
unsigned CListCtrl::SetExtendedStyle(unsigned exStyle) {
  return static_cast<unsigned>(::SendMessageA(H(m_hWnd), LVM_SETEXTENDEDLISTVIEWSTYLE, 0, exStyle));
}
unsigned CListCtrl::GetExtendedStyle() const {
  return static_cast<unsigned>(::SendMessageA(H(m_hWnd), LVM_GETEXTENDEDLISTVIEWSTYLE, 0, 0));
}

void CIPAddressCtrl::SetAddress(unsigned char f0, unsigned char f1, unsigned char f2, unsigned char f3) {
  ::SendMessageA(H(m_hWnd), IPM_SETADDRESS, 0, static_cast<LPARAM>(MAKEIPADDRESS(f0, f1, f2, f3)));
}

int CIPAddressCtrl::GetAddress(unsigned char& f0, unsigned char& f1, unsigned char& f2, unsigned char& f3) const {
  DWORD address = 0;
  int count = static_cast<int>(::SendMessageA(H(m_hWnd), IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(&address)));
  f0 = static_cast<unsigned char>(FIRST_IPADDRESS(address));
  f1 = static_cast<unsigned char>(SECOND_IPADDRESS(address));
  f2 = static_cast<unsigned char>(THIRD_IPADDRESS(address));
  f3 = static_cast<unsigned char>(FOURTH_IPADDRESS(address));
  return count;
}

void CIPAddressCtrl::ClearAddress() { ::SendMessageA(H(m_hWnd), IPM_CLEARADDRESS, 0, 0); }
bool CIPAddressCtrl::IsBlank() const { return ::SendMessageA(H(m_hWnd), IPM_ISBLANK, 0, 0) != FALSE; }
void CIPAddressCtrl::SetFieldFocus(int field) { ::SendMessageA(H(m_hWnd), IPM_SETFOCUS, static_cast<WPARAM>(field), 0); }

void CProgressCtrl::SetRange(int lower, int upper) { ::SendMessageA(H(m_hWnd), PBM_SETRANGE32, lower, upper); }
int CProgressCtrl::SetPos(int pos) { return static_cast<int>(::SendMessageA(H(m_hWnd), PBM_SETPOS, pos, 0)); }
Colour CProgressCtrl::SetBarColor(Colour c) {
  return static_cast<Colour>(::SendMessageA(H(m_hWnd), PBM_SETBARCOLOR, 0, static_cast<LPARAM>(c)));
}
Colour CProgressCtrl::SetBkColor(Colour c) {
  return static_cast<Colour>(::SendMessageA(H(m_hWnd), PBM_SETBKCOLOR, 0, static_cast<LPARAM>(c)));
}

}  // namespace sw::ui

// Run-time windows, scrolling, mouse capture and context menus.
namespace sw::ui {

namespace {
// Windows of our registered classes: the creating CWnd arrives with WM_NCCREATE and is kept as the
// same property the subclassed controls use, so FromBoundHandle finds it.
LRESULT CALLBACK ControlClassProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam) {
  if (message == WM_NCCREATE) {
    auto* create = reinterpret_cast<CREATESTRUCTA*>(lParam);
    auto* wnd = static_cast<CWnd*>(create->lpCreateParams);
    if (wnd) {
      wnd->Attach(hwnd);
      SetPropA(hwnd, kWndProp, wnd);
      // ~CWnd puts this back as the window procedure: harmless for a window still alive.
      SetPropA(hwnd, "SwOldProc", reinterpret_cast<HANDLE>(&DefWindowProcA));
    }
  }
  auto* wnd = static_cast<CWnd*>(GetPropA(hwnd, kWndProp));
  Lresult result = 0;
  if (Dispatch(wnd, message, wParam, lParam, result)) return result;
  if (message == WM_NCDESTROY) {
    RemovePropA(hwnd, kWndProp);
    RemovePropA(hwnd, "SwOldProc");
    if (wnd) wnd->Detach();
  }
  return DefWindowProcA(hwnd, message, wParam, lParam);
}
}  // namespace

bool RegisterControlClass(const char* className) {
  WNDCLASSA wc{};
  wc.style = CS_GLOBALCLASS;
  wc.lpfnWndProc = &ControlClassProc;
  wc.hInstance = ::GetModuleHandleA(nullptr);
  wc.hCursor = ::LoadCursorA(nullptr, MAKEINTRESOURCEA(32512));  // IDC_ARROW
  wc.hbrBackground = static_cast<HBRUSH>(::GetStockObject(LTGRAY_BRUSH));
  wc.lpszClassName = className;
  return ::RegisterClassA(&wc) != 0;
}

bool CWnd::CreateChild(const char* className, std::uint32_t style, const Rect& rect, CWnd& parent, int id) {
  HWND hwnd = ::CreateWindowExA(0, className, "", style | WS_CHILD, rect.left, rect.top, rect.Width(), rect.Height(),
                                H(parent.GetSafeHwnd()), reinterpret_cast<HMENU>(static_cast<INT_PTR>(id)),
                                ::GetModuleHandleA(nullptr), this);
  return hwnd != nullptr;
}

NativeHandle CWnd::GetParentHandle() const { return ::GetParent(H(m_hWnd)); }

void CWnd::MoveWindow(const Rect& rect, bool repaint) {
  ::MoveWindow(H(m_hWnd), rect.left, rect.top, rect.Width(), rect.Height(), repaint ? TRUE : FALSE);
}

void CWnd::CenterWindow() {
  HWND hwnd = H(m_hWnd);
  HWND owner = ::GetWindow(hwnd, GW_OWNER);
  RECT area{};
  if (owner) {
    ::GetWindowRect(owner, &area);
  } else {
    ::SystemParametersInfoA(SPI_GETWORKAREA, 0, &area, 0);
  }
  RECT r{};
  ::GetWindowRect(hwnd, &r);
  const int x = area.left + ((area.right - area.left) - (r.right - r.left)) / 2;
  const int y = area.top + ((area.bottom - area.top) - (r.bottom - r.top)) / 2;
  ::SetWindowPos(hwnd, nullptr, x, y, 0, 0, SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
}

void CWnd::ModifyStyle(std::uint32_t remove, std::uint32_t add) {
  HWND hwnd = H(m_hWnd);
  const LONG style = ::GetWindowLongA(hwnd, GWL_STYLE);
  ::SetWindowLongA(hwnd, GWL_STYLE, static_cast<LONG>((static_cast<DWORD>(style) & ~remove) | add));
  // A new frame (a scroll bar) takes effect only when the frame is recomputed.
  ::SetWindowPos(hwnd, nullptr, 0, 0, 0, 0, SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_FRAMECHANGED);
}

void CWnd::SetScrollInfo(int minimum, int maximum, int page, int pos) {
  SCROLLINFO si{};
  si.cbSize = sizeof si;
  si.fMask = SIF_RANGE | SIF_PAGE | SIF_POS | SIF_DISABLENOSCROLL;
  si.nMin = minimum;
  si.nMax = maximum;
  si.nPage = static_cast<UINT>(page);
  si.nPos = pos;
  ::SetScrollInfo(H(m_hWnd), SB_VERT, &si, TRUE);
}

int CWnd::SetScrollPos(int pos) { return ::SetScrollPos(H(m_hWnd), SB_VERT, pos, TRUE); }
void CWnd::ScrollWindow(int dx, int dy) { ::ScrollWindow(H(m_hWnd), dx, dy, nullptr, nullptr); }
void CWnd::SetCapture() { ::SetCapture(H(m_hWnd)); }
void CWnd::ReleaseCapture() { ::ReleaseCapture(); }

void CWnd::TrackMouseHoverAndLeave(unsigned hoverMs) {
  TRACKMOUSEEVENT tme{};
  tme.cbSize = sizeof tme;
  tme.dwFlags = TME_HOVER | TME_LEAVE;
  tme.hwndTrack = H(m_hWnd);
  tme.dwHoverTime = hoverMs;
  ::TrackMouseEvent(&tme);
}

void CWnd::GetCursorClientPos(int& x, int& y) const {
  POINT pt{};
  ::GetCursorPos(&pt);
  ::ScreenToClient(H(m_hWnd), &pt);
  x = pt.x;
  y = pt.y;
}

void CWnd::ClientToScreen(int& x, int& y) const {
  POINT pt{x, y};
  ::ClientToScreen(H(m_hWnd), &pt);
  x = pt.x;
  y = pt.y;
}

CPopupMenu::~CPopupMenu() {
  if (m_menu) ::DestroyMenu(static_cast<HMENU>(m_menu));
}

bool CPopupMenu::Load(int menuId, int subMenu) {
  m_menu = ::LoadMenuA(::GetModuleHandleA(nullptr), MAKEINTRESOURCEA(menuId));
  if (!m_menu) return false;
  m_subMenu = ::GetSubMenu(static_cast<HMENU>(m_menu), subMenu);
  m_menuId = menuId;
  m_index = subMenu;
  return m_subMenu != nullptr;
}

bool CPopupMenu::Track(int screenX, int screenY, CWnd& owner) {
  if (!m_subMenu) return false;
  return ::TrackPopupMenu(static_cast<HMENU>(m_subMenu), TPM_LEFTALIGN | TPM_RIGHTBUTTON, screenX, screenY, 0,
                          H(owner.GetSafeHwnd()), nullptr) != FALSE;
}

}  // namespace sw::ui
