// uidriver: drives another process's Win32 windows for the E2E tests, the way a user would (posted
// clicks, notifications, system commands) and reads them back (texts, states, list views, IP
// address controls). One command per run, or a script of commands from a file or stdin; each
// command prints one JSON line. Run with no arguments for the command list.
//
// List views and IP address controls keep their data in the target process, so those requests
// carry buffers allocated there (VirtualAllocEx) and read back with ReadProcessMemory. The driver
// and the target must have the same bitness (both x86_64 in our tests).

#include <windows.h>
#include <commctrl.h>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iostream>
#include <sstream>
#include <string>
#include <vector>

#include "json_line.h"

namespace sw::uidriver {

namespace {

constexpr DWORD kDefaultTimeoutMs = 10000;

struct Session {
  PROCESS_INFORMATION started{};  // the process `start` launched, if any
  bool hasStarted = false;
};

std::string WindowText(HWND hwnd) {
  // WM_GETTEXT is marshalled across processes by the system.
  LRESULT length = SendMessageA(hwnd, WM_GETTEXTLENGTH, 0, 0);
  if (length < 0) length = 0;
  std::vector<char> text(static_cast<size_t>(length) + 2, '\0');
  SendMessageA(hwnd, WM_GETTEXT, text.size(), reinterpret_cast<LPARAM>(text.data()));
  return std::string(text.data());
}

// The text the system keeps for a window, read without a message: GetWindowText sends nothing to
// another process's window. Captions and static texts are found this way even while the window's
// thread is held (the program sleeps with its service-starting window up); an edit's contents are
// not, so WindowText stays for controls.
std::string StoredText(HWND hwnd) {
  char text[1024] = "";
  GetWindowTextA(hwnd, text, sizeof text);
  return text;
}

std::string ClassOf(HWND hwnd) {
  char name[256] = "";
  GetClassNameA(hwnd, name, sizeof name);
  return name;
}

std::string HandleText(HWND hwnd) {
  char text[32];
  std::snprintf(text, sizeof text, "0x%llx", static_cast<unsigned long long>(reinterpret_cast<uintptr_t>(hwnd)));
  return text;
}

DWORD ProcessOf(HWND hwnd) {
  DWORD pid = 0;
  GetWindowThreadProcessId(hwnd, &pid);
  return pid;
}

struct FindRequest {
  std::string caption;
  DWORD pid = 0;  // 0: any process
  HWND found = nullptr;
};

BOOL CALLBACK FindTopLevel(HWND hwnd, LPARAM param) {
  auto* request = reinterpret_cast<FindRequest*>(param);
  if (!IsWindowVisible(hwnd)) return TRUE;
  if (request->pid != 0 && ProcessOf(hwnd) != request->pid) return TRUE;
  if (StoredText(hwnd) != request->caption) return TRUE;
  request->found = hwnd;
  return FALSE;
}

struct AllRequest {
  std::string caption;
  DWORD pid = 0;
  std::vector<HWND> found;
};

BOOL CALLBACK FindAllTopLevel(HWND hwnd, LPARAM param) {
  auto* request = reinterpret_cast<AllRequest*>(param);
  if (IsWindowVisible(hwnd) && (request->pid == 0 || ProcessOf(hwnd) == request->pid) &&
      StoredText(hwnd) == request->caption) {
    request->found.push_back(hwnd);
  }
  return TRUE;
}

DWORD RunningStartedProcess(const Session& session) {
  if (session.hasStarted && WaitForSingleObject(session.started.hProcess, 0) == WAIT_TIMEOUT) {
    return session.started.dwProcessId;
  }
  return 0;
}

// "hwnd:0x1234" names one window exactly (a dialog that shares its caption with another).
bool ParseHandleSelector(const std::string& selector, HWND& hwnd) {
  if (selector.compare(0, 5, "hwnd:") != 0) return false;
  unsigned long long value = std::strtoull(selector.c_str() + 5, nullptr, 0);
  hwnd = reinterpret_cast<HWND>(static_cast<uintptr_t>(value));
  if (!IsWindow(hwnd) || !IsWindowVisible(hwnd)) hwnd = nullptr;
  return true;
}

// Windows of the process we started take precedence: seekwell.exe and seekwell-sim.exe share
// their captions, and a stale window of another run must not answer for ours.
HWND FindWindowByCaption(const Session& session, const std::string& caption) {
  HWND exact = nullptr;
  if (ParseHandleSelector(caption, exact)) return exact;
  FindRequest request;
  request.caption = caption;
  request.pid = RunningStartedProcess(session);
  EnumWindows(FindTopLevel, reinterpret_cast<LPARAM>(&request));
  return request.found;
}

HWND WaitForWindow(const Session& session, const std::string& caption, DWORD timeoutMs) {
  DWORD start = GetTickCount();
  for (;;) {
    HWND hwnd = FindWindowByCaption(session, caption);
    if (hwnd != nullptr || GetTickCount() - start >= timeoutMs) return hwnd;
    Sleep(50);
  }
}

// A buffer in another process, freed when it goes out of scope.
class RemoteBuffer {
 public:
  RemoteBuffer(HWND owner, size_t size) : size_(size) {
    process_ = OpenProcess(PROCESS_VM_OPERATION | PROCESS_VM_READ | PROCESS_VM_WRITE | PROCESS_QUERY_INFORMATION,
                           FALSE, ProcessOf(owner));
    if (process_ != nullptr) {
      address_ = VirtualAllocEx(process_, nullptr, size, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE);
    }
  }
  ~RemoteBuffer() {
    if (address_ != nullptr) VirtualFreeEx(process_, address_, 0, MEM_RELEASE);
    if (process_ != nullptr) CloseHandle(process_);
  }
  RemoteBuffer(const RemoteBuffer&) = delete;
  RemoteBuffer& operator=(const RemoteBuffer&) = delete;

