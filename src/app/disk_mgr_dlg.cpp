#include "app/disk_mgr_dlg.h"

#include "app/list_columns.h"
#include "app/partition_dialog_port.h"
#include "app/partition_dlg.h"
#include "base/product.h"
#include "app/select_drive_dlg.h"
#include "disk/disk_access.h"
#include "disk/partition_operations.h"
#include "disk/volume_mounts.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "resource.h"
#include "share/drive_connection_table.h"

namespace sw::app {

namespace {
constexpr ColumnSpec kVolumeColumns[] = {{"Disk", 50},        {"Partition", 65}, {"Volume", 65},
                                         {"File System", 75}, {"Capacity", 65},  {"Target", 300}};
constexpr ColumnSpec kRegionColumns[] = {{"Partition", 100}, {"Size", 100}};
constexpr unsigned kLvisSelectedMask = ui::kLvisSelected;

// The Partition dialog itself, unless a test registered another opener.
class RealPartitionDialog : public PartitionDialogLauncher {
 public:
  bool OpenPartitionDialog(ui::CWnd* parent, const disk::PartitionRequest& r) override {
    return app::OpenPartitionDialog(r, parent).partitionChanged;
  }
};

RealPartitionDialog& Runner() {
  static RealPartitionDialog runner;
  return runner;
}

PartitionDialogLauncher*& Opener() {
  static PartitionDialogLauncher* opener = &Runner();
  return opener;
}

// The disk roads' view of the registered opener, with this manager as the dialog's parent.
class OpenerForParent : public disk::PartitionDialogOpener {
 public:
  OpenerForParent(app::PartitionDialogLauncher& opener, ui::CWnd* parent) : m_opener(opener), m_parent(parent) {}
  bool OpenPartitionDialog(const disk::PartitionRequest& request) override {
    return m_opener.OpenPartitionDialog(m_parent, request);
  }

 private:
  app::PartitionDialogLauncher& m_opener;
  ui::CWnd* m_parent;
};
}  // namespace

PartitionDialogLauncher* GetPartitionDialogLauncher() { return Opener(); }
void SetPartitionDialogLauncher(PartitionDialogLauncher* opener) { Opener() = opener ? opener : &Runner(); }

CDiskMgrDlg::CDiskMgrDlg(std::string deviceText, ui::CWnd* parent)
    : ui::CDialog(IDD_DISK_MANAGER, parent), m_deviceText(std::move(deviceText)) {}

CDiskMgrDlg::~CDiskMgrDlg() = default;

const ui::MessageMap& CDiskMgrDlg::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnNotify(kFirstBarId + 0, kBarLeftPressed, &CDiskMgrDlg::OnBarLeft),
      ui::OnNotify(kFirstBarId + 1, kBarLeftPressed, &CDiskMgrDlg::OnBarLeft),
      ui::OnNotify(kFirstBarId + 2, kBarLeftPressed, &CDiskMgrDlg::OnBarLeft),
      ui::OnNotify(kFirstBarId + 3, kBarLeftPressed, &CDiskMgrDlg::OnBarLeft),
      ui::OnNotify(kFirstBarId + 4, kBarLeftPressed, &CDiskMgrDlg::OnBarLeft),
      ui::OnNotify(kFirstBarId + 5, kBarLeftPressed, &CDiskMgrDlg::OnBarLeft),
      ui::OnNotify(kFirstBarId + 0, kBarRightPressed, &CDiskMgrDlg::OnBarRight),
      ui::OnNotify(kFirstBarId + 1, kBarRightPressed, &CDiskMgrDlg::OnBarRight),
      ui::OnNotify(kFirstBarId + 2, kBarRightPressed, &CDiskMgrDlg::OnBarRight),
      ui::OnNotify(kFirstBarId + 3, kBarRightPressed, &CDiskMgrDlg::OnBarRight),
      ui::OnNotify(kFirstBarId + 4, kBarRightPressed, &CDiskMgrDlg::OnBarRight),
      ui::OnNotify(kFirstBarId + 5, kBarRightPressed, &CDiskMgrDlg::OnBarRight),
      ui::OnNotify(IDC_DISK_VOLUMES, ui::kNmCustomDraw, &CDiskMgrDlg::OnVolumeListCustomDraw),
      ui::OnCommand(ID_DISK_ADD, 0, &CDiskMgrDlg::OnAdd),
      ui::OnCommand(ID_DISK_DELETE, 0, &CDiskMgrDlg::OnDelete),
      ui::OnCommand(ID_DISK_UNMOUNT, 0, &CDiskMgrDlg::OnUnmount),
      ui::OnCommand(ID_DISK_MOUNT, 0, &CDiskMgrDlg::OnMount),
      ui::OnMessage(ui::kWmClose, &CDiskMgrDlg::OnClose),
      ui::OnMessage(ui::kWmVscroll, &CDiskMgrDlg::OnVScroll),
      ui::OnMessage(ui::kWmMouseWheel, &CDiskMgrDlg::OnMouseWheel),
      ui::OnMessage(ui::kWmLButtonDown, &CDiskMgrDlg::OnLButtonDown),
      ui::OnMessage(ui::kWmLButtonUp, &CDiskMgrDlg::OnLButtonUp),
      ui::OnMessage(ui::kWmMouseMove, &CDiskMgrDlg::OnMouseMove),
  };
  static const ui::MessageMap map{entries, sizeof entries / sizeof entries[0]};
  return map;
}

