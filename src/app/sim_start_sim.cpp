// Simulated backend of the start-up road: reads SEEKWELL_SIM_OPEN (see sim_start.h).

#include "app/sim_start.h"

#include <cstdlib>
#include <sstream>
#include <string>
#include <vector>

#include "app/partition_dlg.h"
#include "app/wizard_dlg.h"
#include "disk/disk_access.h"
#include "disk/partitions.h"
#include "disk/volume_inventory.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "iscsi/initiator_sim.h"
#include "protocol/protocol_state.h"

namespace sw::app {

namespace {
constexpr std::uint32_t kFirstPartitionMiB = 256;

class AcceptingPrompts : public disk::DiskPrompts {
 public:
  void ShowNotHandled() override {}
  bool AskInitialize() override { return true; }
};

int SessionDiskOf(const std::string& target) {
  for (const auto& s : iscsi::sim::SessionDisks()) {
    if (s.targetName == target) return s.diskNumber;
  }
  return -1;
}

void OpenPartitionOnFreeSpace(int disk) {
  const disk::SessionDisks sessions = disk::ConnectedSessionDisks();
  if (!disk::WritePartitionTableForWizard(disk, kFirstPartitionMiB, sessions)) return;
  const disk::DiskLayoutRead read = disk::ReadDiskRegions(disk);
  for (std::size_t row = 0; row < read.regions.size(); ++row) {
    if (read.regions[row].number != 0) continue;
    AcceptingPrompts prompts;
    const disk::AddPreparation add =
        disk::PrepareAddPartition(disk, read.regions, static_cast<int>(row), sessions, prompts);
    if (add.outcome != disk::AddOutcome::Ready) return;
    const disk::PartitionRequest& r = add.request;
    OpenPartitionDialog(r.availableMiB, static_cast<int>(r.calls), r.disk, r.slot, r.newNumber, r.regionStart,
                        r.regionLength);
    return;
  }
}
}  // namespace

void RunSimulatedStart() {
  const char* text = std::getenv("SEEKWELL_SIM_OPEN");
  if (text == nullptr) return;
  std::vector<std::string> parts;
  std::stringstream in(text);
  for (std::string part; std::getline(in, part, ',');) parts.push_back(part);
  if (parts.size() != 3) return;
  const std::string& portal = parts[1];
  const std::string& target = parts[2];
  protocol::SetSelectedDeviceIp(protocol::GetProtocolState(), portal.c_str());
  if (iscsi::sim::AddSendTargetPortal(portal) != 0) return;
  const auto login = iscsi::LoginTargetCommand(target, iscsi::sim::kDefaultInitiatorName);
  if (!login || !iscsi::RunCommand(*login)) return;
  const int disk = SessionDiskOf(target);
  if (disk <= 0) return;
  if (parts[0] == "wizard") OpenPartitionWizard(target, false);
  if (parts[0] == "partition") OpenPartitionOnFreeSpace(disk);
}

}  // namespace sw::app