  bool ok() const { return address_ != nullptr; }
  char* at(size_t offset) const { return static_cast<char*>(address_) + offset; }
  bool Write(size_t offset, const void* data, size_t size) {
    SIZE_T done = 0;
    return offset + size <= size_ && WriteProcessMemory(process_, at(offset), data, size, &done) && done == size;
  }
  bool Read(size_t offset, void* data, size_t size) const {
    SIZE_T done = 0;
    return offset + size <= size_ && ReadProcessMemory(process_, at(offset), data, size, &done) && done == size;
  }

 private:
  HANDLE process_ = nullptr;
  void* address_ = nullptr;
  size_t size_;
};

using Args = std::vector<std::string>;

bool ParseNumber(const std::string& text, long long& value) {
  if (text.empty()) return false;
  char* end = nullptr;
  value = std::strtoll(text.c_str(), &end, 0);
  return end != nullptr && *end == '\0';
}

DWORD TimeoutArg(const Args& args, size_t index) {
  long long value = 0;
  if (index < args.size() && ParseNumber(args[index], value) && value >= 0) return static_cast<DWORD>(value);
  return kDefaultTimeoutMs;
}

// Resolves "<caption> <control id>" to the control, reporting what is missing.
bool FindControl(const Session& session, const Args& args, JsonLine& out, HWND& dialog, HWND& control) {
  long long id = 0;
  if (args.size() < 3 || !ParseNumber(args[2], id)) {
    out.Fail("usage: " + args[0] + " <caption> <control id>");
    return false;
  }
  dialog = FindWindowByCaption(session, args[1]);
  if (dialog == nullptr) {
    out.Fail("no window \"" + args[1] + "\"");
    return false;
  }
  // Id 0 names the window itself (its client size, for one).
  control = id == 0 ? dialog : GetDlgItem(dialog, static_cast<int>(id));
  if (control == nullptr) {
    out.Fail("window \"" + args[1] + "\" has no control " + args[2]);
    return false;
  }
  return true;
}

void DescribeControl(HWND control, JsonLine& out) {
  out.Add("class", ClassOf(control));
  out.Add("text", WindowText(control));
  out.Add("enabled", IsWindowEnabled(control) != FALSE);
  out.Add("visible", IsWindowVisible(control) != FALSE);
  RECT client{};
  GetClientRect(control, &client);
  // Where it sits in its parent's client area (a scrolled dialog moves its children).
  RECT placed{};
  GetWindowRect(control, &placed);
  HWND parent = GetParent(control);
  if (parent != nullptr) MapWindowPoints(nullptr, parent, reinterpret_cast<POINT*>(&placed), 2);
  out.Add("x", static_cast<long long>(placed.left));
  out.Add("y", static_cast<long long>(placed.top));
  out.Add("width", static_cast<long long>(client.right));
  out.Add("height", static_cast<long long>(client.bottom));
  // Check boxes and radio buttons; a push button answers unchecked.
  if (ClassOf(control) == "Button") {
    out.Add("checked", SendMessageA(control, BM_GETCHECK, 0, 0) == BST_CHECKED);
  }
}

// --- Commands.

void CmdStart(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: start <program> [args...]");
  std::string commandLine;
  for (size_t i = 1; i < args.size(); ++i) {
    if (i > 1) commandLine += ' ';
    commandLine += '"' + args[i] + '"';
  }
  if (session.hasStarted) {
    CloseHandle(session.started.hProcess);
    CloseHandle(session.started.hThread);
    session.hasStarted = false;
  }
  STARTUPINFOA startup{};
  startup.cb = sizeof startup;
  std::vector<char> line(commandLine.begin(), commandLine.end());
  line.push_back('\0');
  if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                      &session.started)) {
    return out.Fail("CreateProcess failed, error " + std::to_string(GetLastError()));
  }
  session.hasStarted = true;
  out.Add("pid", static_cast<long long>(session.started.dwProcessId));
}

