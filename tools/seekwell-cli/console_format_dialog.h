#pragma once
// The format's dialog side for a terminal: what the wizard would show in its progress bar and
// status text goes to standard error as lines; there are no buttons and no cursor. It reports as
// the wizard does, so a successful format also makes the volume a persistent device.

#include <mutex>
#include <string>

#include "disk/volume_format.h"

namespace sw::cli {

class ConsoleFormatDialog : public disk::FormatDialog {
 public:
  explicit ConsoleFormatDialog(bool ntfs) : m_ntfs(ntfs) {}
  ~ConsoleFormatDialog() override { m_members.WaitForWorker(); }

  disk::FormatDialogKind DialogKind() const override { return disk::FormatDialogKind::Wizard; }
  disk::FormatMembers& Format() override { return m_members; }
  bool IsNtfsChecked() override { return m_ntfs; }
  bool IsFat32Checked() override { return !m_ntfs; }
  void ShowMessage(const std::string& text) override;

  void PostProgress(int percent) override;
  void PostStatus(const std::string& text) override;
  void PostEnableButton(int, bool) override {}
  void PostErrorMessage(const std::string& text) override;
  void PostBeginBusyCursor() override {}
  void PostRestoreCursor() override {}
  void PostClose() override {}

  // Waits until the format has ended (its worker is gone); true when it reported success.
  bool WaitForEnd();
  // The last message, error or status shown.
  std::string LastText();
  int LastPercent();

 private:
  void Line(const std::string& text);

  bool m_ntfs;
  disk::FormatMembers m_members;
  std::mutex m_mutex;
  std::string m_lastStatus;
  std::string m_lastText;
  int m_percent = 0;
};

}  // namespace sw::cli
