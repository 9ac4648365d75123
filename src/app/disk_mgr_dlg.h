#pragma once
// CDiskMgrDlg (dialog 234, "Management"): the volumes of the connected iSCSI disks in list 1046,
// one partition bar per disk (up to six, ids 1048-1053), and the context menu of a bar segment
// (menu 235): Add on free space; Delete, UnMount and Mount on a partition. Every command that
// changes a disk ends this manager and runs a fresh one with the same device text from inside
// its handler, so the manager never updates itself after a change.

#include <array>
#include <memory>
#include <string>
#include <vector>

#include "app/button_bar_ctrl.h"
#include "app/colored_list_ctrl.h"
#include "app/colour_scheme.h"
#include "disk/disk_manager.h"
#include "disk/partitions.h"
#include "disk/volume_inventory.h"
#include "ui/dialog.h"
#include "ui/sx_group_box.h"

namespace sw::app {

constexpr int kFirstBarId = 1048;

class CDiskMgrDlg : public ui::CDialog, private disk::DiskPrompts {
 public:
  explicit CDiskMgrDlg(std::string deviceText, ui::CWnd* parent = nullptr);
  ~CDiskMgrDlg() override;

  const ui::MessageMap& GetMessageMap() const override;
  void DoDataExchange(ui::CDataExchange* pDX) override;
  bool OnInitDialog() override;
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

  // Rebuilds the regions and view of `disk`, the rows of list 1045 and the segments of bar `bar`
  // (1-6). False when the disk could not be read (nothing changes then but the regions).
  bool RefreshDiskLayout(std::int32_t disk, int bar);

  const std::string& DeviceText() const { return m_deviceText; }
  int DiskCount() const { return m_diskCount; }
  CButtonBarCtrl* Bar(int index) const;  // 1-6, nullptr when not created
  int ScrollPosition() const { return m_scrollPos; }
  int ScrollLimit() const { return m_scrollLimit; }
  const disk::DiskLayoutView& View() const { return m_view; }
  const ui::Rect& RememberedRect() const { return m_windowRect; }

 private:
  void FillVolumeList();
  void FillFreeLetters();
  void CreateBars();
  void OnBarLeft(ui::NotifyHeader* header, ui::Lresult* result);
  void OnBarRight(ui::NotifyHeader* header, ui::Lresult* result);
  void OnVolumeListCustomDraw(ui::NotifyHeader* header, ui::Lresult* result);
  // The part of a left or right click both share; false when `bar` is not one of ours.
  bool SelectOnBar(int bar, int hit);
  void OnAdd();
  void OnDelete();
  void OnUnmount();
  void OnMount();
  ui::Lresult OnClose(ui::Wparam, ui::Lparam);
  ui::Lresult OnVScroll(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnMouseWheel(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnLButtonDown(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnLButtonUp(ui::Wparam wParam, ui::Lparam lParam);
  ui::Lresult OnMouseMove(ui::Wparam wParam, ui::Lparam lParam);
  void ScrollTo(int pos);
  bool Scrollable() const { return m_diskCount >= 3; }
  // Ends this manager and runs a fresh one with the same device text. The caller must not touch
  // the dialog's controls afterwards: the fresh manager has already come and gone.
  void Reopen();
  std::vector<int> SelectedVolumeRows() const;

  // Questions of the table changes.
  void ShowNotHandled() override;
  bool AskInitialize() override;
  void Refuse(const std::string& text) override;
  bool ConfirmErase(const std::string& question) override;

  std::vector<disk::VolumeRow> m_rows;
  disk::VolumeTable m_inventory;
  std::int32_t m_selectedPartition = 0;
  std::int32_t m_currentDisk = -1;
  int m_currentBar = 0;
  int m_mountRow = -1;
  int m_clickedBar = 0;
  int m_selectedRegion = -1;
  disk::DiskLayoutView m_view;
  std::string m_selectedVolumePath;
  CColoredListCtrl m_volumeList;
  ui::CListCtrl m_regionList;
  ui::CSxGroupBox m_group;
  ui::CComboBox m_letters;
  std::array<std::unique_ptr<CButtonBarCtrl>, disk::kMaxBars> m_bars;
  int m_diskCount = 0;
  int m_scrollPos = 0;
  int m_scrollPage = 0;
  int m_scrollMax = 0;
  int m_scrollLimit = 0;
  bool m_dragging = false;
  int m_dragY = 0;
  ui::Rect m_windowRect;
  std::string m_deviceText;
  ColourScheme m_colours;
  std::vector<disk::DiskRegion> m_regions;
  std::uint32_t m_signature = 0;  // of the current disk as its regions were read
};

}  // namespace sw::app