void CmdWaitExit(Session& session, const Args& args, JsonLine& out) {
  if (!session.hasStarted) return out.Fail("no process was started");
  DWORD wait = WaitForSingleObject(session.started.hProcess, TimeoutArg(args, 1));
  if (wait != WAIT_OBJECT_0) {
    out.Add("exited", false);
    return out.Fail("process still running");
  }
  DWORD code = 0;
  GetExitCodeProcess(session.started.hProcess, &code);
  out.Add("exited", true);
  out.Add("code", static_cast<long long>(code));
}

void CmdKill(Session& session, const Args&, JsonLine& out) {
  if (!session.hasStarted) return out.Fail("no process was started");
  if (WaitForSingleObject(session.started.hProcess, 0) == WAIT_TIMEOUT) {
    TerminateProcess(session.started.hProcess, 255);
    WaitForSingleObject(session.started.hProcess, 5000);
    out.Add("killed", true);
  } else {
    out.Add("killed", false);
  }
}

void CmdWaitWindow(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: wait-window <caption> [timeout ms]");
  HWND hwnd = WaitForWindow(session, args[1], TimeoutArg(args, 2));
  if (hwnd == nullptr) return out.Fail("no window \"" + args[1] + "\" within the time-out");
  out.Add("hwnd", HandleText(hwnd));
  out.Add("pid", static_cast<long long>(ProcessOf(hwnd)));
  out.Add("class", ClassOf(hwnd));
}

void CmdWaitGone(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: wait-gone <caption> [timeout ms]");
  DWORD timeout = TimeoutArg(args, 2);
  DWORD start = GetTickCount();
  while (FindWindowByCaption(session, args[1]) != nullptr) {
    if (GetTickCount() - start >= timeout) return out.Fail("window \"" + args[1] + "\" still there");
    Sleep(50);
  }
}

void CmdExists(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: exists <caption>");
  out.Add("exists", FindWindowByCaption(session, args[1]) != nullptr);
}

void CmdWindows(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: windows <caption>");
  AllRequest request;
  request.caption = args[1];
  request.pid = RunningStartedProcess(session);
  EnumWindows(FindAllTopLevel, reinterpret_cast<LPARAM>(&request));
  std::string items = "[";
  for (size_t i = 0; i < request.found.size(); ++i) {
    HWND hwnd = request.found[i];
    JsonLine item;
    item.Add("hwnd", HandleText(hwnd));
    item.Add("class", ClassOf(hwnd));
    item.Add("pid", static_cast<long long>(ProcessOf(hwnd)));
    item.Add("enabled", IsWindowEnabled(hwnd) != FALSE);
    item.Add("owner", HandleText(GetWindow(hwnd, GW_OWNER)));
    // The client area on the screen; none of this sends the window a message.
    RECT client{};
    GetClientRect(hwnd, &client);
    POINT origin{0, 0};
    ClientToScreen(hwnd, &origin);
    item.Add("x", static_cast<long long>(origin.x));
    item.Add("y", static_cast<long long>(origin.y));
    item.Add("width", static_cast<long long>(client.right));
    item.Add("height", static_cast<long long>(client.bottom));
    items += (i == 0 ? "" : ",") + item.Object();
  }
  out.AddRaw("windows", items + "]");
}

void CmdGet(Session& session, const Args& args, JsonLine& out) {
  HWND dialog = nullptr, control = nullptr;
  if (!FindControl(session, args, out, dialog, control)) return;
  DescribeControl(control, out);
}

void CmdWaitText(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 4) return out.Fail("usage: wait-text <caption> <id> <text> [timeout ms]");
  DWORD timeout = TimeoutArg(args, 4);
  DWORD start = GetTickCount();
  for (;;) {
    HWND dialog = nullptr, control = nullptr;
    JsonLine probe;
    if (FindControl(session, args, probe, dialog, control) && WindowText(control) == args[3]) {
      DescribeControl(control, out);
      return;
    }
    if (GetTickCount() - start >= timeout) {
      if (control != nullptr) out.Add("text", WindowText(control));
      return out.Fail("control " + args[2] + " did not show the text within the time-out");
    }
    Sleep(50);
  }
}

struct ChildList {
  std::vector<HWND> children;
};

BOOL CALLBACK CollectChild(HWND hwnd, LPARAM param) {
  reinterpret_cast<ChildList*>(param)->children.push_back(hwnd);
  return TRUE;
}

std::vector<HWND> DirectChildren(HWND parent) {
  ChildList list;
  EnumChildWindows(parent, CollectChild, reinterpret_cast<LPARAM>(&list));
  std::vector<HWND> direct;
  for (HWND child : list.children) {
    if (GetParent(child) == parent) direct.push_back(child);
  }
  return direct;
}

void CmdChildren(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: children <caption>");
  HWND dialog = FindWindowByCaption(session, args[1]);
  if (dialog == nullptr) return out.Fail("no window \"" + args[1] + "\"");
  std::string items = "[";
  bool first = true;
  for (HWND child : DirectChildren(dialog)) {
    JsonLine item;
    item.Add("id", static_cast<long long>(GetDlgCtrlID(child)));
    DescribeControl(child, item);
    items += (first ? "" : ",") + item.Object();
    first = false;
  }
  out.AddRaw("children", items + "]");
}

