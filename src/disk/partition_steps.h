#pragma once
// The steps the Partition dialog and the partition wizard run after their checks: the new
// partition's table entry, the waits for its volume and its drive letter, and the format start.
// The dialogs supply the progress display and the waits; the steps decide what comes next.

#include <cstdint>
#include <optional>
#include <string>

#include "disk/partition_sizes.h"
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

// What the wizard's user chose.
struct WizardChoice {
  std::string target;
  bool useMaximum = true;
  std::string sizeText;
  FileSystemChoice fileSystems;
  std::string drivePath;  // the letter for the volume ("F:\"); empty: the one Windows gives it
};

// What the wizard's road needs of whoever runs it (the wizard dialog, the command line, the
// simulated start-up): the progress display and waits, the messages and the one question.
class WizardHost : public PartitionProgress {
 public:
  virtual void ShowRefusal(const SizeRefusal& refusal) = 0;  // its text and caption, exclamation icon
  virtual void Tell(const std::string& text, RefusalCaption caption, bool exclamation) = 0;  // OK
  virtual bool ConfirmErase(const std::string& question) = 0;  // the product caption, Yes/No, exclamation
};

enum class WizardOutcome {
  Refused,        // a message said why; nothing was written, or the table was and no volume came
  NotFormatted,   // the table was written; the format was not started (its own message said why)
  FormatStarted,  // the worker runs; the dialog hears from it
};

// The partition wizard's road after its first wait and 10%: the target's disk and size checks, the
// question before anything on the disk is erased, the table on the disk that was asked about
// (checked again at the moment it is written), 20%, the wait for the volume's letter and the
// chosen letter, 30%, and StartWizardFormat. One road for the wizard dialog, the command line's
// "iscsi prepare" and the simulated start-up.
WizardOutcome RunPartitionWizard(const WizardChoice& choice, WizardHost& host, FormatDialog& dialog);

}  // namespace sw::disk
