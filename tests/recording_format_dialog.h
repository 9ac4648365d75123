#pragma once
// A FormatDialog for tests: what the dialog would show and every posted change in order, from
// whichever thread posted it.

#include <algorithm>
#include <mutex>
#include <string>
#include <vector>

#include "disk/volume_format.h"

namespace sw::disk {

class RecordingFormatDialog : public FormatDialog {
 public:
  struct Shown {
    std::string status;
    bool okEnabled = false;  // the dialogs disable both before the work starts
    bool cancelEnabled = false;
    bool closed = false;
    std::vector<std::string> events;
    // Position of the first `event`, or -1.
    int IndexOf(const std::string& event) const {
      auto it = std::find(events.begin(), events.end(), event);
      return it == events.end() ? -1 : static_cast<int>(it - events.begin());
    }
  };

  RecordingFormatDialog(FormatDialogKind kind, bool ntfs, bool fat32) : kind_(kind), ntfs_(ntfs), fat32_(fat32) {}
  ~RecordingFormatDialog() override { members_.WaitForWorker(); }

  FormatDialogKind DialogKind() const override { return kind_; }
  FormatMembers& Format() override { return members_; }
  bool IsNtfsChecked() override { return ntfs_; }
  bool IsFat32Checked() override { return fat32_; }
  void ShowMessage(const std::string& text) override { Add("message " + text); }
  void PostProgress(int percent) override { Add("progress " + std::to_string(percent)); }
  void PostStatus(const std::string& text) override { Add("status " + text, [&] { shown_.status = text; }); }
  void PostEnableButton(int id, bool enable) override {
    Add((enable ? "enable " : "disable ") + std::to_string(id),
        [&] { (id == kFormatButtonId ? shown_.okEnabled : shown_.cancelEnabled) = enable; });
  }
  void PostErrorMessage(const std::string& text) override { Add("error " + text); }
  void PostBeginBusyCursor() override { Add("busy"); }
  void PostRestoreCursor() override { Add("cursor"); }
  void PostClose() override { Add("close", [&] { shown_.closed = true; }); }

  // Waits for the worker, then what was shown.
  Shown AfterWorker() {
    members_.WaitForWorker();
    std::lock_guard<std::mutex> lock(mutex_);
    return shown_;
  }

 private:
  template <typename F = void (*)()>
  void Add(const std::string& event, F apply = [] {}) {
    std::lock_guard<std::mutex> lock(mutex_);
    apply();
    shown_.events.push_back(event);
  }

  FormatDialogKind kind_;
  bool ntfs_;
  bool fat32_;
  FormatMembers members_;
  std::mutex mutex_;
  Shown shown_;
};

// True when the format engine's reports reach no dialog of `kind`: its format has let go of it.
inline bool FormatReleased(FormatDialogKind kind) {
  std::uint32_t percent = 10;
  return !(kind == FormatDialogKind::Partition ? PartitionFormatCallback : WizardFormatCallback)(0, 0, &percent);
}

}  // namespace sw::disk