void CmdList(Session& session, const Args& args, JsonLine& out) {
  HWND dialog = nullptr, list = nullptr;
  if (!FindControl(session, args, out, dialog, list)) return;
  constexpr size_t kTextSize = 1024;
  RemoteBuffer remote(list, sizeof(LVITEMA) + sizeof(LVCOLUMNA) + kTextSize);
  if (!remote.ok()) return out.Fail("cannot allocate memory in the target process");
  const size_t itemAt = 0, columnAt = sizeof(LVITEMA), textAt = sizeof(LVITEMA) + sizeof(LVCOLUMNA);

  HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
  int columnCount = header != nullptr ? static_cast<int>(SendMessageA(header, HDM_GETITEMCOUNT, 0, 0)) : 0;
  std::vector<std::string> columns;
  for (int c = 0; c < columnCount; ++c) {
    LVCOLUMNA column{};
    column.mask = LVCF_TEXT;
    column.pszText = remote.at(textAt);
    column.cchTextMax = kTextSize;
    char text[kTextSize] = "";
    if (!remote.Write(columnAt, &column, sizeof column) || !remote.Write(textAt, text, 1) ||
        !SendMessageA(list, LVM_GETCOLUMNA, c, reinterpret_cast<LPARAM>(remote.at(columnAt))) ||
        !remote.Read(textAt, text, kTextSize)) {
      return out.Fail("cannot read column " + std::to_string(c));
    }
    text[kTextSize - 1] = '\0';
    columns.push_back(text);
  }

  int rowCount = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  std::string rows = "[";
  std::string selected = "[";
  for (int r = 0; r < rowCount; ++r) {
    std::string row = "[";
    for (int c = 0; c < (columnCount > 0 ? columnCount : 1); ++c) {
      LVITEMA item{};
      item.iSubItem = c;
      item.pszText = remote.at(textAt);
      item.cchTextMax = kTextSize;
      char text[kTextSize] = "";
      if (!remote.Write(itemAt, &item, sizeof item) || !remote.Write(textAt, text, 1)) {
        return out.Fail("cannot write to the target process");
      }
      SendMessageA(list, LVM_GETITEMTEXTA, r, reinterpret_cast<LPARAM>(remote.at(itemAt)));
      if (!remote.Read(textAt, text, kTextSize)) return out.Fail("cannot read from the target process");
      text[kTextSize - 1] = '\0';
      row += (c == 0 ? "" : ",") + JsonString(text);
    }
    rows += (r == 0 ? "" : ",") + row + "]";
    if (SendMessageA(list, LVM_GETITEMSTATE, r, LVIS_SELECTED) & LVIS_SELECTED) {
      selected += (selected.size() > 1 ? "," : "") + std::to_string(r);
    }
  }
  std::string columnsJson = "[";
  for (size_t c = 0; c < columns.size(); ++c) columnsJson += (c == 0 ? "" : ",") + JsonString(columns[c]);
  out.AddRaw("columns", columnsJson + "]");
  out.AddRaw("rows", rows + "]");
  out.AddRaw("selected", selected + "]");
  out.Add("enabled", IsWindowEnabled(list) != FALSE);
}

// A click on a row, made of the mouse messages a real click sends to the list view, so that the
// list view itself selects the row and notifies its parent (NM_CLICK). WM_NOTIFY cannot be sent
// across processes, so the driver never sends the notification itself. Row -1 clicks empty space
// below the last row.
void CmdClickRow(Session& session, const Args& args, JsonLine& out) {
  HWND dialog = nullptr, list = nullptr;
  long long row = 0;
  if (args.size() < 4 || !ParseNumber(args[3], row)) return out.Fail("usage: click-row <caption> <list id> <row>");
  if (!FindControl(session, args, out, dialog, list)) return;
  if (!IsWindowEnabled(list)) return out.Fail("list is disabled");
  int rowCount = static_cast<int>(SendMessageA(list, LVM_GETITEMCOUNT, 0, 0));
  if (row < -1 || row >= rowCount) return out.Fail("no row " + args[3] + " (" + std::to_string(rowCount) + " rows)");

  RemoteBuffer remote(list, sizeof(RECT));
  if (!remote.ok()) return out.Fail("cannot allocate memory in the target process");
  int target = row >= 0 ? static_cast<int>(row) : rowCount - 1;
  POINT at{4, 4};
  if (target >= 0) {
    SendMessageA(list, LVM_ENSUREVISIBLE, static_cast<WPARAM>(target), FALSE);
    RECT bounds{};
    bounds.left = LVIR_LABEL;
    if (!remote.Write(0, &bounds, sizeof bounds) ||
        !SendMessageA(list, LVM_GETITEMRECT, static_cast<WPARAM>(target), reinterpret_cast<LPARAM>(remote.at(0))) ||
        !remote.Read(0, &bounds, sizeof bounds)) {
      return out.Fail("cannot find row " + std::to_string(target) + " on screen");
    }
    at = row >= 0 ? POINT{bounds.left + 3, (bounds.top + bounds.bottom) / 2} : POINT{bounds.left + 3, bounds.bottom + 4};
  } else {
    HWND header = reinterpret_cast<HWND>(SendMessageA(list, LVM_GETHEADER, 0, 0));
    RECT headerRect{};
    if (header != nullptr && GetWindowRect(header, &headerRect)) at.y = headerRect.bottom - headerRect.top + 4;
  }
  RECT client{};
  GetClientRect(list, &client);
  if (!PtInRect(&client, at)) return out.Fail("the click point lies outside the list");
  LPARAM where = MAKELPARAM(at.x, at.y);
  PostMessageA(list, WM_MOUSEMOVE, 0, where);
  PostMessageA(list, WM_LBUTTONDOWN, MK_LBUTTON, where);
  PostMessageA(list, WM_LBUTTONUP, 0, where);
  out.Add("x", static_cast<long long>(at.x));
  out.Add("y", static_cast<long long>(at.y));
}

