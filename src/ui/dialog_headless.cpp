// Headless backend of dialogs and framework services: dialogs are built from the embedded templates,
// modal loops run the test's script, time is a fake clock, message boxes are recorded and answered.

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "ui/backend.h"
#include "ui/dialog_template.h"
#include "ui/headless_state.h"

namespace sw::ui {
namespace headless {

namespace {
// Windows that were destroyed are kept until Reset, so a stale handle never aliases a new window.
std::vector<std::unique_ptr<Window>>& Graveyard() {
  static std::vector<std::unique_ptr<Window>> graveyard;
  return graveyard;
}

constexpr unsigned kBsTypeMask = 0xF;
constexpr unsigned kBsCheckBox = 2, kBsAutoCheckBox = 3, kBsRadioButton = 4, kBsAutoRadioButton = 9;
constexpr unsigned kScMinimize = 0xF020, kScRestore = 0xF120;
constexpr unsigned kEmLimitText = 0x00C5;
constexpr int kComboListId = 1000;  // what Windows gives a combo's drop-down list

[[noreturn]] void Fail(const char* what, int id) {
  std::fprintf(stderr, "headless UI: %s (%d)\n", what, id);
  std::abort();
}

Window* Build(const DialogTemplate& t) {
  auto w = std::make_unique<Window>();
  w->id = t.id;
  w->className = "#32770";
  w->text = t.caption;
  w->style = t.style;
  w->exStyle = t.exStyle;
  w->rect = Rect{t.x, t.y, t.x + t.cx, t.y + t.cy};
  w->systemMenu = {{0, 0xF010, "&Move"}, {0, 0xF020, "Mi&nimize"}, {kMfSeparator, 0, ""}, {0, 0xF060, "&Close"}};
  for (const ControlTemplate& c : t.controls) {
    auto child = std::make_unique<Window>();
    child->id = c.id;
    child->className = c.className;
    child->text = c.text;
    child->style = c.style;
    child->exStyle = c.exStyle;
    child->rect = Rect{c.x, c.y, c.x + c.cx, c.y + c.cy};
    child->enabled = (c.style & kWsDisabled) == 0;
    child->visible = (c.style & kWsVisible) != 0;
    child->parent = w.get();
    // Initial combo strings arrive as CB_ADDSTRING adds them (sorted combos sort them).
    for (const std::string& item : c.items) {
      const std::size_t pos = (c.style & kCbsSort) ? SortedPosition(child->items, item) : child->items.size();
      child->items.insert(child->items.begin() + static_cast<std::ptrdiff_t>(pos), item);
    }
    if (child->className == "ComboBox") {
      child->dropList = std::make_unique<Window>();
      child->dropList->id = kComboListId;
      child->dropList->className = "ComboLBox";
      child->dropList->visible = false;
      S().live.insert(child->dropList.get());
    }
    S().live.insert(child.get());
    w->children.push_back(std::move(child));
  }
  Window* raw = w.get();
  S().live.insert(raw);
  S().topLevel.push_back(std::move(w));
  return raw;
}

Window* BuildFor(CDialog& dialog) {
  S().uiThread = std::this_thread::get_id();
  const DialogTemplate* t = nullptr;
  if (auto own = S().testTemplates.find(dialog.TemplateId()); own != S().testTemplates.end()) t = &own->second;
  const auto& dialogs = BuiltInResources().dialogs;
  if (auto it = dialogs.find(dialog.TemplateId()); !t && it != dialogs.end()) t = &it->second;
  if (!t) Fail("no dialog template", dialog.TemplateId());
  Window* w = Build(*t);
  w->dialog = &dialog;
  return w;
}

void Forget(CDialog& dialog) {
  auto& open = S().open;
  open.erase(std::remove(open.begin(), open.end(), &dialog), open.end());
}

Window* DialogWindow(CDialog& dialog) { return Live(dialog.GetSafeHwnd()); }

// A user reaches a control only while it and its dialog are enabled (an open modal dialog or
// message box disables its owner).
bool Usable(Window* w) {
  Window* top = TopLevel(w);
  return w && w->enabled && w->visible && !w->destroyed && top->enabled && !top->destroyed;
}

// A user action comes through the message loop: what was posted before it is delivered first, and
// the loop goes on delivering what the action posted.
struct UserAction {
  UserAction() { PumpMessages(); }
  ~UserAction() { PumpMessages(); }
};

// While a modal loop or a message box runs, its owner is disabled; enabled again afterwards unless
// it was disabled already.
class OwnerDisabled {
 public:
  explicit OwnerDisabled(NativeHandle owner) : m_owner(TopLevel(Live(owner))) {
    if (m_owner && m_owner->enabled) {
      m_owner->enabled = false;
    } else {
      m_owner = nullptr;
    }
  }
  ~OwnerDisabled() {
    if (m_owner && Live(m_owner)) m_owner->enabled = true;
  }
  OwnerDisabled(const OwnerDisabled&) = delete;
  OwnerDisabled& operator=(const OwnerDisabled&) = delete;

