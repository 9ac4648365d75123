#pragma once
// The "iSCSI Drive Mapping" panel of the main dialog: the target list (1029), Connect (1030) and
// Management (1031), timer 1054 that refreshes the list, and the initiator's checks around them
// (the service-starting window 232 and the install prompt 233). The decisions are the core's
// (host/initiator_presence.h, iscsi/target_list.h); the panel shows what they return.

#include <functional>
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
#include "iscsi/target_login.h"
#include "ui/dialog.h"
#include "ui/sx_group_box.h"

namespace sw::app {

constexpr unsigned kTimerIscsi = 1054;  // TIMER_ISCSI

// What a login to a new, empty disk opens: the partition wizard for the target's whole disk, then
// the disk manager for the device. The dialogs belong to the disk dialogs; the main dialog wires
// them. Without them the road ends after the refresh.
struct NewDiskDialogs {
  // True when the wizard finished; false when it was cancelled (its cancel logged the target out).
  std::function<bool(const std::string& target)> runPartitionWizard;
  std::function<void(const std::string& deviceIp)> openDiskManager;
};

class IscsiPanel : public ui::CPanel, private host::InitiatorReadyActions, private iscsi::TargetLoginActions {
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

  // Button 1030: Connect or Disconnect by its text.
  void OnConnectTarget();
  // The login of the selected row (deferred 0) or of CurrentTarget after a service start (1).
  void LoginTargets(int deferred);
  void SetNewDiskDialogs(NewDiskDialogs dialogs) { m_newDisk = std::move(dialogs); }
  const iscsi::LoginState& Login() const { return m_login; }

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

  // What the login leads to on screen.
  std::vector<std::string> RefreshTargetEntries() override;
  void RunChapDialog(const std::string& user, const std::string& secretBase64) override;
  void ShowMessage(const std::string& text, const std::string& caption, unsigned flags) override;
  void StartRefreshTimer(bool repaintList) override;
  void EnableManagement() override;
  int CheckTargetDisk(const std::string& target) override;
  bool RunPartitionWizard(const std::string& target) override;
  void OpenDiskManager() override;

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
  iscsi::LoginState m_login;
  NewDiskDialogs m_newDisk;
  bool m_serviceStartFailed = false;  // the initiator check of this Connect reported the service down
  std::vector<ui::NativeHandle> m_savedCursors;
  std::shared_ptr<AnnouncedProcesses> m_announced = std::make_shared<AnnouncedProcesses>();
  std::unique_ptr<CWinService> m_serviceWindow;
  std::unique_ptr<InstallDialog> m_installPrompt;

  ui::CListCtrl m_targetList;
  ui::CButton m_targetConnect, m_management;
  ui::CSxGroupBox m_group;
};

}  // namespace sw::app