// The pointer is put on the point first, so that the control's hover and leave tracking, which
// follows the real cursor, sees it inside; then the message goes to the control, posted.
void CmdMouse(Session& session, const Args& args, JsonLine& out) {
  long long id = 0, x = 0, y = 0, delta = -WHEEL_DELTA;
  if (args.size() < 6 || !ParseNumber(args[2], id) || !ParseNumber(args[4], x) || !ParseNumber(args[5], y) ||
      (args.size() > 6 && !ParseNumber(args[6], delta))) {
    return out.Fail("usage: mouse <caption> <id | 0> <move|left|right|wheel> <x> <y> [wheel delta]");
  }
  HWND dialog = FindWindowByCaption(session, args[1]);
  if (dialog == nullptr) return out.Fail("no window \"" + args[1] + "\"");
  HWND target = id == 0 ? dialog : GetDlgItem(dialog, static_cast<int>(id));
  if (target == nullptr) return out.Fail("window \"" + args[1] + "\" has no control " + args[2]);
  POINT at{static_cast<LONG>(x), static_cast<LONG>(y)};
  RECT client{};
  GetClientRect(target, &client);
  if (!PtInRect(&client, at)) return out.Fail("the point lies outside the control's client area");
  POINT screen = at;
  ClientToScreen(target, &screen);
  SetCursorPos(screen.x, screen.y);
  const LPARAM where = MAKELPARAM(at.x, at.y);
  const std::string& kind = args[3];
  if (kind == "move") {
    PostMessageA(target, WM_MOUSEMOVE, 0, where);
  } else if (kind == "left") {
    PostMessageA(target, WM_MOUSEMOVE, 0, where);
    PostMessageA(target, WM_LBUTTONDOWN, MK_LBUTTON, where);
    PostMessageA(target, WM_LBUTTONUP, 0, where);
  } else if (kind == "right") {
    PostMessageA(target, WM_MOUSEMOVE, 0, where);
    PostMessageA(target, WM_RBUTTONDOWN, MK_RBUTTON, where);
    PostMessageA(target, WM_RBUTTONUP, 0, where);
  } else if (kind == "wheel") {
    PostMessageA(target, WM_MOUSEWHEEL, MAKEWPARAM(0, static_cast<short>(delta)), MAKELPARAM(screen.x, screen.y));
  } else {
    return out.Fail("unknown mouse action " + kind);
  }
  out.Add("x", static_cast<long long>(screen.x));
  out.Add("y", static_cast<long long>(screen.y));
}

void PostCommand(HWND dialog, HWND control) {
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(control), BN_CLICKED), reinterpret_cast<LPARAM>(control));
}

// A click is posted, not sent: the handler may run a modal dialog, which must not block us.
void CmdClick(Session& session, const Args& args, JsonLine& out) {
  HWND dialog = nullptr, button = nullptr;
  if (!FindControl(session, args, out, dialog, button)) return;
  if (!IsWindowEnabled(button) || !IsWindowVisible(button)) {
    return out.Fail("control " + args[2] + " is disabled or hidden; a user could not click it");
  }
  PostCommand(dialog, button);
}

void CmdBmClick(Session& session, const Args& args, JsonLine& out) {
  HWND dialog = nullptr, button = nullptr;
  if (!FindControl(session, args, out, dialog, button)) return;
  PostMessageA(button, BM_CLICK, 0, 0);
}

void CmdSysCommand(Session& session, const Args& args, JsonLine& out) {
  long long id = 0;
  if (args.size() < 3 || !ParseNumber(args[2], id)) return out.Fail("usage: syscommand <caption> <command id>");
  HWND hwnd = FindWindowByCaption(session, args[1]);
  if (hwnd == nullptr) return out.Fail("no window \"" + args[1] + "\"");
  PostMessageA(hwnd, WM_SYSCOMMAND, static_cast<WPARAM>(id), 0);
}

void CmdClose(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: close <caption>");
  HWND hwnd = FindWindowByCaption(session, args[1]);
  if (hwnd == nullptr) return out.Fail("no window \"" + args[1] + "\"");
  PostMessageA(hwnd, WM_CLOSE, 0, 0);
}

