// The format's start checks, its failure paths and its flags, over the simulated format port with
// no volume behind the drive root (so FormatEx reports failure at once) and a fake clock.

#include <gtest/gtest.h>

#include "disk/format_engine_sim.h"
#include "disk/partitions.h"
#include "disk/volume_format.h"
#include "host/clock.h"
#include "iscsi/process_runner_sim.h"
#include "recording_format_dialog.h"

namespace sw::disk {
namespace {

class VolumeFormatTest : public ::testing::Test {
 protected:
  void SetUp() override {
    host::InstallClock(&clock_);
    sim::ResetFormatEngine();
    iscsi::sim::ResetProcesses();
    NoFormatCompletedYet = true;
    WizardFormatCompleted = false;
  }
  void TearDown() override {
    sim::ResetFormatEngine();
    host::InstallClock(nullptr);
  }

  host::FakeClock clock_;
  SessionDisks sessions_{{1, 2}};
};

// No drive letter, disk 0 or a disk of no session: nothing starts, the user is told why.
TEST_F(VolumeFormatTest, RefusedVolumesStartNoWorker) {
  struct Case {
    FormatVolume volume;
    const char* message;
  } cases[] = {
      {{"*", 1}, kInvalidVolumeText},
      {{"", 1}, kInvalidVolumeText},
      {{"1:\\", 1}, kInvalidVolumeText},
      {{"C:\\", 0}, kNotSessionVolumeText},
      {{"F:\\", 3}, kNotSessionVolumeText},
  };
  for (const auto& c : cases) {
    RecordingFormatDialog dialog(FormatDialogKind::Partition);
    EXPECT_FALSE(StartVolumeFormat(dialog, c.volume, sessions_)) << c.volume.volumePath;
    EXPECT_FALSE(dialog.Format().worker.joinable());
    EXPECT_EQ(std::vector<std::string>{std::string("message ") + c.message}, dialog.Events());
    EXPECT_EQ(nullptr, FormatOwner(FormatDialogKind::Partition));
  }
  RecordingFormatDialog neither(FormatDialogKind::Wizard, false, false);
  EXPECT_FALSE(StartVolumeFormat(neither, {"e:\\", 1}, sessions_));
  EXPECT_FALSE(neither.Format().worker.joinable());
  EXPECT_EQ(nullptr, FormatOwner(FormatDialogKind::Wizard));
}

// A failed format: the failure text stays, both buttons work again, the dialog stays open, the
// worker has ended, and the completion flag of that dialog kind (only) records it.
TEST_F(VolumeFormatTest, FailedFormatLeavesTheDialogOpenWithButtonsEnabled) {
  for (FormatDialogKind kind : {FormatDialogKind::Partition, FormatDialogKind::Wizard}) {
    NoFormatCompletedYet = true;
    WizardFormatCompleted = false;
    RecordingFormatDialog dialog(kind, false, true);
    ASSERT_TRUE(StartVolumeFormat(dialog, {"e:\\", 2}, sessions_));
    dialog.Wait();
    EXPECT_EQ(kFormatFailedText, dialog.Status());
    EXPECT_TRUE(dialog.OkEnabled());
    EXPECT_TRUE(dialog.CancelEnabled());
    EXPECT_FALSE(dialog.Closed());
    EXPECT_EQ(nullptr, FormatOwner(kind));
    EXPECT_TRUE(FormatFinished(kind));
    EXPECT_EQ(u"FAT32", dialog.Format().fileSystemName);
    EXPECT_EQ(std::u16string(u"E:\\"), std::u16string(dialog.Format().driveRoot));
    const bool partition = kind == FormatDialogKind::Partition;
    EXPECT_EQ(!partition, NoFormatCompletedYet.load());
    EXPECT_EQ(!partition, WizardFormatCompleted.load());
    // The failure text is shown for 3 s before the buttons come back.
    EXPECT_GE(clock_.Now(), 3000u);
    // The wizard registers a persistent device only after a success.
    for (const auto& line : iscsi::sim::ProcessLaunches()) EXPECT_EQ(std::string::npos, line.find("AddPersistentDevice"));
    // The progress the dialog saw, in order, up to the report.
    std::vector<std::string> events = dialog.Events();
    std::vector<int> seen;
    for (const auto& e : events) {
      if (e.rfind("progress ", 0) == 0) seen.push_back(std::stoi(e.substr(9)));
    }
    std::vector<int> expected = partition ? std::vector<int>{50, 60, 70, 60, 80, 99} : std::vector<int>{50, 60, 70, 80, 90, 99};
    EXPECT_EQ(expected, seen);
    EXPECT_EQ(partition, dialog.IndexOf("busy") >= 0 && dialog.IndexOf("cursor") > dialog.IndexOf("busy"));
  }
}

// Without the library or either entry point no format and no report happens: Cancel comes back
// (Format stays off), the dialog says the format could not start, no completion is recorded.
TEST_F(VolumeFormatTest, MissingFormatLibraryLeavesAWayOut) {
  struct Case {
    bool library, formatEx, compression;
  } cases[] = {{false, true, true}, {true, false, true}, {true, true, false}};
  for (const auto& c : cases) {
    sim::SetFormatLibraryPresent(c.library, c.formatEx, c.compression);
    for (FormatDialogKind kind : {FormatDialogKind::Partition, FormatDialogKind::Wizard}) {
      RecordingFormatDialog dialog(kind);
      ASSERT_TRUE(StartVolumeFormat(dialog, {"G:\\", 1}, sessions_));
      dialog.Wait();
      EXPECT_EQ(kFormatNotStartedStatus, dialog.Status());
      EXPECT_TRUE(dialog.CancelEnabled());
      EXPECT_FALSE(dialog.OkEnabled());
      EXPECT_FALSE(dialog.Closed());
      EXPECT_LE(0, dialog.IndexOf(std::string("error ") + kFormatNotStartedText));
      EXPECT_EQ(nullptr, FormatOwner(kind));
      EXPECT_TRUE(NoFormatCompletedYet.load());
      EXPECT_FALSE(WizardFormatCompleted.load());
    }
  }
}

// A report with no format running is refused; a second format of the same dialog reuses the slot
// after the first worker has gone (a joinable thread overwritten would end the program).
TEST_F(VolumeFormatTest, CallbackWithoutOwnerAndRepeatedFormats) {
  std::uint32_t percent = 40;
  EXPECT_FALSE(PartitionFormatCallback(0, 0, &percent));
  EXPECT_FALSE(WizardFormatCallback(11, 0, &percent));
  RecordingFormatDialog dialog(FormatDialogKind::Partition);
  ASSERT_TRUE(StartVolumeFormat(dialog, {"H:\\", 1}, sessions_));
  ASSERT_TRUE(StartVolumeFormat(dialog, {"H:\\", 1}, sessions_));
  dialog.Wait();
  EXPECT_EQ(kFormatFailedText, dialog.Status());
}

}  // namespace
}  // namespace sw::disk
