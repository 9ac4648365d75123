#pragma once
// CSelectDriveDlg (dialog 236, "Drive Select"): the free drive letters in combo 1049 under the
// group box 1048; OK gives the chosen letter to the volume it was opened for.

#include <optional>
#include <string>
#include <vector>

#include "app/colour_scheme.h"
#include "disk/volume_inventory.h"
#include "ui/dialog.h"
#include "ui/sx_group_box.h"

namespace sw::app {

class CSelectDriveDlg : public ui::CDialog {
 public:
  CSelectDriveDlg(std::vector<std::string> drives, std::optional<disk::VolumeRecord> entry,
                  disk::SessionDisks sessions, ui::CWnd* parent = nullptr);

  void DoDataExchange(ui::CDataExchange* pDX) override;
  bool OnInitDialog() override;
  void OnOK() override;
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

  bool Assigned() const { return m_assigned; }

 private:
  std::vector<std::string> m_drives;
  std::optional<disk::VolumeRecord> m_entry;
  disk::SessionDisks m_sessions;
  bool m_assigned = false;
  ui::CComboBox m_letters;
  ui::CSxGroupBox m_group;
  ColourScheme m_colours;
};

}  // namespace sw::app