void CmdType(Session& session, const Args& args, JsonLine& out) {
  HWND dialog = nullptr, edit = nullptr;
  if (args.size() < 4) return out.Fail("usage: type <caption> <edit id> <text>");
  if (!FindControl(session, args, out, dialog, edit)) return;
  if (!IsWindowEnabled(edit)) return out.Fail("edit " + args[2] + " is disabled");
  // WM_SETTEXT on a single-line edit makes it send EN_CHANGE, as typing does.
  SendMessageA(edit, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(args[3].c_str()));
  out.Add("text", WindowText(edit));
}

void CmdIp(Session& session, const Args& args, JsonLine& out) {
  HWND dialog = nullptr, ip = nullptr;
  if (!FindControl(session, args, out, dialog, ip)) return;
  RemoteBuffer remote(ip, sizeof(DWORD));
  if (!remote.ok()) return out.Fail("cannot allocate memory in the target process");
  DWORD address = 0;
  remote.Write(0, &address, sizeof address);
  LRESULT filled = SendMessageA(ip, IPM_GETADDRESS, 0, reinterpret_cast<LPARAM>(remote.at(0)));
  if (!remote.Read(0, &address, sizeof address)) return out.Fail("cannot read from the target process");
  char text[32];
  std::snprintf(text, sizeof text, "%lu.%lu.%lu.%lu", (address >> 24) & 255, (address >> 16) & 255,
                (address >> 8) & 255, address & 255);
  out.Add("address", filled == 0 ? std::string() : std::string(text));
  out.Add("fields", static_cast<long long>(filled));
  out.Add("enabled", IsWindowEnabled(ip) != FALSE);
}

void CmdSetIp(Session& session, const Args& args, JsonLine& out) {
  HWND dialog = nullptr, ip = nullptr;
  if (args.size() < 4) return out.Fail("usage: set-ip <caption> <control id> <a.b.c.d | blank>");
  if (!FindControl(session, args, out, dialog, ip)) return;
  if (args[3] == "blank") {
    SendMessageA(ip, IPM_CLEARADDRESS, 0, 0);
    return;
  }
  unsigned a = 0, b = 0, c = 0, d = 0;
  char extra = 0;
  if (std::sscanf(args[3].c_str(), "%u.%u.%u.%u%c", &a, &b, &c, &d, &extra) != 4 || a > 255 || b > 255 ||
      c > 255 || d > 255) {
    return out.Fail("not a dotted address: " + args[3]);
  }
  SendMessageA(ip, IPM_SETADDRESS, 0, MAKEIPADDRESS(a, b, c, d));
}

// A user's pick in a drop-down list: the selection, then the notification Windows sends for it
// (posted, since the handler may open a dialog).
void CmdSelect(Session& session, const Args& args, JsonLine& out) {
  HWND dialog = nullptr, combo = nullptr;
  long long index = 0;
  if (args.size() < 4 || !ParseNumber(args[3], index)) return out.Fail("usage: select <caption> <control id> <index>");
  if (!FindControl(session, args, out, dialog, combo)) return;
  if (!IsWindowEnabled(combo) || !IsWindowVisible(combo)) return out.Fail("control " + args[2] + " is disabled or hidden");
  if (SendMessageA(combo, CB_SETCURSEL, static_cast<WPARAM>(index), 0) == CB_ERR) {
    return out.Fail("no item " + args[3]);
  }
  PostMessageA(dialog, WM_COMMAND, MAKEWPARAM(GetDlgCtrlID(combo), CBN_SELCHANGE), reinterpret_cast<LPARAM>(combo));
}

// Message boxes and other small dialogs: their texts and buttons, read without a message.
void CmdDialog(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: dialog <caption> [timeout ms]");
  HWND hwnd = WaitForWindow(session, args[1], TimeoutArg(args, 2));
  if (hwnd == nullptr) return out.Fail("no window \"" + args[1] + "\" within the time-out");
  std::string texts = "[";
  std::string buttons = "[";
  for (HWND child : DirectChildren(hwnd)) {
    std::string cls = ClassOf(child);
    std::string text = StoredText(child);
    if (lstrcmpiA(cls.c_str(), "Button") == 0) {
      JsonLine button;
      button.Add("id", static_cast<long long>(GetDlgCtrlID(child)));
      button.Add("text", text);
      button.Add("enabled", IsWindowEnabled(child) != FALSE);
      buttons += (buttons.size() > 1 ? "," : "") + button.Object();
    } else if (lstrcmpiA(cls.c_str(), "Static") == 0 && !text.empty()) {
      texts += (texts.size() > 1 ? "," : "") + JsonString(text);
    }
  }
  out.Add("class", ClassOf(hwnd));
  out.AddRaw("texts", texts + "]");
  out.AddRaw("buttons", buttons + "]");
}

std::string WithoutAmpersands(const std::string& text) {
  std::string out;
  for (char c : text) {
    if (c != '&') out += c;
  }
  return out;
}

