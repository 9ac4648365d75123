// The dialog framework over the headless backend where dialogs rely on it behaving as Win32 does:
// panels chained to a dialog, inner modal loops, list notifications and scrolling, the close box,
// sorted combos, dialogs that replace themselves from a handler, colour notifications, and a main
// window that cannot be created.

#include <gtest/gtest.h>

#include <thread>

#include "app/device_port.h"
#include "app/seekwell_app.h"
#include "fake_device_port.h"
#include "resource.h"
#include "ui/dialog_template.h"
#include "ui/headless.h"

namespace sw::ui {
namespace {

namespace hl = headless;
using Strings = std::vector<std::string>;

constexpr unsigned kWmSent = kWmUser + 1, kWmPosted = kWmUser + 2, kWmReopen = kWmUser + 3;

// --- Panels ------------------------------------------------------------------------------------

struct Trace {
  Strings events;
};

class NamedPanel : public CPanel {
 public:
  NamedPanel(CDialog& dialog, Trace& trace, std::string name, unsigned timerId)
      : CPanel(dialog), m_trace(trace), m_name(std::move(name)), m_timerId(timerId) {}
  const MessageMap& GetMessageMap() const override {
    static const MessageMapEntry first[] = {
        OnCommand(IDC_REFRESH, kBnClicked, &NamedPanel::OnRefresh),
        OnCommand(IDC_ABOUT, kBnClicked, &NamedPanel::OnAbout),
        OnTimer(7, &NamedPanel::OnTick),
    };
    static const MessageMapEntry second[] = {
        OnCommand(IDC_ABOUT, kBnClicked, &NamedPanel::OnAbout),
        OnTimer(8, &NamedPanel::OnTick),
    };
    static const MessageMap maps[] = {{first, 3}, {second, 2}};
    return maps[m_timerId == 7 ? 0 : 1];
  }
  void DoDataExchange(CDataExchange*) override { m_trace.events.push_back(m_name + " exchange"); }
  void StartTimer() { Dialog().SetTimer(m_timerId, 100); }

 private:
  void OnRefresh() { m_trace.events.push_back(m_name + " refresh"); }
  void OnAbout() { m_trace.events.push_back(m_name + " about"); }
  void OnTick() {
    m_trace.events.push_back(m_name + " timer");
    Dialog().KillTimer(m_timerId);
  }

  Trace& m_trace;
  std::string m_name;
  unsigned m_timerId;
};

class PanelledDialog : public CDialog {
 public:
  PanelledDialog() : CDialog(IDD_SEEKWELL_DIALOG), a(*this, trace, "a", 7), b(*this, trace, "b", 8) {
    AddPanel(a);
    AddPanel(b);
  }
  const MessageMap& GetMessageMap() const override {
    static const MessageMapEntry entries[] = {OnCommand(IDC_REFRESH, kBnClicked, &PanelledDialog::OnRefresh)};
    static const MessageMap map{entries, 1};
    return map;
  }
  void DoDataExchange(CDataExchange*) override { trace.events.push_back("dialog exchange"); }
  Trace trace;
  NamedPanel a, b;

 private:
  void OnRefresh() { trace.events.push_back("dialog refresh"); }
};

TEST(Panels, DialogFirstThenPanelsInOrderForCommandsTimersAndDataExchange) {
  hl::Reset();
  PanelledDialog dlg;
  Strings handled;
  hl::ScriptModal(IDD_SEEKWELL_DIALOG, [&](CDialog& d) {
    hl::Click(d, IDC_REFRESH);
    hl::Click(d, IDC_ABOUT);
    dlg.b.StartTimer();
    dlg.a.StartTimer();
    hl::AdvanceClock(250);
    handled = dlg.trace.events;
    d.EndDialog(kIdOk);
  });
  dlg.DoModal();
  // OnInitDialog's UpdateData, then each click reaches the first map that has it; each timer its owner.
  EXPECT_EQ(handled, (Strings{"dialog exchange", "a exchange", "b exchange", "dialog refresh", "a about",
                              "a timer", "b timer"}));
}

// --- Inner modal loops ----------------------------------------------------------------------------

class Owner : public CDialog {
 public:
  Owner() : CDialog(IDD_SEEKWELL_DIALOG) {}
  const MessageMap& GetMessageMap() const override {
    static const MessageMapEntry entries[] = {
        OnTimer(7, &Owner::OnTick),
        OnMessage(kWmSent, &Owner::OnSent),
        OnMessage(kWmPosted, &Owner::OnPosted),
        OnCommand(IDC_REFRESH, kBnClicked, &Owner::OnRefresh),
        OnCommand(IDC_ABOUT, kBnClicked, &Owner::OnOpenChild),
        OnCommand(IDC_EXIT, kBnClicked, &Owner::OnAsk),
    };
    static const MessageMap map{entries, sizeof entries / sizeof entries[0]};
    return map;
  }
  int ticks = 0, refreshes = 0, posted = 0;
  bool tickedWhileDisabled = false;
  std::thread::id sentOn;