void CDiskMgrDlg::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_DISK_VOLUMES, m_volumeList);
  ui::DDX_Control(pDX, IDC_REGION_LIST, m_regionList);
  ui::DDX_Control(pDX, IDC_DISK_GROUP, m_group);
  ui::DDX_Control(pDX, IDC_FREE_LETTERS, m_letters);
}

bool CDiskMgrDlg::OnInitDialog() {
  ui::CDialog::OnInitDialog();
  m_colours.CreateBrushes();
  m_volumeList.SetEvenRowColour(ui::Rgb(255, 250, 250));
  m_volumeList.SetOddRowColour(ui::Rgb(255, 250, 250));
  InsertColumns(m_volumeList, kVolumeColumns);
  InsertColumns(m_regionList, kRegionColumns);
  m_volumeList.SetExtendedStyle(ui::kLvsExGridLines | ui::kLvsExFullRowSelect);
  m_regionList.SetExtendedStyle(ui::kLvsExGridLines | ui::kLvsExFullRowSelect);
  {
    ui::BusyCursor busy(IDR_BUSY_CURSOR);
    FillVolumeList();
  }
  CreateBars();
  return true;
}

ui::NativeHandle CDiskMgrDlg::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

void CDiskMgrDlg::FillVolumeList() {
  m_inventory.clear();
  disk::BuildVolumeTable(m_inventory);
  disk::VolumeListFill fill = disk::BuildVolumeList(m_inventory);
  m_volumeList.SetRedraw(false);
  m_volumeList.DeleteAllItems();
  m_volumeList.ClearOverrides();
  for (std::size_t i = 0; i < fill.rows.size(); ++i) {
    const int row = m_volumeList.InsertItem(static_cast<int>(i), fill.rows[i][0]);
    for (int column = 1; column < static_cast<int>(fill.rows[i].size()); ++column) {
      m_volumeList.SetItemText(row, column, fill.rows[i][static_cast<std::size_t>(column)]);
    }
  }
  for (const auto& [row, colour] : fill.backgrounds) m_volumeList.AddBackgroundOverride(row, colour);
  m_volumeList.SetRedraw(true);
  m_volumeList.Invalidate();
  m_rows = std::move(fill.rows);
  disk::DiskTable() = fill.diskTable;
  m_diskCount = fill.diskCount;
}

void CDiskMgrDlg::FillFreeLetters() {
  const share::DriveLetterComboContent letters = share::CurrentFreeDriveLetters();
  m_letters.ResetContent();
  for (const std::string& item : letters.items) m_letters.AddString(item);
  m_letters.SetCurSel(letters.selection);
}

