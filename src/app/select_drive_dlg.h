#pragma once
// CSelectDriveDlg (dialog 236, "Drive Select"): the free drive letters in combo 1049 under the
// group box 1048; OK keeps the chosen letter, which the disk manager's Mount then gives to the
// volume (disk::MountVolume).

#include <string>
#include <vector>

#include "app/colour_scheme.h"
#include "ui/dialog.h"
#include "ui/sx_group_box.h"

namespace sw::app {

class CSelectDriveDlg : public ui::CDialog {
 public:
  explicit CSelectDriveDlg(std::vector<std::string> drives, ui::CWnd* parent = nullptr);

  void DoDataExchange(ui::CDataExchange* pDX) override;
  bool OnInitDialog() override;
  void OnOK() override;
  ui::NativeHandle OnCtlColor(ui::CDC& dc, ui::CWnd* control, ui::CtlColorKind kind) override;

  // The drive path chosen with OK ("F:\"); empty when none was.
  const std::string& Chosen() const { return m_chosen; }

 private:
  std::vector<std::string> m_drives;
  std::string m_chosen;
  ui::CComboBox m_letters;
  ui::CSxGroupBox m_group;
  ColourScheme m_colours;
};

}  // namespace sw::app