// Presses a dialog's button by id or caption ("OK", "&Yes" or "Yes").
void CmdPress(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 3) return out.Fail("usage: press <caption> <button id | button text> [timeout ms]");
  HWND hwnd = WaitForWindow(session, args[1], TimeoutArg(args, 3));
  if (hwnd == nullptr) return out.Fail("no window \"" + args[1] + "\" within the time-out");
  long long id = 0;
  HWND button = nullptr;
  if (ParseNumber(args[2], id)) {
    button = GetDlgItem(hwnd, static_cast<int>(id));
  } else {
    for (HWND child : DirectChildren(hwnd)) {
      if (lstrcmpiA(ClassOf(child).c_str(), "Button") == 0 &&
          WithoutAmpersands(StoredText(child)) == WithoutAmpersands(args[2])) {
        button = child;
      }
    }
  }
  if (button == nullptr) return out.Fail("no button " + args[2] + " in \"" + args[1] + "\"");
  if (!IsWindowEnabled(button)) return out.Fail("button " + args[2] + " is disabled");
  out.Add("id", static_cast<long long>(GetDlgCtrlID(button)));
  PostCommand(hwnd, button);
}

void CmdForeground(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: foreground <caption>");
  HWND hwnd = FindWindowByCaption(session, args[1]);
  if (hwnd == nullptr) return out.Fail("no window \"" + args[1] + "\"");
  SetForegroundWindow(hwnd);
  RECT r{};
  GetWindowRect(hwnd, &r);
  out.Add("left", static_cast<long long>(r.left));
  out.Add("top", static_cast<long long>(r.top));
  out.Add("right", static_cast<long long>(r.right));
  out.Add("bottom", static_cast<long long>(r.bottom));
}

struct MenuRequest {
  DWORD pid = 0;
  HWND found = nullptr;
};

BOOL CALLBACK FindMenuWindow(HWND hwnd, LPARAM param) {
  auto* request = reinterpret_cast<MenuRequest*>(param);
  if (!IsWindowVisible(hwnd) || ClassOf(hwnd) != "#32768") return TRUE;
  if (request->pid != 0 && ProcessOf(hwnd) != request->pid) return TRUE;
  request->found = hwnd;
  return FALSE;
}

// Keys for the context menu the program shows (its window class is "#32768"), as a keyboard gives
// them: the menu's tracking loop takes every key message of its thread.
void CmdMenuKeys(Session& session, const Args& args, JsonLine& out) {
  if (args.size() < 2) return out.Fail("usage: menu-keys <down|up|return|escape>...");
  std::vector<WPARAM> keys;
  for (size_t i = 1; i < args.size(); ++i) {
    const std::string& k = args[i];
    if (k == "down") {
      keys.push_back(VK_DOWN);
    } else if (k == "up") {
      keys.push_back(VK_UP);
    } else if (k == "return") {
      keys.push_back(VK_RETURN);
    } else if (k == "escape") {
      keys.push_back(VK_ESCAPE);
    } else {
      return out.Fail("unknown key " + k);
    }
  }
  MenuRequest request;
  request.pid = RunningStartedProcess(session);
  const DWORD start = GetTickCount();
  for (;;) {
    EnumWindows(FindMenuWindow, reinterpret_cast<LPARAM>(&request));
    if (request.found != nullptr) break;
    if (GetTickCount() - start >= kDefaultTimeoutMs) return out.Fail("no context menu is open");
    Sleep(50);
  }
  for (WPARAM key : keys) {
    PostMessageA(request.found, WM_KEYDOWN, key, 1);
    PostMessageA(request.found, WM_KEYUP, key, static_cast<LPARAM>(0xC0000001u));
  }
  out.Add("menu", HandleText(request.found));
}

void CmdSleep(Session&, const Args& args, JsonLine&) { Sleep(TimeoutArg(args, 1)); }

struct Command {
  const char* name;
  void (*run)(Session&, const Args&, JsonLine&);
  const char* usage;
};