bool CDiskMgrDlg::RefreshDiskLayout(std::int32_t disk, int bar) {
  m_currentDisk = disk;
  m_currentBar = bar;
  // The layout names its segments from a fresh inventory of its own; the manager's inventory stays
  // the one its rows were filled from, so that a row still names its own volume.
  disk::VolumeTable table;
  disk::BuildVolumeTable(table);
  disk::DiskLayoutRefresh refresh = disk::RefreshDiskLayoutData(disk, disk::PartitionVolumes(table));
  m_regions = refresh.read.regions;
  m_signature = refresh.read.read.layout.Signature;
  if (!refresh.read.opened) return false;
  m_regionList.SetRedraw(false);
  m_regionList.DeleteAllItems();
  for (std::size_t i = 0; i < refresh.rows.size(); ++i) {
    const int row = m_regionList.InsertItem(static_cast<int>(i), refresh.rows[i].number);
    m_regionList.SetItemText(row, 1, refresh.rows[i].text);
  }
  m_regionList.SetRedraw(true);
  m_view = refresh.view;
  if (CButtonBarCtrl* target = Bar(bar)) target->SetSegments(m_view);
  return true;
}

CButtonBarCtrl* CDiskMgrDlg::Bar(int index) const {
  if (index < 1 || index > disk::kMaxBars) return nullptr;
  return m_bars[static_cast<std::size_t>(index - 1)].get();
}

void CDiskMgrDlg::CreateBars() {
  const int count = std::min(m_diskCount, disk::kMaxBars);
  int y = disk::kBarTop;
  int barsShown = 0;
  for (int i = 1; i <= count; ++i) {
    auto bar = std::make_unique<CButtonBarCtrl>();
    if (!bar->Create(ui::Rect{disk::kBarLeft, y, disk::kBarRight, y + disk::kBarHeight}, *this, kFirstBarId + i - 1)) {
      continue;
    }
    m_bars[static_cast<std::size_t>(i - 1)] = std::move(bar);
    const std::int32_t diskNumber = disk::DiskTable()[static_cast<std::size_t>(i - 1)];
    // A disk that cannot be read leaves an empty bar where the next one is created over it.
    if (diskNumber != disk::kNoDisk && RefreshDiskLayout(diskNumber, i) && m_view.disk == diskNumber &&
        m_view.count >= 1) {
      Bar(i)->ClearSelection();
      Bar(i)->Invalidate();
      y += disk::kBarPitch;
      ++barsShown;
    }
  }
  const disk::ManagerSize size = disk::DiskManagerSize(count);
  if (size.scrollBar) ModifyStyle(0, ui::kWsVscroll);
  MoveWindow(ui::Rect{disk::kManagerLeft, disk::kManagerTop, disk::kManagerLeft + size.width,
                      disk::kManagerTop + size.height});
  if (size.scrollBar) {
    m_scrollMax = size.scrollMax;
    m_scrollPage = size.scrollPage;
    m_scrollPos = 0;
    SetScrollInfo(0, m_scrollMax, m_scrollPage, 0);
    m_scrollLimit = disk::ScrollLimit(barsShown, GetClientRect().Height());
  }
  m_windowRect = GetWindowRect();
  CenterWindow();
}

bool CDiskMgrDlg::SelectOnBar(int bar, int hit) {
  if (!Bar(bar)) return false;
  m_clickedBar = bar;
  m_volumeList.SetItemState(-1, 0, kLvisSelectedMask);
  const std::int32_t diskNumber = disk::DiskTable()[static_cast<std::size_t>(bar - 1)];
  if (diskNumber != disk::kNoDisk) RefreshDiskLayout(diskNumber, bar);
  for (int other = 1; other <= disk::kMaxBars; ++other) {
    if (other == bar || !Bar(other)) continue;
    Bar(other)->ClearSelection();
    Bar(other)->Invalidate();
  }
  if (hit >= 0 && hit < m_regionList.GetItemCount()) {
    m_regionList.SetItemState(hit, ui::kLvisSelected | ui::kLvisFocused, ui::kLvisSelected | ui::kLvisFocused);
  } else {
    m_regionList.SetItemState(-1, 0, kLvisSelectedMask);
  }
  return true;
}

void CDiskMgrDlg::OnBarLeft(ui::NotifyHeader* header, ui::Lresult*) {
  auto* notify = reinterpret_cast<BarNotify*>(header);
  SelectOnBar(static_cast<int>(header->idFrom) - kFirstBarId + 1, notify->hitIndex);
}

