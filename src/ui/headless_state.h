#pragma once
// Shared state of the headless backend's two files (wnd_headless.cpp, dialog_headless.cpp).

#include <deque>
#include <mutex>
#include <set>

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

struct State {
  std::set<Window*> live;
  std::vector<std::unique_ptr<Window>> topLevel;
  std::vector<CDialog*> open;
  std::multimap<int, std::function<void(CDialog&)>> scripts;  // by template id, FIFO
  std::deque<int> answers;
  std::vector<MessageBoxRecord> boxes;
  std::vector<std::string> log;
  std::vector<std::unique_ptr<Resource>> resources;
  HeadlessClock clock;
  NativeHandle cursor = nullptr;
  std::mutex postedLock;
  std::deque<PostedMessage> posted;
  std::map<std::string, unsigned> registered;
};

State& S();
Resource* NewResource(ResourceKind kind, int id = 0, Colour colour = 0);
Resource* AsResource(NativeHandle h);
Window* Live(NativeHandle h);
// Sends a message to a window: dialogs dispatch it, controls understand a few.
Lresult Deliver(Window* w, unsigned message, Wparam wParam, Lparam lParam);
void DestroyTree(Window* w);

}  // namespace sw::ui::headless
