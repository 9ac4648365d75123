#pragma once
// The "iSCSI Drive Mapping" panel of the main dialog: the target list (1029), Connect (1030) and
// Management (1031), and timer 1054 that refreshes the list.

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

  int ServiceJustStarted = 0;

 private:
  void OnTargetTimer();

  ui::CListCtrl m_targetList;
  ui::CButton m_targetConnect, m_management;
  ui::CSxGroupBox m_group;
};

}  // namespace sw::app
