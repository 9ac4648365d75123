#pragma once
// The "iSCSI Drive Mapping" panel of the main dialog: the target list (1029), Connect (1030) and
// Management (1031), timer 1054 that refreshes the list, and the initiator's checks around them
// (the service-starting window 232 and the install prompt 233). The decisions are the core's
// (host/initiator_presence.h, iscsi/target_list.h); the panel shows what they return.

#include <memory>
#include <mutex>
#include <map>
#include <string>
#include <vector>

#include "app/device_selection.h"
#include "app/install_dlg.h"
#include "app/win_service_dlg.h"
#include "host/initiator_presence.h"
#include "iscsi/process_runner.h"
#include "iscsi/target_list.h"
#include "ui/dialog.h"
#include "ui/sx_group_box.h"

namespace sw::app {

constexpr unsigned kTimerIscsi = 1054;  // TIMER_ISCSI

class IscsiPanel : public ui::CPanel, private host::InitiatorReadyActions {
 public:
  IscsiPanel(ui::CDialog& dialog, DeviceSelection& selection);
  ~IscsiPanel() override;

  const ui::MessageMap& GetMessageMap() const override;
  void DoDataExchange(ui::CDataExchange* pDX) override;
  void InsertColumns();

  void DisableTargetButtons();
  void EnableTargetButtons();
  // Timer 1054: 1000 ms right after the initiator service was started, else 100 ms.
  void StartTargetTimer();

  // Around a device search: the list is emptied with redrawing suspended, then redrawn.
  void BeginRefill();
  void EndRefill();
  // A device without iSCSI: no targets, nothing to connect or manage.
  void ShowNoTargets();
  // A click on an iSCSI device: the initiator check that fills list 1029 (mode 0).
  void OnIscsiDeviceSelected();

  // The registered process-terminated message: `lParam` is the handle of the "ipconfig /all" that
  // ended. The initiator's portals become the selected device alone, then timer 1054 starts.
  ui::Lresult RefreshTargetPortals(ui::Wparam wParam, ui::Lparam lParam);
  // The main window's WM_SIZE: a plain restore after the install prompt resumes the Connect.
  void OnMainWindowSize(unsigned sizeType);

  // Button 1030.
  void OnConnectTarget();
  // Button 1031: the disk manager for the selected device.
  void OnManagement();

  // Column 1 ("Active") of every row of the list, top to bottom.
  std::vector<std::string> TargetRowStatuses() const;
  // Disconnect of the selected row: its persistent devices, sessions and persistent logins go,
  // then the list is refreshed by the timer. Without a selected row only the refresh is started.
  void LogoutSelectedTarget();
  int LogoutInProgress = 0;  // set when the LAN settings end the device's iSCSI use

  host::InitiatorFlags& Flags() { return m_flags; }
  const iscsi::TargetListState& Targets() const { return m_targets; }
  void ResetFlags() { m_flags = {}; }

 private:
  void OnTargetTimer();
  void OnTargetListClick(ui::NotifyHeader* header, ui::Lresult* result);
  // List 1029 emptied and refilled with redrawing suspended.
  void FillRows(const std::vector<iscsi::TargetRow>& rows);

  // What the initiator decisions lead to on screen.
  void BeginBusyCursor() override;
  void RestoreCursor() override;
  void Sleep(unsigned ms) override;
  std::uint32_t NowMs() override;
  void ShowServiceStartingWindow() override;
  void CloseServiceStartingWindow() override;
  void ShowInstallPrompt() override;
  void BuildFallbackTargetList() override;
  void StartInitiatorRefresh() override;
  void ReportServiceNotStarted() override;

  // The process handles our own waiters announced and not yet handled, each with the device it was
  // started for. The registered message can be posted by any program; only a handle in here is
  // ever closed.
  struct AnnouncedProcesses {
    std::mutex mutex;
    std::map<iscsi::ProcessHandle, std::string> devices;
  };

  DeviceSelection& m_selection;
  host::InitiatorFlags m_flags;
  iscsi::TargetListState m_targets;
  std::vector<ui::NativeHandle> m_savedCursors;
  std::shared_ptr<AnnouncedProcesses> m_announced = std::make_shared<AnnouncedProcesses>();
  std::unique_ptr<CWinService> m_serviceWindow;
  std::unique_ptr<InstallDialog> m_installPrompt;

  ui::CListCtrl m_targetList;
  ui::CButton m_targetConnect, m_management;
  ui::CSxGroupBox m_group;
};

}  // namespace sw::app