 private:
  void OnTick() {
    ++ticks;
    tickedWhileDisabled = tickedWhileDisabled || !IsWindowEnabled();
  }
  Lresult OnSent(Wparam, Lparam) {
    sentOn = std::this_thread::get_id();
    return 42;
  }
  Lresult OnPosted(Wparam, Lparam) {
    ++posted;
    return 0;
  }
  void OnRefresh() { ++refreshes; }
  void OnOpenChild() {
    CDialog child(IDD_ABOUTBOX, this);
    child.DoModal();
  }
  void OnAsk() {
    PostMessage(kWmPosted);
    MessageBox("Really?", "Confirm", kMbYesNo);
  }
};

TEST(InnerModalLoops, OwnerGetsTimersPostedAndCrossThreadMessagesButNoClicks) {
  hl::Reset();
  Owner owner;
  Lresult sentResult = 0;
  hl::ScriptModal(IDD_ABOUTBOX, [&](CDialog& child) {
    EXPECT_FALSE(hl::Click(owner, IDC_REFRESH)) << "the owner of a modal dialog is disabled";
    hl::AdvanceClock(250);
    EXPECT_EQ(owner.ticks, 2);
    std::thread worker([&] {
      sentResult = owner.SendMessage(kWmSent);
      owner.PostMessage(kWmPosted);
    });
    EXPECT_TRUE(hl::PumpMessagesUntil([&] { return owner.posted == 1; }));
    worker.join();
    child.EndDialog(kIdOk);
  });
  hl::ScriptModal(IDD_SEEKWELL_DIALOG, [&](CDialog& d) {
    d.SetTimer(7, 100);
    hl::Click(d, IDC_ABOUT);
    EXPECT_TRUE(hl::Click(d, IDC_REFRESH)) << "enabled again when the modal dialog ends";
    owner.tickedWhileDisabled = false;
    hl::QueueMessageBoxAnswer(kIdYes, 300);
    hl::Click(d, IDC_EXIT);
    d.EndDialog(kIdOk);
  });
  owner.DoModal();
  EXPECT_EQ(sentResult, 42);
  EXPECT_EQ(owner.sentOn, std::this_thread::get_id()) << "a cross-thread SendMessage runs on the UI thread";
  EXPECT_EQ(owner.refreshes, 1);
  EXPECT_EQ(owner.ticks, 5) << "the message box's loop ran the owner's timer";
  EXPECT_EQ(owner.posted, 2);
  EXPECT_TRUE(owner.tickedWhileDisabled) << "the message box disabled its owner";
}

// --- Lists -------------------------------------------------------------------------------------

class ListDialog : public CDialog {
 public:
  ListDialog() : CDialog(IDD_SEEKWELL_DIALOG) {}
  const MessageMap& GetMessageMap() const override {
    static const MessageMapEntry entries[] = {
        OnNotify(IDC_DEVICE_LIST, kNmClick, &ListDialog::OnClick),
        OnNotify(IDC_DEVICE_LIST, kLvnItemChanged, &ListDialog::OnChanged),
    };
    static const MessageMap map{entries, 2};
    return map;
  }
  void DoDataExchange(CDataExchange* pDX) override { DDX_Control(pDX, IDC_DEVICE_LIST, list); }
  bool OnInitDialog() override {
    CDialog::OnInitDialog();
    list.InsertColumn(0, "Name", kLvcfmtLeft, 90);
    for (int i = 0; i < 20; ++i) list.InsertItem(i, "row " + std::to_string(i));
    return true;
  }
  CListCtrl list;
  Strings events;