void CDiskMgrDlg::OnBarRight(ui::NotifyHeader* header, ui::Lresult*) {
  auto* notify = reinterpret_cast<BarNotify*>(header);
  const int hit = notify->hitIndex;
  if (!SelectOnBar(static_cast<int>(header->idFrom) - kFirstBarId + 1, hit)) return;
  if (hit < 0 || hit >= m_view.count) return;
  // Neither free space nor a partition: nothing may be done with a disk whose table is unreadable.
  if (m_view.unreadable) {
    Refuse(disk::LayoutUnreadableText(m_currentDisk));
    return;
  }
  m_selectedRegion = hit;
  const disk::BarSegment& segment = m_view.segments[hit];
  m_selectedVolumePath = segment.volumePath;
  m_selectedPartition = segment.number;
  for (int row : disk::MatchingVolumeRows(m_inventory, m_currentDisk, m_selectedVolumePath, m_selectedPartition)) {
    m_volumeList.SetItemState(row, ui::kLvisSelected, ui::kLvisSelected);
  }
  ui::CPopupMenu menu;
  if (!menu.Load(IDR_DISK_MENU, segment.occupied != 0 ? 1 : 0)) return;
  int x = 0, y = 0;
  GetCursorClientPos(x, y);
  ClientToScreen(x, y);
  menu.Track(x, y, *this);
}

void CDiskMgrDlg::OnVolumeListCustomDraw(ui::NotifyHeader* header, ui::Lresult* result) {
  m_volumeList.OnCustomDraw(reinterpret_cast<ui::ListCustomDraw*>(header), result);
}

std::vector<int> CDiskMgrDlg::SelectedVolumeRows() const {
  std::vector<int> rows;
  for (int row = m_volumeList.GetNextItem(-1, ui::kLvniSelected); row >= 0;
       row = m_volumeList.GetNextItem(row, ui::kLvniSelected)) {
    rows.push_back(row);
  }
  return rows;
}

void CDiskMgrDlg::OnAdd() {
  if (m_view.unreadable) return;
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  const int row = m_regionList.GetNextItem(-1, ui::kLvniSelected);
  OpenerForParent opener(*GetPartitionDialogLauncher(), this);
  const disk::AddPartitionResult added =
      disk::AddPartition(m_currentDisk, m_regions, row, disk::ConnectedSessionDisks(), *this, opener);
  if (added.outcome == disk::AddOutcome::TooManyPartitions) {
    MessageBox(disk::kOnlyFourPartitionsText, "", ui::kMbOk);
    return;
  }
  if (!added.partitionChanged) return;
  busy.Restore();
  Reopen();
}

void CDiskMgrDlg::OnDelete() {
  const int row = m_regionList.GetNextItem(-1, ui::kLvniSelected);
  if (row < 0 || row >= m_view.count || static_cast<std::size_t>(row) >= m_regions.size()) return;
  const disk::BarSegment segment = m_view.segments[row];
  // One click must not erase a partition and its data: the user confirms, naming it.
  if (MessageBox(disk::DeletePartitionQuestion(segment), base::kProductCaption,
                 ui::kMbYesNo | ui::kMbIconExclamation) != ui::kIdYes) {
    return;
  }
  ui::BusyCursor busy(IDR_BUSY_CURSOR);
  // A Delete that wrote nothing (refused, or the disk could not be opened) leaves the manager as it
  // is: reopening would suggest a change.
  if (!disk::DeletePartition(m_currentDisk, m_regions[static_cast<std::size_t>(row)], m_signature, segment.volumePath,
                             disk::ConnectedSessionDisks(), *this)) {
    return;
  }
  if (CButtonBarCtrl* bar = Bar(m_currentBar)) {
    bar->ClearSelection();
    bar->Invalidate();
  }
  m_regionList.SetItemState(-1, 0, kLvisSelectedMask);
  busy.Restore();
  Reopen();
}

void CDiskMgrDlg::OnUnmount() {
  const disk::SessionDisks sessions = disk::ConnectedSessionDisks();
  bool removed = false;
  for (int row : SelectedVolumeRows()) {
    if (static_cast<std::size_t>(row) < m_inventory.size()) {
      removed = disk::UnmountVolume(m_inventory[static_cast<std::size_t>(row)], sessions) || removed;
    }
  }
  if (!removed) return;
  FillFreeLetters();
  FillVolumeList();
  Reopen();
}

