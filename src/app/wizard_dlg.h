#pragma once
// The partition wizard (template 231, "Format"): after a login to a target whose disk has no
// volume, one partition over the disk (or the size typed), its drive letter and its format.
// Cancel before a completed format logs the target out again.

#include <string>

#include "app/format_dialog_base.h"

namespace sw::app {

class CWizardDialog : public CFormatDialogBase {
 public:
  explicit CWizardDialog(const std::string& targetName, ui::CWnd* parent = nullptr);

  bool OnInitDialog() override;
  void OnOK() override;      // Format
  void OnCancel() override;  // also reached by the close after a successful format

  std::string m_targetName;
  std::uint32_t m_requestedMiB = 0;
  // Set when Cancel logged the target out.
  bool TargetLoggedOut = false;

  // A size check's refusal, in its own caption with the exclamation icon.
  void ShowSizeRefusal(const disk::SizeRefusal& refusal);

 private:
  // After a refused or failed step: the buttons back, the progress bar where it was.
  void Refuse();
};

struct WizardResult {
  ui::ModalResult result = 0;
  bool targetLoggedOut = false;
};

// The wizard for `targetName`, modal; WizardFormatCompleted starts as `formatCompleted` (the
// connection passes false). The caller reads targetLoggedOut.
WizardResult OpenPartitionWizard(const std::string& targetName, bool formatCompleted, ui::CWnd* parent = nullptr);

}  // namespace sw::app
