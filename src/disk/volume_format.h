#pragma once
// The quick format of a new partition on a worker thread, reported in the dialog that asked for
// it (the Partition dialog or the partition wizard). The format itself goes through the format
// port (format_engine.h); this unit holds the worker, the callback with its texts and progress
// values, and the process-wide owner and completion flags, one set per dialog kind, so at most one
// format per dialog kind runs at a time.
//
// Threads: StartVolumeFormat runs on the user-interface thread; the worker and the callback run
// on the worker thread and reach the dialog only through the Post* members of FormatDialog, which
// the dialogs implement by posting messages to their own window.

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace sw::disk {

class SessionDisks;

constexpr const char* kInvalidVolumeText = "Invalid Volume";
constexpr const char* kNotSessionVolumeText =
    "This volume is not on a disk of a connected iSCSI target. It was not formatted.";
constexpr const char* kFinalizingText = "Finalizing... please wait this may take a minute.";
constexpr const char* kFormatSucceededText = "Format was completed successfully";
constexpr const char* kFormatFailedText = "Format was unable to complete successfully";
// When Windows' format library or one of its entry points is missing.
constexpr const char* kFormatNotStartedStatus = "Format could not be started";
constexpr const char* kFormatNotStartedText =
    "The format could not be started: the Windows format library \"fmifs.dll\" is missing or incomplete.";
constexpr const char* kErrorCaption = "Error";

constexpr int kFormatButtonId = 1;  // OK ("Format")
constexpr int kCancelButtonId = 2;

enum class FormatDialogKind { Partition, Wizard };

// What a dialog keeps of its format (members of CPartition and CWizardDialog).
struct FormatMembers {
  std::int32_t formatKind = 0;       // 1 NTFS, 2 FAT32
  std::u16string fileSystemName;     // u"NTFS" or u"FAT32", handed to FormatEx
  char16_t driveRoot[4] = {};        // u"E:\\"
  std::string volumePath;            // wizard: for the persistent-device command after success
  std::thread worker;

  FormatMembers() = default;
  FormatMembers(const FormatMembers&) = delete;
  FormatMembers& operator=(const FormatMembers&) = delete;
  ~FormatMembers() { WaitForWorker(); }
  // Joins an ended or ending worker. A dialog calls it before it is destroyed (its own destructor
  // or after its modal loop), as the worker reports to it until the worker ends.
  void WaitForWorker() {
    if (worker.joinable()) worker.join();
  }
};

// The dialog side of a format; the dialogs of the disk manager implement it.
class FormatDialog {
 public:
  virtual ~FormatDialog() = default;
  virtual FormatDialogKind DialogKind() const = 0;
  virtual FormatMembers& Format() = 0;

  // User-interface thread only.
  virtual bool IsNtfsChecked() = 0;                        // check box 1037
  virtual bool IsFat32Checked() = 0;                       // check box 1038
  virtual void ShowMessage(const std::string& text) = 0;   // message box, OK, the default caption

  // Any thread: each posts a message to the dialog's window and returns; the dialog applies them
  // in order on its own thread. Posting to a window that has gone does nothing.
  virtual void PostProgress(int percent) = 0;                     // progress bar 1039
  virtual void PostStatus(const std::string& text) = 0;           // status text 1044
  virtual void PostEnableButton(int controlId, bool enable) = 0;  // kFormatButtonId, kCancelButtonId
  virtual void PostErrorMessage(const std::string& text) = 0;     // kErrorCaption, stop icon, OK
  virtual void PostBeginBusyCursor() = 0;                         // animated cursor 238
  virtual void PostRestoreCursor() = 0;
  virtual void PostClose() = 0;                                   // WM_CLOSE
};

// The inventory entry being formatted, as far as the format needs it.
struct FormatVolume {
  std::string volumePath;        // "E:\" or "*" when the volume has no drive letter
  std::int32_t diskNumber = -1;
};

// Starts the format of `volume` for `dialog` (user-interface thread). False, with no worker, when
// the volume has no drive letter ("Invalid Volume"), lies on no disk of `sessions` (disk 0 and
// disks of no session are never formatted), or neither file-system box is checked. A worker left
// from an earlier format of the same dialog is joined first.
bool StartVolumeFormat(FormatDialog& dialog, const FormatVolume& volume, const SessionDisks& sessions);

// Set when the program starts, cleared by every completion report of a Partition-dialog format.
extern std::atomic<bool> NoFormatCompletedYet;
// Set false by the wizard's opener, true by every completion report of a wizard format.
extern std::atomic<bool> WizardFormatCompleted;

// The callbacks handed to FormatEx, one per dialog kind (the port calls them on the thread that
// called FormatEx). Data: progress (command 0) a 32-bit percent, done (command 11) a one-byte
// boolean. Return true to continue.
bool PartitionFormatCallback(int command, std::uint32_t subAction, void* data);
bool WizardFormatCallback(int command, std::uint32_t subAction, void* data);


}  // namespace sw::disk
