#pragma once
// Shared state of the headless backend's two files (wnd_headless.cpp, dialog_headless.cpp).

#include <atomic>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <set>
#include <thread>

#include "host/clock.h"
#include "ui/headless.h"

namespace sw::ui::headless {

enum class ResourceKind { Brush, Icon, Cursor, DeviceContext };

struct Resource {
  ResourceKind kind;
  int id = 0;
  Colour colour = 0;
  // Device contexts record what a colour handler set.
  ColourChoice choice;
};

struct PostedMessage {
  NativeHandle target;
  unsigned message;
  Wparam wParam;
  Lparam lParam;
};

// The process's clock while the headless backend is linked in: sleeping only moves it (and is logged).
class HeadlessClock : public host::FakeClock {
 public:
  void Sleep(unsigned ms) override;
};

// A SendMessage from another thread: the UI thread delivers it and hands back the result.
struct SentMessage {
  PostedMessage message;
  std::promise<Lresult> result;
};

struct MessageBoxAnswer {
  int answer = 0;
  std::uint32_t afterMs = 0;
};

struct State {
  std::set<Window*> live;
  std::vector<std::unique_ptr<Window>> topLevel;
  std::vector<CDialog*> open;
  std::multimap<int, std::function<void(CDialog&)>> scripts;  // by template id, FIFO
  std::deque<MessageBoxAnswer> answers;
  std::vector<MessageBoxRecord> boxes;
  std::vector<std::string> log;
  std::vector<std::unique_ptr<Resource>> resources;
  HeadlessClock clock;
  NativeHandle cursor = nullptr;
  std::mutex postedLock;  // guards posted, sent and the wake-up
  std::condition_variable messageArrived;
  std::deque<PostedMessage> posted;
  std::deque<std::unique_ptr<SentMessage>> sent;
  std::atomic<std::thread::id> uiThread{std::this_thread::get_id()};  // the thread that builds windows
  std::map<int, DialogTemplate> testTemplates;
  std::map<int, std::uint32_t> failCreation;
  std::map<std::string, unsigned> registered;
  std::deque<unsigned> popupChoices;
  std::vector<PopupMenuRecord> popups;
  Window* capture = nullptr;
  std::set<std::string> classes;  // RegisterControlClass
};

State& S();
Resource* NewResource(ResourceKind kind, int id = 0, Colour colour = 0);
Resource* AsResource(NativeHandle h);
Window* Live(NativeHandle h);
// Sends a message to a window: dialogs dispatch it, controls understand a few.
Lresult Deliver(Window* w, unsigned message, Wparam wParam, Lparam lParam);
// SendMessage: delivered at once on the UI thread; from another thread it waits for the UI thread.
Lresult Send(NativeHandle target, unsigned message, Wparam wParam, Lparam lParam);
void Post(NativeHandle target, unsigned message, Wparam wParam, Lparam lParam);
void DestroyTree(Window* w);
// The top-level window (dialog) a window belongs to.
Window* TopLevel(Window* w);

// Where a sorted combo box puts `text`: after the items that are not greater, case-insensitively,
// as CB_ADDSTRING does; the one rule for template items and AddString.
std::size_t SortedPosition(const std::vector<std::string>& items, const std::string& text);

// List views: rows that fit in the client area (a fixed metric: the template's height in dialog
// units at 8-point MS Shell Dlg, 24-pixel header, 17-pixel rows, 2-pixel borders), and the top row
// kept within the rows there are.
int RowsPerPage(const Window& list);
void ClampTop(Window& list);
// Changes row states (row -1: every row) and sends LVN_ITEMCHANGED for each row that changed.
void SetRowStates(Window* list, int row, unsigned state, unsigned mask);

}  // namespace sw::ui::headless