 private:
  void OnClick(NotifyHeader* header, Lresult*) {
    auto* click = reinterpret_cast<ItemActivate*>(header);
    events.push_back("click " + std::to_string(click->iItem) + "." + std::to_string(click->iSubItem));
  }
  void OnChanged(NotifyHeader* header, Lresult*) {
    auto* change = reinterpret_cast<ListViewChange*>(header);
    const bool selected = change->uNewState & kLvisSelected;
    events.push_back((selected ? "select " : "unselect ") + std::to_string(change->iItem));
  }
};

TEST(Lists, ClicksNotifyRowAndSubItemSelectionChangesAndTheTopRowScrolls) {
  hl::Reset();
  ListDialog dlg;
  hl::ScriptModal(IDD_SEEKWELL_DIALOG, [&](CDialog& d) {
    const int page = dlg.list.GetCountPerPage();
    ASSERT_GT(page, 1);
    ASSERT_LT(page, 20);
    hl::ClickRow(d, IDC_DEVICE_LIST, 1, 0);
    hl::ClickRow(d, IDC_DEVICE_LIST, 2, 3);
    EXPECT_EQ(dlg.events, (Strings{"select 1", "click 1.0", "unselect 1", "select 2", "click 2.3"}));

    EXPECT_TRUE(hl::ScrollList(d, IDC_DEVICE_LIST, 5));
    EXPECT_EQ(dlg.list.GetTopIndex(), 5);
    EXPECT_FALSE(hl::ClickRow(d, IDC_DEVICE_LIST, 2)) << "row 2 is scrolled out of view";
    hl::ScrollList(d, IDC_DEVICE_LIST, 100);
    EXPECT_EQ(dlg.list.GetTopIndex(), 20 - page);

    dlg.events.clear();
    hl::ClickRow(d, IDC_DEVICE_LIST, -1);
    EXPECT_EQ(dlg.events, (Strings{"unselect 2", "click -1.0"}));
    d.EndDialog(kIdOk);
  });
  dlg.DoModal();
}

// --- The close box -------------------------------------------------------------------------------

class ClosingDialog : public CDialog {
 public:
  ClosingDialog() : CDialog(IDD_LOGIN) {}
  const MessageMap& GetMessageMap() const override {
    static const MessageMapEntry entries[] = {
        OnMessage(kWmClose, &ClosingDialog::OnClose),
        OnMessage(kWmPosted, &ClosingDialog::OnPosted),
    };
    static const MessageMap map{entries, 2};
    return map;
  }
  void OnCancel() override {
    events.push_back("cancel");
    CDialog::OnCancel();
  }
  Strings events;

 private:
  Lresult OnClose(Wparam, Lparam) {
    events.push_back("close");
    PostMessage(kWmPosted);
    Default();
    return 0;
  }
  Lresult OnPosted(Wparam, Lparam) {
    events.push_back("posted");
    return 0;
  }
};

TEST(CloseBox, PostsCancelBehindWhatIsAlreadyQueued) {
  hl::Reset();
  ClosingDialog dlg;
  hl::ScriptModal(IDD_LOGIN, [](CDialog& d) { hl::CloseBox(d); });
  EXPECT_EQ(dlg.DoModal(), kIdCancel);
  EXPECT_EQ(dlg.events, (Strings{"close", "posted", "cancel"}));
}

// --- Sorted combo boxes ------------------------------------------------------------------------

TEST(SortedCombo, TemplateItemsAndAddStringFollowOneCaseInsensitiveOrder) {
  // "apple" and "Banana" (padded to 8 bytes) in a sorted combo's initial data.
  const std::string script =
      "900 DIALOGEX 0, 0, 100, 50\nBEGIN\n"
      "    COMBOBOX 901, 5, 5, 80, 60, CBS_DROPDOWNLIST | CBS_SORT | WS_VSCROLL\nEND\n"
      "900 DLGINIT\nBEGIN\n"
      "    901, 0x403, 6, 0, 0x7061, 0x6c70, 0x0065,\n"
      "    901, 0x403, 8, 0, 0x6142, 0x616e, 0x616e, 0x0000,\n"
      "    0\nEND\n";
  ResourceSet set;
  std::string error;
  ASSERT_TRUE(ParseResources("", script, set, error)) << error;
  hl::Reset();
  hl::AddTemplate(set.dialogs.at(900));
  CDialog dlg(900);
  Strings items;
  hl::ScriptModal(900, [&](CDialog& d) {
    CComboBox combo;
    combo.Attach(d.GetDlgItem(901)->GetSafeHwnd());
    EXPECT_EQ(combo.AddString("Cherry"), 2);
    EXPECT_EQ(combo.AddString("avocado"), 1);
    for (int i = 0; i < combo.GetCount(); ++i) items.push_back(combo.GetLBText(i));
    combo.Detach();
    d.EndDialog(kIdOk);
  });
  dlg.DoModal();
  EXPECT_EQ(items, (Strings{"apple", "avocado", "Banana", "Cherry"}));
}

// --- Dialogs that replace themselves from a handler ----------------------------------------------

// As the disk manager does: post WM_CLOSE to itself, then run its successor modally in the handler.
class Manager : public CDialog {
 public:
  Manager(int generation, Strings& trace) : CDialog(IDD_DISK_MANAGER), m_generation(generation), m_trace(trace) {}
  const MessageMap& GetMessageMap() const override {
    static const MessageMapEntry entries[] = {OnMessage(kWmReopen, &Manager::OnReopen)};
    static const MessageMap map{entries, 1};
    return map;
  }
  void OnCancel() override {
    m_trace.push_back("cancel " + std::to_string(m_generation));
    CDialog::OnCancel();
  }
  void PostNcDestroy() override { m_trace.push_back("gone " + std::to_string(m_generation)); }

