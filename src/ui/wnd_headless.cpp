// Headless backend of the window and control wrappers: in-memory models of the Win32 controls.
// No painting; every state a user could see is kept and readable by tests.

#include <algorithm>
#include <cstdio>

#include "base/ascii_case.h"
#include "ui/headless_state.h"
#include "ui/wnd.h"

namespace sw::ui {

using headless::Live;
using headless::Window;

namespace {
constexpr unsigned kEmLimitText = 0x00C5;

Window* W(NativeHandle h) { return Live(h); }

constexpr unsigned kLvifState = 0x0008;
constexpr std::uint32_t kLvsNoColumnHeader = 0x4000;

bool LessIgnoringCase(const std::string& a, const std::string& b) {
  return std::lexicographical_compare(a.begin(), a.end(), b.begin(), b.end(), [](char x, char y) {
    return base::LowerAsciiChar(x) < base::LowerAsciiChar(y);
  });
}
}  // namespace

namespace headless {

Window* TopLevel(Window* w) {
  while (w && w->parent) w = w->parent;
  return w;
}

std::size_t SortedPosition(const std::vector<std::string>& items, const std::string& text) {
  auto pos = std::upper_bound(items.begin(), items.end(), text, LessIgnoringCase);
  return static_cast<std::size_t>(pos - items.begin());
}

int RowsPerPage(const Window& list) {
  const int pixels = list.rect.Height() * 13 / 8 - 4 - ((list.style & kLvsNoColumnHeader) ? 0 : 24);
  return std::max(1, pixels / 17);
}

void ClampTop(Window& list) {
  const int last = std::max(0, static_cast<int>(list.rows.size()) - RowsPerPage(list));
  list.topIndex = std::clamp(list.topIndex, 0, last);
}

void SetRowStates(Window* list, int row, unsigned state, unsigned mask) {
  const int count = static_cast<int>(list->rows.size());
  for (int i = row < 0 ? 0 : row; i < (row < 0 ? count : std::min(row + 1, count)); ++i) {
    unsigned& current = list->rows[static_cast<std::size_t>(i)].state;
    const unsigned old = current;
    current = (current & ~mask) | (state & mask);
    if (current == old || !list->parent) continue;
    ListViewChange change{};
    change.hdr = NotifyHeader{list, static_cast<std::uintptr_t>(list->id), kLvnItemChanged};
    change.iItem = i;
    change.uNewState = current;
    change.uOldState = old;
    change.uChanged = kLvifState;
    Deliver(list->parent, kWmNotify, static_cast<Wparam>(list->id), reinterpret_cast<Lparam>(&change));
  }
}

}  // namespace headless

Colour CDC::SetTextColor(Colour c) {
  auto* r = headless::AsResource(m_hDC);
  if (!r) return 0;
  Colour old = r->choice.textColour;
  r->choice.hasTextColour = true;
  r->choice.textColour = c;
  return old;
}

Colour CDC::SetBkColor(Colour c) {
  auto* r = headless::AsResource(m_hDC);
  if (!r) return 0;
  Colour old = r->choice.bkColour;
  r->choice.hasBkColour = true;
  r->choice.bkColour = c;
  return old;
}

int CDC::SetBkMode(int mode) {
  auto* r = headless::AsResource(m_hDC);
  if (!r) return 0;
  int old = r->choice.bkMode;
  r->choice.bkMode = mode;
  return old;
}

CBrush::~CBrush() { DeleteObject(); }

bool CBrush::CreateSolidBrush(Colour c) {
  DeleteObject();
  m_hObject = headless::NewResource(headless::ResourceKind::Brush, 0, c);
  return true;
}

void CBrush::DeleteObject() { m_hObject = nullptr; }

CWnd::~CWnd() {
  if (Window* w = W(m_hWnd)) {
    if (w->subclass == this) w->subclass = nullptr;
  }
}

std::string CWnd::GetClassName() const {
  Window* w = W(m_hWnd);
  return w ? w->className : std::string();
}

int CWnd::GetDlgCtrlID() const {
  Window* w = W(m_hWnd);
  return w ? w->id : 0;
}

void CWnd::EnableWindow(bool enable) {
  if (Window* w = W(m_hWnd)) w->enabled = enable;
}

bool CWnd::IsWindowEnabled() const {
  Window* w = W(m_hWnd);
  return w && w->enabled;
}

void CWnd::ShowWindow(int command) {
  Window* w = W(m_hWnd);
  if (!w) return;
  const bool wasIconic = w->iconic;
  switch (command) {
    case kSwHide: w->visible = false; break;
    case kSwMinimize:
    case kSwShowMinimized: w->visible = true; w->iconic = true; break;
    case kSwRestore:
    case kSwShowNormal: w->visible = true; w->iconic = false; break;
    default: w->visible = true; break;
  }
  // Windows sends WM_SIZE when a window is minimised or restored, whoever asked for it.
  if (w->dialog && w->iconic != wasIconic) {
    headless::S().log.push_back((w->iconic ? "minimise " : "restore ") + std::to_string(w->dialog->TemplateId()));
    headless::Deliver(w, kWmSize, w->iconic ? kSizeMinimized : kSizeRestored, 0);
  }
}

bool CWnd::IsWindowVisible() const {
  Window* w = W(m_hWnd);
  return w && w->visible;
}

bool CWnd::IsIconic() const {
  Window* w = W(m_hWnd);
  return w && w->iconic;
}

void CWnd::SetWindowText(const std::string& text) {
  if (Window* w = W(m_hWnd)) w->text = text;
}

std::string CWnd::GetWindowText() const {
  Window* w = W(m_hWnd);
  return w ? w->text : std::string();
}

void CWnd::SetFocus() {
  Window* w = W(m_hWnd);
  if (!w) return;
  for (Window* other : headless::S().live) other->hasFocus = false;
  w->hasFocus = true;
}

void CWnd::SetRedraw(bool redraw) {
  Window* w = W(m_hWnd);
  if (!w) return;
  if (!redraw) ++w->redrawSuspensions;
  w->redraw = redraw;
}

void CWnd::Invalidate(bool) {}
void CWnd::UpdateWindow() {}

unsigned CWnd::GetStyle() const {
  Window* w = W(m_hWnd);
  if (!w) return 0;
  unsigned style = w->style & ~(kWsDisabled | kWsVisible);
  if (!w->enabled) style |= kWsDisabled;
  if (w->visible) style |= kWsVisible;
  return style;
}

unsigned CWnd::GetExStyle() const {
  Window* w = W(m_hWnd);
  return w ? w->exStyle : 0;
}

Rect CWnd::GetClientRect() const {
  Window* w = W(m_hWnd);
  if (!w) return {};
  return Rect{0, 0, w->rect.Width(), w->rect.Height()};
}

Rect CWnd::GetWindowRect() const {
  Window* w = W(m_hWnd);
  return w ? w->rect : Rect{};
}

Lresult CWnd::SendMessage(unsigned message, Wparam wParam, Lparam lParam) {
  return headless::Send(m_hWnd, message, wParam, lParam);
}

bool CWnd::PostMessage(unsigned message, Wparam wParam, Lparam lParam) {
  return PostMessageTo(m_hWnd, message, wParam, lParam);
}

// Only the posted queue, under its own lock: the window table belongs to the UI thread.
bool PostMessageTo(NativeHandle hwnd, unsigned message, Wparam wParam, Lparam lParam) {
  headless::Post(hwnd, message, wParam, lParam);
  return hwnd != nullptr;
}

void CWnd::SetIcon(NativeHandle icon, bool big) {
  Window* w = W(m_hWnd);
  if (!w) return;
  (big ? w->bigIcon : w->smallIcon) = icon;
}

bool CWnd::SetTimer(unsigned id, unsigned elapseMs) {
  Window* w = W(m_hWnd);
  if (!w) return false;
  w->timers[id] = headless::Timer{elapseMs, headless::S().clock.Now() + elapseMs};
  return true;
}

bool CWnd::KillTimer(unsigned id) {
  Window* w = W(m_hWnd);
  return w && w->timers.erase(id) > 0;
}

CMenu* CWnd::GetSystemMenu(bool) {
  m_systemMenu.m_hMenu = m_hWnd;  // the headless system menu lives in the window record
  return W(m_hWnd) ? &m_systemMenu : nullptr;
}

void CWnd::DestroyWindow() {
  if (Window* w = W(m_hWnd)) headless::DestroyTree(w);
  m_hWnd = nullptr;
}

int CWnd::MessageBox(const std::string& text, const std::string& caption, unsigned flags) {
  return AppMessageBox(m_hWnd, text, caption, flags);
}

bool CWnd::SubclassDlgItem(int id, CWnd& parent) {
  Window* p = W(parent.GetSafeHwnd());
  if (!p) return false;
  for (auto& child : p->children) {
    if (child->id == id && !child->destroyed) {
      if (child->subclass) return false;  // already bound to another object
      m_hWnd = child.get();
      PreSubclassWindow();
      child->subclass = this;
      return true;
    }
  }
  return false;
}

CWnd* CWnd::FromBoundHandle(NativeHandle hwnd) {
  Window* w = W(hwnd);
  return w ? w->subclass : nullptr;
}

NativeHandle CWnd::Detach() {
  NativeHandle h = m_hWnd;
  if (Window* w = W(h)) {
    if (w->subclass == this) w->subclass = nullptr;
  }
  m_hWnd = nullptr;
  return h;
}

bool CWnd::WindowProc(unsigned, Wparam, Lparam, Lresult&) { return false; }

bool CMenu::AppendMenu(unsigned flags, unsigned id, const std::string& text) {
  Window* w = W(m_hMenu);
  if (!w) return false;
  w->systemMenu.push_back({flags, id, text});
  return true;
}

int CButton::GetCheck() const {
  Window* w = W(m_hWnd);
  return w ? w->check : 0;
}

void CButton::SetCheck(int check) {
  if (Window* w = W(m_hWnd)) w->check = check;
}

void CEdit::LimitText(int maxChars) { SendMessage(kEmLimitText, static_cast<Wparam>(maxChars), 0); }

int CComboBox::AddString(const std::string& text) {
  Window* w = W(m_hWnd);
  if (!w) return -1;
  if (w->style & kCbsSort) {
    const std::size_t pos = headless::SortedPosition(w->items, text);
    w->items.insert(w->items.begin() + static_cast<std::ptrdiff_t>(pos), text);
    return static_cast<int>(pos);
  }
  w->items.push_back(text);
  return static_cast<int>(w->items.size()) - 1;
}

void CComboBox::ResetContent() {
  if (Window* w = W(m_hWnd)) {
    w->items.clear();
    w->curSel = -1;
  }
}

int CComboBox::GetCount() const {
  Window* w = W(m_hWnd);
  return w ? static_cast<int>(w->items.size()) : 0;
}

int CComboBox::GetCurSel() const {
  Window* w = W(m_hWnd);
  return w ? w->curSel : -1;
}

int CComboBox::SetCurSel(int index) {
  Window* w = W(m_hWnd);
  if (!w) return -1;
  if (index < 0 || index >= static_cast<int>(w->items.size())) {
    w->curSel = -1;
    return -1;
  }
  w->curSel = index;
  return index;
}

std::string CComboBox::GetLBText(int index) const {
  Window* w = W(m_hWnd);
  if (!w || index < 0 || index >= static_cast<int>(w->items.size())) return {};
  return w->items[static_cast<size_t>(index)];
}

int CListCtrl::InsertColumn(int column, const std::string& heading, unsigned format, int width) {
  Window* w = W(m_hWnd);
  if (!w) return -1;
  if (column < 0 || column > static_cast<int>(w->columns.size())) column = static_cast<int>(w->columns.size());
  w->columns.insert(w->columns.begin() + column, headless::ListColumn{heading, format, width});
  return column;
}

int CListCtrl::InsertItem(int item, const std::string& text) {
  Window* w = W(m_hWnd);
  if (!w) return -1;
  if (item < 0 || item > static_cast<int>(w->rows.size())) item = static_cast<int>(w->rows.size());
  headless::ListRow row;
  row.cells.push_back(text);
  w->rows.insert(w->rows.begin() + item, row);
  return item;
}

bool CListCtrl::SetItemText(int item, int subItem, const std::string& text) {
  Window* w = W(m_hWnd);
  if (!w || item < 0 || item >= static_cast<int>(w->rows.size()) || subItem < 0) return false;
  auto& cells = w->rows[static_cast<size_t>(item)].cells;
  if (static_cast<int>(cells.size()) <= subItem) cells.resize(static_cast<size_t>(subItem) + 1);
  cells[static_cast<size_t>(subItem)] = text;
  return true;
}

std::string CListCtrl::GetItemText(int item, int subItem) const {
  Window* w = W(m_hWnd);
  if (!w || item < 0 || item >= static_cast<int>(w->rows.size()) || subItem < 0) return {};
  const auto& cells = w->rows[static_cast<size_t>(item)].cells;
  return subItem < static_cast<int>(cells.size()) ? cells[static_cast<size_t>(subItem)] : std::string();
}

bool CListCtrl::DeleteAllItems() {
  Window* w = W(m_hWnd);
  if (!w) return false;
  w->rows.clear();
  w->topIndex = 0;
  return true;
}

int CListCtrl::GetItemCount() const {
  Window* w = W(m_hWnd);
  return w ? static_cast<int>(w->rows.size()) : 0;
}

int CListCtrl::GetNextItem(int start, int flags) const {
  Window* w = W(m_hWnd);
  if (!w) return -1;
  for (int i = start + 1; i < static_cast<int>(w->rows.size()); ++i) {
    if (flags == kLvniAll || (w->rows[static_cast<size_t>(i)].state & static_cast<unsigned>(flags))) return i;
  }
  return -1;
}

bool CListCtrl::SetItemState(int item, unsigned state, unsigned mask) {
  Window* w = W(m_hWnd);
  if (!w || item < -1 || item >= static_cast<int>(w->rows.size())) return false;
  // Programmatic changes notify too, as LVM_SETITEMSTATE does.
  headless::SetRowStates(w, item, state, mask);
  return true;
}

unsigned CListCtrl::GetItemState(int item, unsigned mask) const {
  Window* w = W(m_hWnd);
  if (!w || item < 0 || item >= static_cast<int>(w->rows.size())) return 0;
  return w->rows[static_cast<size_t>(item)].state & mask;
}

int CListCtrl::GetTopIndex() const {
  Window* w = W(m_hWnd);
  if (!w) return 0;
  headless::ClampTop(*w);
  return w->topIndex;
}

int CListCtrl::GetCountPerPage() const {
  Window* w = W(m_hWnd);
  return w ? headless::RowsPerPage(*w) : 0;
}

unsigned CListCtrl::SetExtendedStyle(unsigned exStyle) {
  Window* w = W(m_hWnd);
  if (!w) return 0;
  unsigned old = w->listExStyle;
  w->listExStyle = exStyle;
  return old;
}

unsigned CListCtrl::GetExtendedStyle() const {
  Window* w = W(m_hWnd);
  return w ? w->listExStyle : 0;
}

void CIPAddressCtrl::SetAddress(unsigned char f0, unsigned char f1, unsigned char f2, unsigned char f3) {
  if (Window* w = W(m_hWnd)) w->address = {f0, f1, f2, f3};
}

int CIPAddressCtrl::GetAddress(unsigned char& f0, unsigned char& f1, unsigned char& f2, unsigned char& f3) const {
  Window* w = W(m_hWnd);
  if (!w) return 0;
  int count = 0;
  unsigned char* out[4] = {&f0, &f1, &f2, &f3};
  for (int i = 0; i < 4; ++i) {
    int v = w->address[static_cast<size_t>(i)];
    *out[i] = static_cast<unsigned char>(v < 0 ? 0 : v);
    if (v >= 0) ++count;
  }
  return count;
}

void CIPAddressCtrl::ClearAddress() {
  if (Window* w = W(m_hWnd)) w->address = {-1, -1, -1, -1};
}

void CIPAddressCtrl::SetFieldFocus(int field) {
  Window* w = W(m_hWnd);
  if (!w || field < 0 || field > 3) return;
  SetFocus();
  w->focusField = field;
}

bool CIPAddressCtrl::IsBlank() const {
  Window* w = W(m_hWnd);
  return !w || std::all_of(w->address.begin(), w->address.end(), [](int v) { return v < 0; });
}

void CProgressCtrl::SetRange(int lower, int upper) {
  if (Window* w = W(m_hWnd)) {
    w->rangeLow = lower;
    w->rangeHigh = upper;
  }
}

int CProgressCtrl::SetPos(int pos) {
  Window* w = W(m_hWnd);
  if (!w) return 0;
  int old = w->pos;
  w->pos = std::clamp(pos, w->rangeLow, w->rangeHigh);
  return old;
}

Colour CProgressCtrl::SetBarColor(Colour c) {
  Window* w = W(m_hWnd);
  if (!w) return 0;
  Colour old = w->barColour;
  w->barColour = c;
  return old;
}

Colour CProgressCtrl::SetBkColor(Colour c) {
  Window* w = W(m_hWnd);
  if (!w) return 0;
  Colour old = w->bkColour;
  w->bkColour = c;
  return old;
}

}  // namespace sw::ui