const Command kCommands[] = {
    {"start", CmdStart, "start <program> [args...]          start a process (its windows are preferred)"},
    {"wait-exit", CmdWaitExit, "wait-exit [timeout ms]             wait for it to end; prints its exit code"},
    {"kill", CmdKill, "kill                               end the started process if it still runs"},
    {"wait-window", CmdWaitWindow, "wait-window <caption> [timeout ms] wait for a visible top-level window"},
    {"wait-gone", CmdWaitGone, "wait-gone <caption> [timeout ms]   wait until no such window is left"},
    {"exists", CmdExists, "exists <caption>                   whether such a window exists now"},
    {"windows", CmdWindows, "windows <caption>                  every visible top-level window with that caption, its client area"},
    {"get", CmdGet, "get <caption> <id>                 a control's class, text, enabled, visible, client size"},
    {"wait-text", CmdWaitText, "wait-text <caption> <id> <text> [timeout ms]  wait for a control's text"},
    {"children", CmdChildren, "children <caption>                 every child control"},
    {"list", CmdList, "list <caption> <id>                a list view's columns, rows and selection"},
    {"click-row", CmdClickRow, "click-row <caption> <id> <row>     click a row with mouse messages (-1: empty space)"},
    {"mouse", CmdMouse, "mouse <caption> <id|0> <move|left|right|wheel> <x> <y> [delta]  cursor there, message posted"},
    {"click", CmdClick, "click <caption> <id>               press an enabled button (WM_COMMAND, posted)"},
    {"bm-click", CmdBmClick, "bm-click <caption> <id>            post BM_CLICK to a control"},
    {"syscommand", CmdSysCommand, "syscommand <caption> <id>          post WM_SYSCOMMAND (0xF060: the close box)"},
    {"close", CmdClose, "close <caption>                    post WM_CLOSE"},
    {"type", CmdType, "type <caption> <id> <text>         set an edit's text (EN_CHANGE follows)"},
    {"ip", CmdIp, "ip <caption> <id>                  read an IP address control"},
    {"set-ip", CmdSetIp, "set-ip <caption> <id> <a.b.c.d|blank>  fill an IP address control"},
    {"select", CmdSelect, "select <caption> <id> <index>      pick a combo item (CBN_SELCHANGE follows)"},
    {"dialog", CmdDialog, "dialog <caption> [timeout ms]      a message box's texts and buttons"},
    {"press", CmdPress, "press <caption> <id|text> [timeout] press a dialog's button"},
    {"menu-keys", CmdMenuKeys, "menu-keys <down|up|return|escape>...  keys for the open context menu"},
    {"foreground", CmdForeground, "foreground <caption>               bring to front; prints its rectangle"},
    {"sleep", CmdSleep, "sleep <ms>"},
};

// Splits a script line into words; double quotes group, backslash escapes inside quotes.
bool SplitLine(const std::string& line, Args& words) {
  words.clear();
  std::string word;
  bool inWord = false, quoted = false;
  for (size_t i = 0; i < line.size(); ++i) {
    char c = line[i];
    if (quoted) {
      if (c == '\\' && i + 1 < line.size()) {
        word += line[++i];
      } else if (c == '"') {
        quoted = false;
      } else {
        word += c;
      }
    } else if (c == '"') {
      quoted = inWord = true;
    } else if (c == ' ' || c == '\t' || c == '\r') {
      if (inWord) words.push_back(word);
      word.clear();
      inWord = false;
    } else {
      word += c;
      inWord = true;
    }
  }
  if (quoted) return false;
  if (inWord) words.push_back(word);
  return true;
}

bool Run(Session& session, const Args& args) {
  JsonLine out;
  out.Add("cmd", args.empty() ? std::string() : args[0]);
  const Command* command = nullptr;
  for (const Command& c : kCommands) {
    if (!args.empty() && args[0] == c.name) command = &c;
  }
  if (command == nullptr) {
    out.Fail("unknown command");
  } else {
    command->run(session, args, out);
  }
  std::cout << out.Finish() << std::endl;
  return out.ok();
}

void Usage() {
  std::cerr << "usage: uidriver <command> [args...]\n"
               "       uidriver --script <file | ->   one command per line; '#' starts a comment\n"
               "Each command prints one JSON line with \"ok\". Time-outs default to 10000 ms.\n"
               "A <caption> may also be hwnd:0x... to name one window exactly.\n\n";
  for (const Command& c : kCommands) std::cerr << "  " << c.usage << "\n";
}

}  // namespace

int Main(int argc, char** argv) {
  Session session;
  if (argc < 2 || std::strcmp(argv[1], "--help") == 0 || std::strcmp(argv[1], "-h") == 0) {
    Usage();
    return 2;
  }
  bool allOk = true;
  if (std::strcmp(argv[1], "--script") == 0) {
    if (argc < 3) {
      Usage();
      return 2;
    }
    std::ifstream file;
    std::istream* in = &std::cin;
    if (std::strcmp(argv[2], "-") != 0) {
      file.open(argv[2]);
      if (!file) {
        std::cerr << "uidriver: cannot read " << argv[2] << "\n";
        return 2;
      }
      in = &file;
    }
    std::string line;
    while (std::getline(*in, line)) {
      Args args;
      size_t start = line.find_first_not_of(" \t\r");
      if (start == std::string::npos || line[start] == '#') continue;
      if (!SplitLine(line, args)) {
        JsonLine out;
        out.Add("cmd", std::string());
        out.Fail("unbalanced quotes");
        std::cout << out.Finish() << std::endl;
        allOk = false;
        continue;
      }
      if (args[0] == "quit") break;
      allOk = Run(session, args) && allOk;
    }
  } else {
    allOk = Run(session, Args(argv + 1, argv + argc));
  }
  if (session.hasStarted) {
    CloseHandle(session.started.hProcess);
    CloseHandle(session.started.hThread);
  }
  return allOk ? 0 : 1;
}

}  // namespace sw::uidriver

int main(int argc, char** argv) { return sw::uidriver::Main(argc, argv); }