 private:
  Lresult OnReopen(Wparam, Lparam) {
    PostMessage(kWmClose);
    Manager next(m_generation + 1, m_trace);
    m_trace.push_back("next ended " + std::to_string(next.DoModal()));
    return 0;
  }
  int m_generation;
  Strings& m_trace;
};

// Modeless, on the heap: destroys itself and opens its successor; PostNcDestroy deletes it.
class Floating : public CDialog {
 public:
  Floating(int generation, int& deleted) : CDialog(IDD_DISK_MANAGER), generation(generation), m_deleted(deleted) {}
  const MessageMap& GetMessageMap() const override {
    static const MessageMapEntry entries[] = {OnMessage(kWmReopen, &Floating::OnReopen)};
    static const MessageMap map{entries, 1};
    return map;
  }
  void PostNcDestroy() override {
    ++m_deleted;
    delete this;
  }
  const int generation;

 private:
  Lresult OnReopen(Wparam, Lparam) {
    (new Floating(generation + 1, m_deleted))->Create();
    Default();  // the guard must keep Dispatch from acting on the deleted dialog
    DestroyWindow();
    return 0;
  }
  int& m_deleted;
};

TEST(SelfReplacingDialogs, ModalSuccessorClosesThePredecessorAndModelessOneDeletesItself) {
  hl::Reset();
  Strings trace;
  hl::ScriptModal(IDD_DISK_MANAGER, [](CDialog& d) { d.SendMessage(kWmReopen); });
  hl::ScriptModal(IDD_DISK_MANAGER, [&](CDialog& d) {
    trace.push_back("second open");
    d.EndDialog(kIdOk);
  });
  Manager first(0, trace);
  EXPECT_EQ(first.DoModal(), kIdCancel);
  // The inner loop delivered the posted WM_CLOSE to the first manager; its window went last.
  EXPECT_EQ(trace, (Strings{"cancel 0", "second open", "gone 1", "next ended 1", "gone 0"}));

  hl::Reset();
  int deleted = 0;
  auto* floating = new Floating(0, deleted);
  ASSERT_TRUE(floating->Create());
  CWnd handle;
  handle.Attach(floating->GetSafeHwnd());
  handle.SendMessage(kWmReopen);
  handle.Detach();
  EXPECT_EQ(deleted, 1);
  ASSERT_EQ(hl::OpenDialogs().size(), 1u);
  auto* successor = static_cast<Floating*>(hl::OpenDialogs()[0]);
  EXPECT_EQ(successor->generation, 1);
  successor->DestroyWindow();
  EXPECT_EQ(deleted, 2);
}

// --- Colour notifications ----------------------------------------------------------------------

class ColourProbe : public CDialog {
 public:
  ColourProbe() : CDialog(IDD_SEEKWELL_DIALOG) {}
  NativeHandle OnCtlColor(CDC&, CWnd* control, CtlColorKind) override {
    asked = control ? control->GetSafeHwnd() : nullptr;
    return nullptr;
  }
  NativeHandle asked = nullptr;
};

TEST(ColourNotifications, NameTheControlByItsWindowNotItsId) {
  hl::Reset();
  ColourProbe dlg;
  hl::ScriptModal(IDD_SEEKWELL_DIALOG, [&](CDialog& d) {
    std::vector<hl::Window*> labels = hl::Controls(d, IDC_STATIC);
    ASSERT_GE(labels.size(), 2u);
    hl::QueryColoursOf(d, labels[1], CtlColorKind::Static);
    EXPECT_EQ(dlg.asked, labels[1]) << "the second label, not the first IDC_STATIC";
    hl::Window* dropList = hl::DropList(d, IDC_DHCP);
    ASSERT_NE(dropList, nullptr);
    hl::QueryColoursOf(d, dropList, CtlColorKind::ListBox);
    EXPECT_EQ(dlg.asked, dropList) << "the combo's list (id 1000), not the device list";
    d.EndDialog(kIdOk);
  });
  dlg.DoModal();
}

// --- A main window that cannot be created ----------------------------------------------------------

TEST(MainWindowFailure, IsReportedAndEndsTheProgramWithTheSystemError) {
  hl::Reset();
  test::FakeDevicePort port;
  app::SetDevicePort(&port);
  hl::FailNextCreation(IDD_SEEKWELL_DIALOG, 1813);
  app::CSeekwellApp app;
  const int exitCode = RunApplication(app);
  app::SetDevicePort(nullptr);
  EXPECT_EQ(exitCode, 1813);
  ASSERT_EQ(hl::MessageBoxes().size(), 1u);
  EXPECT_EQ(hl::MessageBoxes()[0].caption, "Error");
  EXPECT_EQ(hl::MessageBoxes()[0].flags, kMbOk | kMbIconStop);
  EXPECT_EQ(port.closed, port.opened) << "the sockets are closed";
}

}  // namespace
}  // namespace sw::ui
