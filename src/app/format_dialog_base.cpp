#include "app/format_dialog_base.h"
#include "base/product.h"

#include <utility>

#include "resource.h"
#include "share/drive_connection_table.h"

namespace sw::app {

namespace {
constexpr unsigned kWmFormatReports = ui::kWmUser + 0x231;
constexpr const char* kInitialSize = "8";
}  // namespace

CFormatDialogBase::CFormatDialogBase(int templateId, disk::FormatDialogKind kind, ui::CWnd* parent)
    : ui::CDialog(templateId, parent), m_kind(kind) {}

CFormatDialogBase::~CFormatDialogBase() { m_format.WaitForWorker(); }

const ui::MessageMap& CFormatDialogBase::GetMessageMap() const {
  static const ui::MessageMapEntry entries[] = {
      ui::OnCommand(IDC_NTFS, ui::kBnClicked, &CFormatDialogBase::OnNtfsClicked),
      ui::OnCommand(IDC_FAT32, ui::kBnClicked, &CFormatDialogBase::OnFat32Clicked),
      ui::OnCommand(IDC_MAX_SPACE, ui::kBnClicked, &CFormatDialogBase::OnMaxSpaceClicked),
      ui::OnMessage(kWmFormatReports, &CFormatDialogBase::OnReports),
      ui::OnMessage(ui::kWmClose, &CFormatDialogBase::OnClose),
  };
  static const ui::MessageMap map{entries, sizeof entries / sizeof entries[0]};
  return map;
}

void CFormatDialogBase::DoDataExchange(ui::CDataExchange* pDX) {
  ui::DDX_Control(pDX, IDC_MAX_SPACE, m_maxSpace);
  ui::DDX_Control(pDX, IDC_NTFS, m_ntfs);
  ui::DDX_Control(pDX, IDC_FAT32, m_fat32);
  ui::DDX_Control(pDX, IDC_PARTITION_SIZE, m_sizeEdit);
  ui::DDX_Control(pDX, IDC_SIZE_LABEL, m_sizeLabel);
  ui::DDX_Control(pDX, IDC_NEW_DRIVE, m_driveCombo);
  ui::DDX_Control(pDX, IDC_PROGRESS, m_progress);
  ui::DDX_Control(pDX, IDC_STATUS, m_status);
  ui::DDX_Control(pDX, IDC_OPTION_GROUP, m_group);
}

ui::NativeHandle CFormatDialogBase::OnCtlColor(ui::CDC& dc, ui::CWnd*, ui::CtlColorKind kind) {
  return m_colours.OnCtlColor(dc, kind);
}

void CFormatDialogBase::PostNcDestroy() {
  std::lock_guard<std::mutex> lock(m_reportLock);
  m_reportTarget.Detach();
}

void CFormatDialogBase::InitCommonControls() {
  m_colours.CreateBrushes();
  m_progress.ShowWindow(ui::kSwHide);
  m_progress.SetRange(0, 100);
  m_progress.SetBarColor(kProgressBarColour);
  m_progress.SetBkColor(kWhite);
  std::lock_guard<std::mutex> lock(m_reportLock);
  m_reportTarget.Attach(GetSafeHwnd());
}

void CFormatDialogBase::FillSizeAndLetters(std::uint32_t availableMiB) {
  const share::DriveLetterComboContent letters = share::CurrentFreeDriveLetters();
  m_driveCombo.ResetContent();
  for (const std::string& item : letters.items) m_driveCombo.AddString(item);
  if (letters.selection >= 0) m_driveCombo.SetCurSel(letters.selection);
  m_sizeLabel.SetWindowText(disk::AvailableSizeLabel(availableMiB));
  m_sizeEdit.SetWindowText(kInitialSize);
}

void CFormatDialogBase::EnableFormatAndCancel(bool enable) {
  if (ui::CWnd* format = GetDlgItem(ui::kIdOk)) format->EnableWindow(enable);
  if (ui::CWnd* cancel = GetDlgItem(ui::kIdCancel)) cancel->EnableWindow(enable);
}

void CFormatDialogBase::BeginProgress(int percent, const std::string& status) {
  m_progress.ShowWindow(ui::kSwShow);
  ShowProgress(percent, status);
}

void CFormatDialogBase::ShowRefusal(const disk::SizeRefusal& refusal, unsigned icon) {
  const char* caption = kDefaultMessageCaption;
  switch (refusal.caption) {
    case disk::RefusalCaption::Product: caption = base::kProductCaption; break;
    case disk::RefusalCaption::Other: caption = disk::kWizardOtherCaption; break;
    case disk::RefusalCaption::Warning:
      caption = disk::kWarningCaption;
      icon = ui::kMbIconExclamation;
      break;
    case disk::RefusalCaption::Default: break;
  }
  MessageBox(refusal.text, caption, ui::kMbOk | icon);
}

std::string CFormatDialogBase::ChosenDrive() {
  const int selected = m_driveCombo.GetCurSel();
  return selected >= 0 ? m_driveCombo.GetLBText(selected) : std::string();
}

void CFormatDialogBase::OnNtfsClicked() {
  if (m_ntfs.GetCheck() != 0) m_fat32.SetCheck(0);
}

void CFormatDialogBase::OnFat32Clicked() {
  if (m_fat32.GetCheck() != 0) m_ntfs.SetCheck(0);
}

void CFormatDialogBase::OnMaxSpaceClicked() { m_sizeEdit.EnableWindow(m_maxSpace.GetCheck() == 0); }

void CFormatDialogBase::ShowMessage(const std::string& text) { MessageBox(text, kDefaultMessageCaption, ui::kMbOk); }

void CFormatDialogBase::ShowProgress(int percent, const std::string& status) {
  m_progress.SetPos(percent);
  m_status.SetWindowText(status);
  // The thread is about to block again; let the user see where it is.
  m_progress.UpdateWindow();
  m_status.UpdateWindow();
}

void CFormatDialogBase::ShowStatus(const std::string& text) {
  m_status.SetWindowText(text);
  m_status.UpdateWindow();
}

void CFormatDialogBase::Wait(unsigned ms) { ui::WaitPaintingOnly(ms); }

void CFormatDialogBase::Queue(Report report) {
  std::lock_guard<std::mutex> lock(m_reportLock);
  m_reports.push_back(std::move(report));
  if (m_reportTarget.IsValid()) m_reportTarget.PostMessage(kWmFormatReports);
}

void CFormatDialogBase::PostProgress(int percent) { Queue({Report::Kind::Progress, percent, false, {}}); }
void CFormatDialogBase::PostStatus(const std::string& text) { Queue({Report::Kind::Status, 0, false, text}); }
void CFormatDialogBase::PostEnableButton(int controlId, bool enable) {
  Queue({Report::Kind::Enable, controlId, enable, {}});
}
void CFormatDialogBase::PostErrorMessage(const std::string& text) { Queue({Report::Kind::Error, 0, false, text}); }
void CFormatDialogBase::PostBeginBusyCursor() { Queue({Report::Kind::Busy, 0, false, {}}); }
void CFormatDialogBase::PostRestoreCursor() { Queue({Report::Kind::Restore, 0, false, {}}); }
void CFormatDialogBase::PostClose() { Queue({Report::Kind::Close, 0, false, {}}); }

ui::Lresult CFormatDialogBase::OnReports(ui::Wparam, ui::Lparam) {
  // One message may carry several reports and a later message none: the queue is what counts.
  for (;;) {
    Report report;
    {
      std::lock_guard<std::mutex> lock(m_reportLock);
      if (m_reports.empty()) return 0;
      report = std::move(m_reports.front());
      m_reports.pop_front();
    }
    switch (report.kind) {
      case Report::Kind::Progress: m_progress.SetPos(report.value); break;
      case Report::Kind::Status: m_status.SetWindowText(report.text); break;
      case Report::Kind::Enable:
        if (ui::CWnd* button = GetDlgItem(report.value)) button->EnableWindow(report.flag);
        break;
      case Report::Kind::Error: MessageBox(report.text, disk::kErrorCaption, ui::kMbOk | ui::kMbIconStop); break;
      case Report::Kind::Busy: m_cursorBeforeFormat = ui::SetCursor(ui::LoadAppCursor(IDR_BUSY_CURSOR)); break;
      case Report::Kind::Restore: ui::SetCursor(m_cursorBeforeFormat); break;
      case Report::Kind::Close:
        // Ends the dialog; what is still queued belongs to a window that is going.
        OnClose(0, 0);
        return 0;
    }
  }
}

ui::Lresult CFormatDialogBase::OnClose(ui::Wparam, ui::Lparam) {
  ui::CWnd* cancel = GetDlgItem(ui::kIdCancel);
  if (cancel == nullptr || cancel->IsWindowEnabled()) OnCancel();
  return 0;
}

}  // namespace sw::app