// Run-time windows, scrolling, mouse capture and context menus.
namespace sw::ui {

bool RegisterControlClass(const char* className) { return headless::S().classes.insert(className).second; }

bool CWnd::CreateChild(const char* className, std::uint32_t style, const Rect& rect, CWnd& parent, int id) {
  Window* p = W(parent.GetSafeHwnd());
  if (!p || !headless::S().classes.count(className)) return false;
  auto child = std::make_unique<Window>();
  child->id = id;
  child->className = className;
  child->style = style;
  child->rect = rect;
  child->pixelRect = true;
  child->visible = (style & kWsVisible) != 0;
  child->parent = p;
  child->subclass = this;
  m_hWnd = child.get();
  headless::S().live.insert(child.get());
  p->children.push_back(std::move(child));
  return true;
}

NativeHandle CWnd::GetParentHandle() const {
  Window* w = W(m_hWnd);
  return w ? w->parent : nullptr;
}

void CWnd::MoveWindow(const Rect& rect, bool) {
  if (Window* w = W(m_hWnd)) {
    w->rect = rect;
    w->pixelRect = true;
    if (w->dialog) headless::Deliver(w, kWmSize, kSizeRestored, MakePoint(rect.Width(), rect.Height()));
  }
}

void CWnd::CenterWindow() {
  if (Window* w = W(m_hWnd)) w->centred = true;
}

void CWnd::ModifyStyle(std::uint32_t remove, std::uint32_t add) {
  if (Window* w = W(m_hWnd)) w->style = (w->style & ~remove) | add;
}

void CWnd::SetScrollInfo(int minimum, int maximum, int page, int pos) {
  Window* w = W(m_hWnd);
  if (!w) return;
  w->hasScrollInfo = true;
  w->scrollMin = minimum;
  w->scrollMax = maximum;
  w->scrollPage = page;
  w->scrollPos = pos;
}

int CWnd::SetScrollPos(int pos) {
  Window* w = W(m_hWnd);
  if (!w) return 0;
  const int old = w->scrollPos;
  // As Windows: never past the last position a whole page still fits.
  const int last = std::max(w->scrollMin, w->scrollMax - std::max(0, w->scrollPage - 1));
  w->scrollPos = std::clamp(pos, w->scrollMin, last);
  return old;
}

void CWnd::ScrollWindow(int dx, int dy) {
  Window* w = W(m_hWnd);
  if (!w) return;
  w->scrolledY += dy;
  // Only windows placed in pixels move; template controls keep dialog units.
  for (auto& child : w->children) {
    if (!child->pixelRect) continue;
    child->rect.left += dx;
    child->rect.right += dx;
    child->rect.top += dy;
    child->rect.bottom += dy;
  }
}

void CWnd::SetCapture() { headless::S().capture = W(m_hWnd); }
void CWnd::ReleaseCapture() { headless::S().capture = nullptr; }

void CWnd::TrackMouseHoverAndLeave(unsigned) {
  if (Window* w = W(m_hWnd)) w->trackingMouse = true;
}

void CWnd::GetCursorClientPos(int& x, int& y) const {
  x = 0;
  y = 0;
}

void CWnd::ClientToScreen(int& x, int& y) const {
  for (Window* w = W(m_hWnd); w; w = w->parent) {
    if (!w->pixelRect) continue;
    x += w->rect.left;
    y += w->rect.top;
  }
}

CPopupMenu::~CPopupMenu() = default;

bool CPopupMenu::Load(int menuId, int subMenu) {
  const auto& menus = BuiltInResources().menus;
  auto it = menus.find(menuId);
  if (it == menus.end() || subMenu < 0 || subMenu >= static_cast<int>(it->second.items.size())) return false;
  m_menuId = menuId;
  m_index = subMenu;
  m_menu = m_subMenu = const_cast<MenuItemTemplate*>(&it->second.items[static_cast<std::size_t>(subMenu)]);
  return true;
}

bool CPopupMenu::Track(int, int, CWnd& owner) {
  auto* popup = static_cast<const MenuItemTemplate*>(m_subMenu);
  if (!popup) return false;
  headless::PopupMenuRecord record;
  record.menuId = m_menuId;
  record.subMenu = m_index;
  for (const auto& item : popup->children) record.items.push_back(item.text);
  auto& s = headless::S();
  if (!s.popupChoices.empty()) {
    record.chosen = s.popupChoices.front();
    s.popupChoices.pop_front();
  }
  s.popups.push_back(record);
  bool offered = false;
  for (const auto& item : popup->children) offered = offered || static_cast<unsigned>(item.id) == record.chosen;
  if (record.chosen != 0 && offered) headless::Post(owner.GetSafeHwnd(), kWmCommand, MakeWparam(record.chosen, 0), 0);
  return true;
}

}  // namespace sw::ui
