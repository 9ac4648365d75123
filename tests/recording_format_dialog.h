#pragma once
// A FormatDialog for tests: keeps what the dialog would show (progress, status, buttons, closed,
// messages) and every posted change in order, from whichever thread posted it.

#include <mutex>
#include <string>
#include <vector>

#include "disk/volume_format.h"

namespace sw::disk {

class RecordingFormatDialog : public FormatDialog {
 public:
  explicit RecordingFormatDialog(FormatDialogKind kind, bool ntfs = true, bool fat32 = false)
      : kind_(kind), ntfs_(ntfs), fat32_(fat32) {}
  ~RecordingFormatDialog() override { members_.WaitForWorker(); }

  FormatDialogKind DialogKind() const override { return kind_; }
  FormatMembers& Format() override { return members_; }
  bool IsNtfsChecked() override { return ntfs_; }
  bool IsFat32Checked() override { return fat32_; }
  void ShowMessage(const std::string& text) override { Add("message " + text); }

  void PostProgress(int percent) override {
    std::lock_guard<std::mutex> lock(mutex_);
    progress_ = percent;
    events_.push_back("progress " + std::to_string(percent));
  }
  void PostStatus(const std::string& text) override {
    std::lock_guard<std::mutex> lock(mutex_);
    status_ = text;
    events_.push_back("status " + text);
  }
  void PostEnableButton(int id, bool enable) override {
    std::lock_guard<std::mutex> lock(mutex_);
    (id == kFormatButtonId ? okEnabled_ : cancelEnabled_) = enable;
    events_.push_back(std::string(enable ? "enable " : "disable ") + std::to_string(id));
  }
  void PostErrorMessage(const std::string& text) override { Add("error " + text); }
  void PostBeginBusyCursor() override { Add("busy"); }
  void PostRestoreCursor() override { Add("cursor"); }
  void PostClose() override {
    std::lock_guard<std::mutex> lock(mutex_);
    closed_ = true;
    events_.push_back("close");
  }

  void Wait() { members_.WaitForWorker(); }
  std::vector<std::string> Events() {
    std::lock_guard<std::mutex> lock(mutex_);
    return events_;
  }
  // Index of the first event equal to `event`, or -1.
  int IndexOf(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    for (std::size_t i = 0; i < events_.size(); ++i) {
      if (events_[i] == event) return static_cast<int>(i);
    }
    return -1;
  }
  std::string Status() {
    std::lock_guard<std::mutex> lock(mutex_);
    return status_;
  }
  int Progress() {
    std::lock_guard<std::mutex> lock(mutex_);
    return progress_;
  }
  bool OkEnabled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return okEnabled_;
  }
  bool CancelEnabled() {
    std::lock_guard<std::mutex> lock(mutex_);
    return cancelEnabled_;
  }
  bool Closed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return closed_;
  }

 private:
  void Add(const std::string& event) {
    std::lock_guard<std::mutex> lock(mutex_);
    events_.push_back(event);
  }

  FormatDialogKind kind_;
  bool ntfs_;
  bool fat32_;
  FormatMembers members_;
  std::mutex mutex_;
  std::vector<std::string> events_;
  std::string status_;
  int progress_ = 0;
  bool okEnabled_ = false;  // the dialogs disable both before the work starts
  bool cancelEnabled_ = false;
  bool closed_ = false;
};

}  // namespace sw::disk
