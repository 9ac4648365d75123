// Simulated backend of the start-up road: the simulated machine's SEEKWELL_SIM_OPEN (see sim_start.h).

#include "app/sim_start.h"

#include <sstream>
#include <string>
#include <vector>

#include "app/disk_mgr_dlg.h"
#include "app/partition_dlg.h"
#include "app/wizard_dlg.h"
#include "disk/disk_access.h"
#include "disk/partitions.h"
#include "disk/partition_steps.h"
#include "disk/volume_format.h"
#include "disk/volume_inventory.h"
#include "host/clock.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "protocol/protocol_state.h"
#include "winsim/machine.h"

namespace sw::app {

namespace {
constexpr std::uint32_t kFirstPartitionMiB = 256;
// Half of the first demo disk, so that its bar shows a partition and free space of equal width.
constexpr std::uint32_t kManagerPartitionMiB = 1024;

class AcceptingPrompts : public disk::DiskPrompts {
 public:
  void ShowNotHandled() override {}
  bool AskInitialize() override { return true; }
};

int SessionDiskOf(const std::string& target) {
  for (const auto& s : winsim::TheMachine().initiator.SessionDisks()) {
    if (s.targetName == target) return s.diskNumber;
  }
  return -1;
}

// The wizard's road with nobody watching: NTFS, every report dropped, waits slept, yes to its
// question.
class UnattendedWizard : public disk::FormatDialog, public disk::WizardHost {
 public:
  ~UnattendedWizard() override { m_members.WaitForWorker(); }
  disk::FormatDialogKind DialogKind() const override { return disk::FormatDialogKind::Wizard; }
  disk::FormatMembers& Format() override { return m_members; }
  bool IsNtfsChecked() override { return true; }
  bool IsFat32Checked() override { return false; }
  void ShowMessage(const std::string&) override {}
  void PostProgress(int) override {}
  void PostStatus(const std::string&) override {}
  void PostEnableButton(int, bool) override {}
  void PostErrorMessage(const std::string&) override {}
  void PostBeginBusyCursor() override {}
  void PostRestoreCursor() override {}
  void PostClose() override {}
  void ShowProgress(int, const std::string&) override {}
  void ShowStatus(const std::string&) override {}
  void Wait(unsigned ms) override { host::SleepMs(ms); }
  void ShowRefusal(const disk::SizeRefusal&) override {}
  void Tell(const std::string&, disk::RefusalCaption, bool) override {}
  bool ConfirmErase(const std::string&) override { return true; }

 private:
  disk::FormatMembers m_members;
};

// Logs in every target the device at `portal` offers (CHAP ones with their own credentials).
bool LoginAllTargets(const std::string& portal) {
  const fabric::Fabric f = winsim::TheMachine().Fabric();
  const fabric::Device* device = f.FindByAddress(portal);
  if (device == nullptr) return false;
  for (const fabric::Target& t : device->targets) {
    const auto login = t.AsksForChap()
                           ? iscsi::ChapLoginTargetCommand(t.name, winsim::kDefaultInitiatorName, t.user, t.secret)
                           : iscsi::LoginTargetCommand(t.name, winsim::kDefaultInitiatorName);
    if (!login || !iscsi::RunCommand(*login)) return false;
  }
  return true;
}

// A table with one `sizeMiB` partition on the disk of `target`, formatted NTFS on the letter
// Windows gave it, by the wizard's own road; returns once the format has ended.
bool AddFormattedPartition(const std::string& target, std::uint32_t sizeMiB) {
  disk::WizardChoice choice;
  choice.target = target;
  choice.useMaximum = false;
  choice.sizeText = std::to_string(sizeMiB);
  choice.fileSystems = {true, false};
  UnattendedWizard wizard;
  disk::WizardFormatCompleted.store(false);
  const bool started = disk::RunPartitionWizard(choice, wizard, wizard) == disk::WizardOutcome::FormatStarted;
  wizard.Format().WaitForWorker();
  return started && disk::WizardFormatCompleted.load();
}

void OpenPartitionOnFreeSpace(int disk) {
  const disk::SessionDisks sessions = disk::ConnectedSessionDisks();
  const disk::DiskIdentity asIs = disk::CheckWizardErase(disk, {}).identity;
  if (!disk::WritePartitionTableForWizard(disk, kFirstPartitionMiB, sessions, asIs).written) return;
  const disk::DiskLayoutRead read = disk::ReadDiskRegions(disk);
  for (std::size_t row = 0; row < read.regions.size(); ++row) {
    if (read.regions[row].number != 0) continue;
    AcceptingPrompts prompts;
    const disk::AddPreparation add =
        disk::PrepareAddPartition(disk, read.regions, static_cast<int>(row), sessions, prompts);
    if (add.outcome != disk::AddOutcome::Ready) return;
    OpenPartitionDialog(add.request);
    return;
  }
}
}  // namespace

void RunSimulatedStart() {
  const std::string text = winsim::TheMachine().GetSettings().open;
  if (text.empty()) return;
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  if (parts.size() != 3) return;
  const std::string& portal = parts[1];
  const std::string& target = parts[2];
  protocol::SetSelectedDeviceIp(protocol::GetProtocolState(), portal.c_str());
  if (winsim::TheMachine().initiator.AddSendTargetPortal(portal) != 0) return;
  if (parts[0] == "manager") {
    if (!LoginAllTargets(portal)) return;
    const int disk = SessionDiskOf(target);
    if (disk <= 0 || !AddFormattedPartition(target, kManagerPartitionMiB)) return;
    CDiskMgrDlg manager(portal);
    manager.DoModal();
    return;
  }
  const auto login = iscsi::LoginTargetCommand(target, winsim::kDefaultInitiatorName);
  if (!login || !iscsi::RunCommand(*login)) return;
  const int disk = SessionDiskOf(target);
  if (disk <= 0) return;
  if (parts[0] == "wizard") OpenPartitionWizard(target, false);
  if (parts[0] == "partition") OpenPartitionOnFreeSpace(disk);
}

}  // namespace sw::app
