#pragma once
// The "iSCSI Drive Mapping" panel of the main dialog: the target list (1029), Connect (1030) and
// Management (1031), and timer 1054 that refreshes the list.

#include <string>
#include <vector>

#include "iscsi/target_list.h"
#include "ui/sx_group_box.h"
#include "ui/dialog.h"

namespace sw::app {

constexpr unsigned kTimerIscsi = 1054;  // TIMER_ISCSI

class IscsiPanel : public ui::CPanel {
 public:
  explicit IscsiPanel(ui::CDialog& dialog);

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

  // Column 1 ("Active") of every row of the list, top to bottom.
  std::vector<std::string> TargetRowStatuses() const;
  // Disconnect of the selected row: its persistent devices, sessions and persistent logins go,
  // then the list is refreshed by the timer. Without a selected row only the refresh is started.
  void LogoutSelectedTarget();

  int ServiceJustStarted = 0;
  int LogoutInProgress = 0;  // set when the LAN settings end the device's iSCSI use
  iscsi::TargetListState Targets;

 private:
  void OnTargetTimer();
  // Button 1030: "Disconnect" logs the selected target out.
  void OnConnectTarget();

  ui::CListCtrl m_targetList;
  ui::CButton m_targetConnect, m_management;
  ui::CSxGroupBox m_group;
};

}  // namespace sw::app
