#pragma once
// What the Partition dialog and the partition wizard share: their control set (size, file system,
// drive letter, progress bar and status text), the check-box rules, the colours, and the dialog
// side of a format. The format worker reports from its own thread; each report is queued here and
// a message to the dialog's window makes the dialog's thread apply the queue, in order.

#include <deque>
#include <mutex>
#include <string>

#include "app/colour_scheme.h"
#include "base/product.h"
#include "disk/partition_sizes.h"
#include "disk/partition_steps.h"
#include "disk/volume_format.h"
#include "ui/dialog.h"
#include "ui/sx_group_box.h"

namespace sw::app {

// The caption of the message boxes that name none.
constexpr const char* kDefaultMessageCaption = "Seekwell";

constexpr ui::Colour kProgressBarColour = ui::Rgb(124, 252, 0);
// The first wait of both dialogs' initialisation, and the wizard's before its work.
constexpr unsigned kInitWaitMs = 500;

class CFormatDialogBase : public ui::CDialog, public disk::FormatDialog, public disk::PartitionProgress {
 public:
  CFormatDialogBase(int templateId, disk::FormatDialogKind kind, ui::CWnd* parent);
  // Joins the worker first: it reports to this dialog until it ends.
  ~CFormatDialogBase() override;

  const ui::MessageMap& GetMessageMap() const override;
  void DoDataExchange(ui::CDataExchange* pDX) override;
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;
  void PostNcDestroy() override;

  // disk::FormatDialog
  disk::FormatDialogKind DialogKind() const override { return m_kind; }
  disk::FormatMembers& Format() override { return m_format; }
  bool IsNtfsChecked() override { return m_ntfs.GetCheck() != 0; }
  bool IsFat32Checked() override { return m_fat32.GetCheck() != 0; }
  void ShowMessage(const std::string& text) override;
  void PostProgress(int percent) override;
  void PostStatus(const std::string& text) override;
  void PostEnableButton(int controlId, bool enable) override;
  void PostErrorMessage(const std::string& text) override;
  void PostBeginBusyCursor() override;
  void PostRestoreCursor() override;
  void PostClose() override;

  // disk::PartitionProgress
  void ShowProgress(int percent, const std::string& status) override;
  void ShowStatus(const std::string& text) override;
  void Wait(unsigned ms) override;

  ui::CButton m_maxSpace, m_ntfs, m_fat32;
  ui::CEdit m_sizeEdit;
  ui::CStatic m_sizeLabel, m_status;
  ui::CComboBox m_driveCombo;
  ui::CProgressCtrl m_progress;
  ui::CSxGroupBox m_group;

 protected:
  // Brushes, the hidden progress bar with its colours; the window becomes reachable for reports.
  void InitCommonControls();
  // The free drive letters into combo 1043, the available size into the label, "8" into the edit.
  void FillSizeAndLetters(std::uint32_t availableMiB);
  void EnableFormatAndCancel(bool enable);
  // Shows the bar at `percent` with `status`.
  void BeginProgress(int percent, const std::string& status);
  void ShowRefusal(const disk::SizeRefusal& refusal, unsigned icon);
  disk::FileSystemChoice FileSystems() { return {IsNtfsChecked(), IsFat32Checked()}; }
  std::string ChosenDrive();

 private:
  struct Report {
    enum class Kind { Progress, Status, Enable, Error, Busy, Restore, Close } kind;
    int value = 0;
    bool flag = false;
    std::string text;
  };
  void Queue(Report report);
  ui::Lresult OnReports(ui::Wparam, ui::Lparam);
  // The close box, or the worker's close after a format: as Cancel, but only while Cancel is
  // enabled, as Windows' own dialogs do, so a running format cannot be left behind.
  ui::Lresult OnClose(ui::Wparam, ui::Lparam);
  void OnNtfsClicked();
  void OnFat32Clicked();
  void OnMaxSpaceClicked();

  disk::FormatDialogKind m_kind;
  disk::FormatMembers m_format;
  ColourScheme m_colours;
  ui::NativeHandle m_cursorBeforeFormat = nullptr;
  std::mutex m_reportLock;
  std::deque<Report> m_reports;
  ui::CWnd m_reportTarget;  // the dialog's window while it lives; guarded by m_reportLock
};

}  // namespace sw::app