void CDiskMgrDlg::OnMount() {
  FillFreeLetters();
  std::vector<std::string> drives;
  for (int i = 0; i < m_letters.GetCount(); ++i) drives.push_back(m_letters.GetLBText(i));
  const std::vector<int> rows = SelectedVolumeRows();
  m_mountRow = rows.empty() ? -1 : rows.front();
  std::optional<disk::VolumeRecord> entry;
  if (m_mountRow >= 0 && static_cast<std::size_t>(m_mountRow) < m_inventory.size()) {
    entry = m_inventory[static_cast<std::size_t>(m_mountRow)];
  }
  CSelectDriveDlg select(drives, this);
  if (select.DoModal() != ui::kIdOk) return;
  std::string refusal;
  if (entry && !select.Chosen().empty() &&
      !disk::MountVolume(*entry, select.Chosen(), disk::ConnectedSessionDisks(), &refusal) && !refusal.empty()) {
    Refuse(refusal);
  }
  FillFreeLetters();
  FillVolumeList();
  Reopen();
}

void CDiskMgrDlg::Reopen() {
  SendMessage(ui::kWmClose);
  CDiskMgrDlg fresh(m_deviceText, m_pParentWnd);
  fresh.DoModal();
}

ui::Lresult CDiskMgrDlg::OnClose(ui::Wparam, ui::Lparam) {
  EndDialog(ui::kIdCancel);
  return 0;
}

void CDiskMgrDlg::ScrollTo(int pos) {
  if (pos == m_scrollPos) return;
  SetScrollPos(pos);
  ScrollWindow(0, m_scrollPos - pos);
  m_scrollPos = pos;
}

ui::Lresult CDiskMgrDlg::OnVScroll(ui::Wparam wParam, ui::Lparam) {
  if (!Scrollable()) return 0;
  const int range = disk::ScrollRange(m_scrollMax, std::min(m_diskCount, disk::kMaxBars));
  ScrollTo(disk::ScrollTarget(m_scrollPos, ui::LoWord(wParam), static_cast<short>(ui::HiWord(wParam)), range));
  return 0;
}

ui::Lresult CDiskMgrDlg::OnMouseWheel(ui::Wparam wParam, ui::Lparam) {
  if (Scrollable()) ScrollTo(disk::WheelTarget(m_scrollPos, ui::WheelDelta(wParam), m_scrollLimit));
  return 0;
}

ui::Lresult CDiskMgrDlg::OnLButtonDown(ui::Wparam, ui::Lparam lParam) {
  if (!Scrollable()) return 0;
  m_dragging = true;
  m_dragY = ui::PointY(lParam);
  SetCapture();
  return 0;
}

ui::Lresult CDiskMgrDlg::OnLButtonUp(ui::Wparam, ui::Lparam) {
  if (m_dragging) ReleaseCapture();
  m_dragging = false;
  return 0;
}

ui::Lresult CDiskMgrDlg::OnMouseMove(ui::Wparam, ui::Lparam lParam) {
  if (!m_dragging) return 0;
  const int y = ui::PointY(lParam);
  const int target = disk::DragTarget(m_scrollPos, m_dragY, y, m_scrollLimit);
  m_dragY = y;
  ScrollTo(target);
  return 0;
}

void CDiskMgrDlg::ShowNotHandled() { MessageBox(disk::kNotHandledText, "", ui::kMbOk | ui::kMbIconExclamation); }

bool CDiskMgrDlg::AskInitialize() {
  return MessageBox(disk::kUninitializedQuestion, "", ui::kMbYesNo | ui::kMbIconQuestion) == ui::kIdYes;
}

void CDiskMgrDlg::Refuse(const std::string& text) { MessageBox(text, base::kProductCaption, ui::kMbOk | ui::kMbIconExclamation); }

bool CDiskMgrDlg::ConfirmErase(const std::string& question) {
  return MessageBox(question, base::kProductCaption, ui::kMbYesNo | ui::kMbIconExclamation) == ui::kIdYes;
}

}  // namespace sw::app
