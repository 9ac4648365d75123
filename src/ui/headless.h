#pragma once
// The headless UI backend: windows and controls in memory, built from the same templates windres
// compiles. Tests drive dialogs through this interface as a user would (click, select, type, answer
// message boxes and modal dialogs) and read every control. Time is a fake clock that only moves when a
// test advances it or the program sleeps.

#include <array>
#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "ui/dialog.h"
#include "ui/dialog_template.h"

namespace sw::ui::headless {

struct ListColumn {
  std::string heading;
  unsigned format = 0;
  int width = 0;
};

struct ListRow {
  std::vector<std::string> cells;
  unsigned state = 0;
};

struct Timer {
  unsigned interval = 0;
  std::uint32_t due = 0;
};

struct MenuItem {
  unsigned flags = 0;
  unsigned id = 0;
  std::string text;
};

// One window: a dialog or a control.
struct Window {
  int id = -1;
  std::string className;
  std::string text;
  std::uint32_t style = 0;
  std::uint32_t exStyle = 0;
  Rect rect;  // dialog units, as in the template
  bool enabled = true;
  bool visible = true;
  bool iconic = false;
  bool redraw = true;
  int redrawSuspensions = 0;  // how often SetRedraw(false) was called
  bool destroyed = false;
  Window* parent = nullptr;
  std::vector<std::unique_ptr<Window>> children;
  CDialog* dialog = nullptr;   // dialogs
  CWnd* subclass = nullptr;    // controls bound by DDX_Control
  // Combo box; its drop-down list is a window of its own (class "ComboLBox", id 1000), as in Windows.
  std::vector<std::string> items;
  int curSel = -1;
  std::unique_ptr<Window> dropList;
  // List view.
  std::vector<ListColumn> columns;
  std::vector<ListRow> rows;
  unsigned listExStyle = 0;
  int topIndex = 0;
  // IP address control: -1 is a blank field.
  std::array<int, 4> address{-1, -1, -1, -1};
  int focusField = -1;  // the field SetFieldFocus chose last
  // Edit, button, progress.
  int limitText = 0;
  int check = 0;
  int rangeLow = 0, rangeHigh = 100, pos = 0;
  Colour barColour = 0, bkColour = 0;
  // Dialog extras.
  std::map<unsigned, Timer> timers;
  NativeHandle bigIcon = nullptr, smallIcon = nullptr;
  std::vector<MenuItem> systemMenu;
  bool hasFocus = false;
  // Windows created at run time (CreateChild) and dialogs the program moved keep pixel
  // rectangles; template windows keep dialog units.
  bool pixelRect = false;
  bool centred = false;
  // Vertical scroll bar and how far ScrollWindow has moved the contents (down is positive).
  bool hasScrollInfo = false;
  int scrollMin = 0, scrollMax = 0, scrollPage = 0, scrollPos = 0;
  int scrolledY = 0;
  bool trackingMouse = false;  // TrackMouseEvent asked for hover and leave
};

// A context menu the program showed, with its items, and the command the user chose (0: none).
struct PopupMenuRecord {
  int menuId = 0;
  int subMenu = 0;
  std::vector<std::string> items;
  unsigned chosen = 0;
};

struct MessageBoxRecord {
  std::string text;
  std::string caption;
  unsigned flags = 0;
  int answer = 0;
};

// Forget every window, script, message box, timer and log entry; the clock restarts at 0.
void Reset();

// Runs `script` when the next modal dialog with `templateId` has been initialised. The script must
// end the dialog (click OK/Cancel/Exit, close it, ...); a modal dialog without a script, or still
// open after its script, aborts the test run with a message.
void ScriptModal(int templateId, std::function<void(CDialog&)> script);
// Scripts still waiting for their dialog (a test can check that an expected dialog never came).
int PendingScripts();

// Answers for the next message boxes, in order; with none queued a box is answered kIdOk at once.
// The user takes `afterMs` to answer: meanwhile the box's loop delivers posted messages and due
// timers, and the owner window is disabled, as with a real message box.
void QueueMessageBoxAnswer(int answer, std::uint32_t afterMs = 0);
const std::vector<MessageBoxRecord>& MessageBoxes();

// Commands chosen from the next context menus, in order (0 dismisses the menu); with none queued
// a menu is dismissed.
void QueuePopupMenuChoice(unsigned commandId);
const std::vector<PopupMenuRecord>& PopupMenus();
// The window that has the mouse captured (nullptr: none).
Window* CaptureWindow();

// The next DoModal or Create of `templateId` fails as DialogBoxParam does (kDialogFailed, with
// `error` as the system error).
void FailNextCreation(int templateId, std::uint32_t error);
// A dialog template of a test's own (parsed with ParseResources), used until Reset.
void AddTemplate(const DialogTemplate& dialogTemplate);

// The window behind a dialog or control handle.
Window* WindowOf(NativeHandle handle);
Window* Control(CDialog& dialog, int id);  // the first control with `id`
std::vector<Window*> Controls(CDialog& dialog, int id);  // all of them (IDC_STATIC labels)
Window* DropList(CDialog& dialog, int comboId);
// Dialogs currently open (modal or modeless), innermost last.
std::vector<CDialog*> OpenDialogs();

// User actions. Each returns false when the control is missing, hidden or disabled, or its dialog is
// disabled (a modal dialog or message box it owns is open): a user cannot act on it then. Each
// sends exactly the notifications Windows sends; messages posted before it are delivered first.
bool Click(CDialog& dialog, int buttonId);
// A click on a visible row (row -1: empty space): LVN_ITEMCHANGED for each row whose selection
// changes, then NM_CLICK with an ItemActivate naming the row and `subItem`. A row scrolled out of
// view cannot be clicked.
bool ClickRow(CDialog& dialog, int listId, int row, int subItem = 0);
// The scroll bar or wheel: moves the list's top row by `rows` (clamped to the rows there are).
bool ScrollList(CDialog& dialog, int listId, int rows);
bool SelectComboItem(CDialog& dialog, int comboId, int index);
bool TypeText(CDialog& dialog, int editId, const std::string& text);  // replaces, honours the limit
bool SetAddressFields(CDialog& dialog, int ipId, int f0, int f1, int f2, int f3);
void SendSysCommand(CDialog& dialog, unsigned command);
// A mouse or scroll message to a control (id 0: the dialog itself), as the user's hand makes it:
// mouse messages carry client coordinates (MakePoint). Returns the message's result; false-y when
// the target cannot be reached by the user.
bool SendUserMessage(CDialog& dialog, int id, unsigned message, Wparam wParam, Lparam lParam);
void CloseBox(CDialog& dialog);  // the window's close box
void Minimise(CDialog& dialog);
void Restore(CDialog& dialog);

// Reading controls.
std::string Text(CDialog& dialog, int id);
bool Enabled(CDialog& dialog, int id);
bool Visible(CDialog& dialog, int id);
std::vector<std::string> ColumnHeadings(CDialog& dialog, int listId);
std::vector<std::vector<std::string>> Rows(CDialog& dialog, int listId);
std::string AddressText(CDialog& dialog, int ipId);  // "a.b.c.d", or "" when blank

// Delivers what other threads sent (SendMessage from another thread waits for this), then the
// posted messages, in order, as the UI thread's message loop does.
void PumpMessages();
// The UI thread waiting in its message loop: delivers messages as they arrive until `done` holds.
// False when it still does not hold after `realTimeoutMs` of real time.
bool PumpMessagesUntil(const std::function<bool()>& done, unsigned realTimeoutMs = 10000);
// Moves the clock, firing due timers in order (after delivering posted messages).
void AdvanceClock(std::uint32_t ms);
std::uint32_t Now();

// The framework's own observable effects: "CoInitialize apartment", "InitCommonControls 0xff",
// "paint-icon", "cursor 238", "cursor restore", "sleep 1000", "modeless 232" and "destroy 232" (a
// modeless dialog's window), "minimise 102" and "restore 102" (ShowWindow on a dialog), ... in order.
const std::vector<std::string>& Log();
int CurrentCursorResource();  // 0: the arrow the program started with

// The colours the dialog chose for a control (or the dialog itself with id 0).
struct ColourChoice {
  bool hasBrush = false;
  Colour brushColour = 0;
  bool hasTextColour = false;
  Colour textColour = 0;
  bool hasBkColour = false;
  Colour bkColour = 0;
  int bkMode = 0;
};
// Asks as WM_CTLCOLOR* does, naming the control by its window (the first control with `id`).
ColourChoice QueryColours(CDialog& dialog, int id, CtlColorKind kind);
ColourChoice QueryColoursOf(CDialog& dialog, Window* control, CtlColorKind kind);

}  // namespace sw::ui::headless
