#pragma once
// The steps the Partition dialog and the partition wizard run after their checks: the new
// partition's table entry, the waits for its volume and its drive letter, and the format start.
// The dialogs supply the progress display and the waits; the steps decide what comes next.

#include <cstdint>
#include <optional>
#include <string>

#include "disk/partitions.h"
#include "disk/volume_format.h"
#include "disk/volume_inventory.h"

namespace sw::disk {

constexpr const char* kWaitingForOsText = "Waiting for OS to recognize partition";
constexpr int kTargetLetterWaits = 10;
constexpr int kTargetVolumeRounds = 30;
constexpr unsigned kStepWaitMs = 1000;

// What the steps show on the dialog's own thread, at once (not by messages).
class PartitionProgress {
 public:
  virtual ~PartitionProgress() = default;
  virtual void ShowProgress(int percent, const std::string& status) = 0;  // bar 1039, text 1044
  virtual void ShowStatus(const std::string& text) = 0;                    // text 1044
  virtual void Wait(unsigned ms) = 0;  // holds the dialog's thread, its windows still painting
};

// The first record of a fresh inventory whose target name is `target` (case-sensitive).
std::optional<VolumeRecord> FindTargetEntry(const std::string& target);

// The wizard after its table write: looks the target's record up until its volume has a drive
// letter, waiting between lookups, at most kTargetLetterWaits waits. The last lookup.
std::optional<VolumeRecord> WaitForTargetLetter(const std::string& target, PartitionProgress& progress);

// The wizard's format start: 40%, the wait for the volume (up to kTargetVolumeRounds rounds, with
// its dots), then 50% and StartVolumeFormat for the volume's letter, or "Invalid Volume" for a
// volume without one. True when a format was started.
bool StartWizardFormat(FormatDialog& dialog, PartitionProgress& progress, const std::string& target,
                       const SessionDisks& sessions);

// "Waiting for OS to recognize partition" with the dots of a round whose remaining count is
// `remaining`: "." when it divides by 3, "..." when it leaves 2, ".." when it leaves 1.
std::string WaitingText(int remaining);

}  // namespace sw::disk