 private:
  Window* m_owner;
};

// A creation failure a test asked for: true (and the error recorded) when this one fails.
bool CreationFails(CDialog& dialog) {
  auto it = S().failCreation.find(dialog.TemplateId());
  if (it == S().failCreation.end()) return false;
  dialog.SetCreationError(it->second);
  S().failCreation.erase(it);
  return true;
}
}  // namespace

void HeadlessClock::Sleep(unsigned ms) {
  // A sleeping UI thread runs no timers; only the clock moves.
  Advance(ms);
  S().log.push_back("sleep " + std::to_string(ms));
}

State& S() {
  static State state;
  return state;
}

namespace {
// Installed before main, so core code reads the fake clock from the first tick on.
struct InstallHeadlessClock {
  InstallHeadlessClock() { host::InstallClock(&S().clock); }
  ~InstallHeadlessClock() { host::InstallClock(nullptr); }
} g_installHeadlessClock;
}  // namespace

Resource* NewResource(ResourceKind kind, int id, Colour colour) {
  auto r = std::make_unique<Resource>();
  r->kind = kind;
  r->id = id;
  r->colour = colour;
  Resource* raw = r.get();
  S().resources.push_back(std::move(r));
  return raw;
}

Resource* AsResource(NativeHandle h) {
  for (auto& r : S().resources) {
    if (r.get() == h) return r.get();
  }
  return nullptr;
}

Window* Live(NativeHandle h) {
  auto* w = static_cast<Window*>(h);
  return (w && S().live.count(w)) ? w : nullptr;
}

Lresult Deliver(Window* w, unsigned message, Wparam wParam, Lparam lParam) {
  if (!w || w->destroyed) return 0;
  if (w->dialog) {
    Lresult result = 0;
    w->dialog->Dispatch(message, wParam, lParam, result);
    return result;
  }
  if (w->subclass) {
    Lresult result = 0;
    if (w->subclass->WindowProc(message, wParam, lParam, result)) return result;
  }
  if (message == kEmLimitText) w->limitText = static_cast<int>(wParam);
  return 0;
}

Lresult Send(NativeHandle target, unsigned message, Wparam wParam, Lparam lParam) {
  State& s = S();
  if (std::this_thread::get_id() == s.uiThread.load()) return Deliver(Live(target), message, wParam, lParam);
  // Another thread: the UI thread delivers it from its message loop; this one waits, as in Windows.
  auto sent = std::make_unique<SentMessage>();
  sent->message = PostedMessage{target, message, wParam, lParam};
  std::future<Lresult> result = sent->result.get_future();
  {
    std::lock_guard<std::mutex> lock(s.postedLock);
    s.sent.push_back(std::move(sent));
  }
  s.messageArrived.notify_all();
  return result.get();
}

void Post(NativeHandle target, unsigned message, Wparam wParam, Lparam lParam) {
  State& s = S();
  {
    std::lock_guard<std::mutex> lock(s.postedLock);
    s.posted.push_back({target, message, wParam, lParam});
  }
  s.messageArrived.notify_all();
}

void DestroyTree(Window* w) {
  if (!w || w->destroyed) return;
  for (auto& child : w->children) DestroyTree(child.get());
  if (w->dropList) DestroyTree(w->dropList.get());
  w->destroyed = true;
  S().live.erase(w);
  auto& top = S().topLevel;
  for (auto it = top.begin(); it != top.end(); ++it) {
    if (it->get() == w) {
      Graveyard().push_back(std::move(*it));
      top.erase(it);
      break;
    }
  }
}

void Reset() {
  State& s = S();
  s.live.clear();
  for (auto& w : s.topLevel) Graveyard().push_back(std::move(w));
  s.topLevel.clear();
  s.open.clear();
  s.scripts.clear();
  s.answers.clear();
  s.boxes.clear();
  s.testTemplates.clear();
  s.failCreation.clear();
  s.uiThread = std::this_thread::get_id();
  s.log.clear();
  s.clock.Set(0);
  s.cursor = nullptr;
  s.popupChoices.clear();
  s.popups.clear();
  s.capture = nullptr;
  {
    std::lock_guard<std::mutex> lock(s.postedLock);
    s.posted.clear();
    // A thread still waiting on a sent message gets 0, as for a window that is gone.
    for (auto& sent : s.sent) sent->result.set_value(0);
    s.sent.clear();
  }
  Graveyard().clear();
}

void ScriptModal(int templateId, std::function<void(CDialog&)> script) {
  S().scripts.emplace(templateId, std::move(script));
}

int PendingScripts() { return static_cast<int>(S().scripts.size()); }

void QueueMessageBoxAnswer(int answer, std::uint32_t afterMs) { S().answers.push_back({answer, afterMs}); }

void FailNextCreation(int templateId, std::uint32_t error) { S().failCreation[templateId] = error; }

void AddTemplate(const DialogTemplate& dialogTemplate) { S().testTemplates[dialogTemplate.id] = dialogTemplate; }

const std::vector<MessageBoxRecord>& MessageBoxes() { return S().boxes; }

void QueuePopupMenuChoice(unsigned commandId) { S().popupChoices.push_back(commandId); }
const std::vector<PopupMenuRecord>& PopupMenus() { return S().popups; }
Window* CaptureWindow() { return Live(S().capture); }

bool SendUserMessage(CDialog& dialog, int id, unsigned message, Wparam wParam, Lparam lParam) {
  UserAction action;
  Window* w = id == 0 ? DialogWindow(dialog) : Control(dialog, id);
  // A captured mouse goes to the capturing window wherever it is.
  if (Window* captured = Live(S().capture); captured && message >= kWmMouseMove && message <= kWmMouseWheel) {
    w = captured;
  }
  if (!Usable(w)) return false;
  Deliver(w, message, wParam, lParam);
  return true;
}

Window* WindowOf(NativeHandle handle) { return Live(handle); }

Window* Control(CDialog& dialog, int id) {
  Window* d = DialogWindow(dialog);
  if (!d) return nullptr;
  for (auto& child : d->children) {
    if (child->id == id && !child->destroyed) return child.get();
  }
  return nullptr;
}

std::vector<Window*> Controls(CDialog& dialog, int id) {
  std::vector<Window*> out;
  if (Window* d = DialogWindow(dialog)) {
    for (auto& child : d->children) {
      if (child->id == id && !child->destroyed) out.push_back(child.get());
    }
  }
  return out;
}

Window* DropList(CDialog& dialog, int comboId) {
  Window* combo = Control(dialog, comboId);
  return combo ? combo->dropList.get() : nullptr;
}

std::vector<CDialog*> OpenDialogs() { return S().open; }

bool Click(CDialog& dialog, int buttonId) {
  UserAction action;
  Window* w = Control(dialog, buttonId);
  if (!Usable(w)) return false;
  unsigned type = w->style & kBsTypeMask;
  if (w->className == "Button") {
    if (type == kBsAutoCheckBox) w->check = w->check ? 0 : 1;
    if (type == kBsAutoRadioButton) w->check = 1;
  }
  (void)kBsCheckBox;
  (void)kBsRadioButton;
  Deliver(DialogWindow(dialog), kWmCommand, MakeWparam(static_cast<unsigned>(buttonId), kBnClicked),
          reinterpret_cast<Lparam>(w));
  return true;
}

bool ClickRow(CDialog& dialog, int listId, int row, int subItem) {
  UserAction action;
  Window* w = Control(dialog, listId);
  if (!Usable(w)) return false;
  const bool onRow = row >= 0 && row < static_cast<int>(w->rows.size());
  ClampTop(*w);
  if (onRow && (row < w->topIndex || row >= w->topIndex + RowsPerPage(*w))) return false;  // out of view
  // The selection moves on the button press, NM_CLICK follows on its release.
  for (int i = 0; i < static_cast<int>(w->rows.size()); ++i) {
    if (i != row) SetRowStates(w, i, 0, kLvisSelected | kLvisFocused);
  }
  if (onRow) SetRowStates(w, row, kLvisSelected | kLvisFocused, kLvisSelected | kLvisFocused);
  ItemActivate click{};
  click.hdr = NotifyHeader{w, static_cast<std::uintptr_t>(listId), kNmClick};
  click.iItem = onRow ? row : -1;
  click.iSubItem = onRow ? subItem : 0;
  Deliver(DialogWindow(dialog), kWmNotify, static_cast<Wparam>(listId), reinterpret_cast<Lparam>(&click));
  return true;
}

bool ScrollList(CDialog& dialog, int listId, int rows) {
  UserAction action;
  Window* w = Control(dialog, listId);
  if (!Usable(w)) return false;
  w->topIndex += rows;
  ClampTop(*w);
  return true;
}

bool SelectComboItem(CDialog& dialog, int comboId, int index) {
  UserAction action;
  Window* w = Control(dialog, comboId);
  if (!Usable(w) || index < 0 || index >= static_cast<int>(w->items.size())) return false;
  w->curSel = index;
  Deliver(DialogWindow(dialog), kWmCommand, MakeWparam(static_cast<unsigned>(comboId), kCbnSelChange),
          reinterpret_cast<Lparam>(w));
  return true;
}

bool TypeText(CDialog& dialog, int editId, const std::string& text) {
  UserAction action;
  Window* w = Control(dialog, editId);
  if (!Usable(w)) return false;
  // EM_LIMITTEXT counts characters, as a Unicode edit control does, not the bytes of their
  // UTF-8 (ANSI) text.
  std::size_t end = 0;
  for (int kept = 0; end < text.size() && (w->limitText <= 0 || kept < w->limitText); ++kept) {
    ++end;
    while (end < text.size() && (static_cast<unsigned char>(text[end]) & 0xC0) == 0x80) ++end;
  }
  w->text = text.substr(0, end);
  Deliver(DialogWindow(dialog), kWmCommand, MakeWparam(static_cast<unsigned>(editId), kEnChange),
          reinterpret_cast<Lparam>(w));
  return true;
}

bool SetAddressFields(CDialog& dialog, int ipId, int f0, int f1, int f2, int f3) {
  UserAction action;
  Window* w = Control(dialog, ipId);
  if (!Usable(w)) return false;
  w->address = {f0, f1, f2, f3};
  return true;
}

void SendSysCommand(CDialog& dialog, unsigned command) {
  UserAction action;
  Deliver(DialogWindow(dialog), kWmSysCommand, command, 0);
}

void CloseBox(CDialog& dialog) { SendSysCommand(dialog, kScClose); }

void Minimise(CDialog& dialog) {
  if (Window* w = DialogWindow(dialog)) {
    w->iconic = true;
    Deliver(w, kWmSize, kSizeMinimized, 0);
  }
}

void Restore(CDialog& dialog) {
  if (Window* w = DialogWindow(dialog)) {
    w->iconic = false;
    Deliver(w, kWmSize, kSizeRestored, 0);
  }
}

std::string Text(CDialog& dialog, int id) {
  Window* w = Control(dialog, id);
  return w ? w->text : std::string();
}

bool Enabled(CDialog& dialog, int id) {
  Window* w = Control(dialog, id);
  return w && w->enabled;
}

bool Visible(CDialog& dialog, int id) {
  Window* w = Control(dialog, id);
  return w && w->visible;
}

std::vector<std::string> ColumnHeadings(CDialog& dialog, int listId) {
  std::vector<std::string> out;
  if (Window* w = Control(dialog, listId)) {
    for (auto& c : w->columns) out.push_back(c.heading);
  }
  return out;
}

std::vector<std::vector<std::string>> Rows(CDialog& dialog, int listId) {
  std::vector<std::vector<std::string>> out;
  Window* w = Control(dialog, listId);
  if (!w) return out;
  for (auto& r : w->rows) {
    auto cells = r.cells;
    if (cells.size() < w->columns.size()) cells.resize(w->columns.size());
    out.push_back(cells);
  }
  return out;
}

std::string AddressText(CDialog& dialog, int ipId) {
  Window* w = Control(dialog, ipId);
  if (!w) return {};
  bool blank = true;
  for (int v : w->address) blank = blank && v < 0;
  if (blank) return {};
  std::string out;
  for (size_t i = 0; i < 4; ++i) {
    if (i) out += '.';
    out += std::to_string(w->address[i] < 0 ? 0 : w->address[i]);
  }
  return out;
}

void PumpMessages() {
  State& s = S();
  for (;;) {
    std::unique_ptr<SentMessage> sent;
    PostedMessage m{};
    {
      std::lock_guard<std::mutex> lock(s.postedLock);
      if (!s.sent.empty()) {
        sent = std::move(s.sent.front());
        s.sent.pop_front();
      } else if (!s.posted.empty()) {
        m = s.posted.front();
        s.posted.pop_front();
      } else {
        return;
      }
    }
    if (sent) {
      const PostedMessage& q = sent->message;
      sent->result.set_value(Deliver(Live(q.target), q.message, q.wParam, q.lParam));
    } else {
      Deliver(Live(m.target), m.message, m.wParam, m.lParam);
    }
  }
}

bool PumpMessagesUntil(const std::function<bool()>& done, unsigned realTimeoutMs) {
  State& s = S();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(realTimeoutMs);
  for (;;) {
    PumpMessages();
    if (done()) return true;
    std::unique_lock<std::mutex> lock(s.postedLock);
    // Wake on a new message, and now and then for a `done` that changes without one.
    s.messageArrived.wait_for(lock, std::chrono::milliseconds(5),
                              [&] { return !s.sent.empty() || !s.posted.empty(); });
    if (std::chrono::steady_clock::now() > deadline) {
      lock.unlock();
      PumpMessages();
      return done();
    }
  }
}

void AdvanceClock(std::uint32_t ms) {
  PumpMessages();
  const std::uint32_t target = S().clock.Now() + ms;
  for (;;) {
    Window* next = nullptr;
    unsigned nextId = 0;
    std::uint32_t due = target;
    for (Window* w : S().live) {
      for (auto& [id, timer] : w->timers) {
        if (timer.due <= due && (!next || timer.due < due)) {
          next = w;
          nextId = id;
          due = timer.due;
        }
      }
    }
    if (!next) break;
    // Never backwards: a handler may have moved the clock on (a sleep, a message box's wait).
    if (due > S().clock.Now()) S().clock.Set(due);
    // One WM_TIMER however late, as Windows coalesces them.
    next->timers[nextId].due = S().clock.Now() + std::max(1u, next->timers[nextId].interval);
    Deliver(next, kWmTimer, nextId, 0);
    PumpMessages();
  }
  if (target > S().clock.Now()) S().clock.Set(target);
}

std::uint32_t Now() { return S().clock.Now(); }

const std::vector<std::string>& Log() { return S().log; }

int CurrentCursorResource() {
  Resource* r = AsResource(S().cursor);
  return r ? r->id : 0;
}

ColourChoice QueryColours(CDialog& dialog, int id, CtlColorKind kind) {
  return QueryColoursOf(dialog, id == 0 ? DialogWindow(dialog) : Control(dialog, id), kind);
}

ColourChoice QueryColoursOf(CDialog& dialog, Window* control, CtlColorKind kind) {
  Resource* dc = NewResource(ResourceKind::DeviceContext);
  NativeHandle brush = dialog.OnCtlColorMessage(dc, control, kind);
  ColourChoice choice = dc->choice;
  if (Resource* b = AsResource(brush)) {
    choice.hasBrush = true;
    choice.brushColour = b->colour;
  }
  return choice;
}

}  // namespace headless

namespace backend {

using headless::S;

NativeHandle GetDlgItemHandle(NativeHandle dialog, int id) {
  headless::Window* d = headless::Live(dialog);
  if (!d) return nullptr;
  for (auto& child : d->children) {
    if (child->id == id && !child->destroyed) return child.get();
  }
  return nullptr;
}

ModalResult RunModal(CDialog& dialog, CWnd* parent) {
  if (headless::CreationFails(dialog)) return kDialogFailed;
  headless::OwnerDisabled ownerDisabled(parent ? parent->GetSafeHwnd() : nullptr);
  headless::Window* w = headless::BuildFor(dialog);
  dialog.AttachWindow(w, true);
  S().open.push_back(&dialog);
  Lresult ignored = 0;
  dialog.Dispatch(kWmInitDialog, 0, 0, ignored);
  headless::PumpMessages();
  if (!dialog.HasEnded()) {
    auto it = S().scripts.lower_bound(dialog.TemplateId());
    if (it == S().scripts.end() || it->first != dialog.TemplateId()) {
      headless::Fail("modal dialog opened without a script", dialog.TemplateId());
    }
    auto script = std::move(it->second);
    S().scripts.erase(it);
    script(dialog);
    headless::PumpMessages();
    if (!dialog.HasEnded()) headless::Fail("modal dialog still open after its script", dialog.TemplateId());
  }
  ModalResult result = dialog.EndResult();
  headless::Forget(dialog);
  headless::DestroyTree(headless::Live(dialog.GetSafeHwnd()));
  dialog.DetachWindow();
  dialog.PostNcDestroy();  // may delete the dialog
  return result;
}

bool CreateModeless(CDialog& dialog, CWnd*) {
  if (headless::CreationFails(dialog)) return false;
  headless::Window* w = headless::BuildFor(dialog);
  dialog.AttachWindow(w, false);
  S().open.push_back(&dialog);
  S().log.push_back("modeless " + std::to_string(dialog.TemplateId()));
  Lresult ignored = 0;
  dialog.Dispatch(kWmInitDialog, 0, 0, ignored);
  return true;
}

void EndModal(CDialog&, ModalResult) {}

void DestroyDialogWindow(CDialog& dialog) {
  S().log.push_back("destroy " + std::to_string(dialog.TemplateId()));
  headless::Forget(dialog);
  headless::DestroyTree(headless::Live(dialog.GetSafeHwnd()));
  dialog.DetachWindow();
  dialog.PostNcDestroy();  // may delete the dialog
}

void AfterUnhandled(CDialog& dialog, unsigned message, Wparam wParam, Lparam) {
  headless::Window* w = headless::Live(dialog.GetSafeHwnd());
  if (!w) return;
  if (message == kWmClose) {
    // DefDlgProc posts the Cancel command, naming the Cancel button when there is one.
    headless::Post(w, kWmCommand, MakeWparam(kIdCancel, kBnClicked),
                   reinterpret_cast<Lparam>(GetDlgItemHandle(w, kIdCancel)));
  } else if (message == kWmSysCommand) {
    unsigned command = static_cast<unsigned>(wParam) & 0xFFF0;
    if (command == kScClose) headless::Deliver(w, kWmClose, 0, 0);
    if (command == headless::kScMinimize) headless::Minimise(dialog);
    if (command == headless::kScRestore) headless::Restore(dialog);
  }
}

}  // namespace backend

void InitCommonControls(unsigned classMask) {
  char line[48];
  std::snprintf(line, sizeof line, "InitCommonControls 0x%x", classMask);
  headless::S().log.push_back(line);
}

bool InitComApartmentThreaded() {
  headless::S().log.push_back("CoInitialize apartment");
  return true;
}

void UninitCom() { headless::S().log.push_back("CoUninitialize"); }

NativeHandle LoadAppIcon(int resourceId) {
  for (auto& r : headless::S().resources) {
    if (r->kind == headless::ResourceKind::Icon && r->id == resourceId) return r.get();
  }
  return headless::NewResource(headless::ResourceKind::Icon, resourceId);
}

NativeHandle LoadAppCursor(int resourceId) {
  for (auto& r : headless::S().resources) {
    if (r->kind == headless::ResourceKind::Cursor && r->id == resourceId) return r.get();
  }
  return headless::NewResource(headless::ResourceKind::Cursor, resourceId);
}

NativeHandle SetCursor(NativeHandle cursor) {
  NativeHandle previous = headless::S().cursor;
  headless::S().cursor = cursor;
  headless::Resource* r = headless::AsResource(cursor);
  headless::S().log.push_back(r ? "cursor " + std::to_string(r->id) : std::string("cursor arrow"));
  return previous;
}

NativeHandle GetCursor() { return headless::S().cursor; }

std::string LoadString(int resourceId) {
  const auto& strings = BuiltInResources().strings;
  auto it = strings.find(resourceId);
  return it == strings.end() ? std::string() : it->second;
}

unsigned RegisterWindowMessage(const char* name) {
  auto& reg = headless::S().registered;
  auto it = reg.find(name);
  if (it != reg.end()) return it->second;
  unsigned id = 0xC000 + static_cast<unsigned>(reg.size());
  reg[name] = id;
  return id;
}

int AppMessageBox(NativeHandle owner, const std::string& text, const std::string& caption, unsigned flags) {
  auto& s = headless::S();
  headless::MessageBoxAnswer answer{kIdOk, 0};
  if (!s.answers.empty()) {
    answer = s.answers.front();
    s.answers.pop_front();
  }
  s.boxes.push_back({text, caption, flags, answer.answer});
  s.log.push_back("message-box " + caption);
  // The box's own loop runs until the user answers: the owner's messages and timers go on.
  headless::OwnerDisabled ownerDisabled(owner);
  headless::PumpMessages();
  if (answer.afterMs) headless::AdvanceClock(answer.afterMs);
  return answer.answer;
}

void PaintMinimizedIcon(CWnd& wnd, NativeHandle icon) {
  wnd.SendMessage(kWmIconEraseBkgnd, 0, 0);
  headless::Resource* r = headless::AsResource(icon);
  headless::S().log.push_back("paint-icon " + std::to_string(r ? r->id : 0));
}

void WaitPaintingOnly(unsigned ms) {
  // Windows paint themselves here on demand; what counts is that no timer, posted message or user
  // action is taken while the clock moves.
  headless::S().clock.Advance(ms);
  headless::S().log.push_back("wait-painting " + std::to_string(ms));
}

NativeHandle NullBrush() {
  static headless::Resource* brush = nullptr;
  if (!brush || !headless::AsResource(brush)) brush = headless::NewResource(headless::ResourceKind::Brush);
  return brush;
}

}  // namespace sw::ui
