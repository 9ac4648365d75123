// The format's start checks, its failure paths and its flags, over the simulated format port with
// no volume behind the drive root (so FormatEx reports failure at once) and a fake clock.

#include <gtest/gtest.h>

#include "simulated_machine.h"
#include "disk/partitions.h"
#include "disk/volume_format.h"
#include "host/clock.h"
#include "recording_format_dialog.h"

namespace sw::disk {
namespace {

constexpr FormatDialogKind kBothKinds[] = {FormatDialogKind::Partition, FormatDialogKind::Wizard};

class VolumeFormatTest : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    host::InstallClock(&clock_);
    NoFormatCompletedYet = true;
    WizardFormatCompleted = false;
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    host::InstallClock(nullptr);
  }

  host::FakeClock clock_;
  SessionDisks sessions_{{1, 2}};
};

// No drive letter, disk 0, a disk of no session, no file system chosen: nothing starts.
TEST_F(VolumeFormatTest, RefusedVolumesStartNoWorker) {
  struct Case {
    FormatVolume volume;
    bool ntfs;
    std::vector<std::string> events;
  } cases[] = {
      {{"*", 1}, true, {std::string("message ") + kInvalidVolumeText}},
      {{"1:\\", 1}, true, {std::string("message ") + kInvalidVolumeText}},
      {{"C:\\", 0}, true, {std::string("message ") + kNotSessionVolumeText}},
      {{"F:\\", 3}, true, {std::string("message ") + kNotSessionVolumeText}},
      {{"e:\\", 1}, false, {"progress 50", "status Percent Completed ... 50%"}},
  };
  for (const auto& c : cases) {
    RecordingFormatDialog dialog(FormatDialogKind::Partition, c.ntfs, false);
    EXPECT_FALSE(StartVolumeFormat(dialog, c.volume, sessions_)) << c.volume.volumePath;
    EXPECT_FALSE(dialog.Format().worker.joinable());
    EXPECT_EQ(c.events, dialog.AfterWorker().events);
    EXPECT_TRUE(FormatReleased(FormatDialogKind::Partition));
  }
}

// A failed format: the failure text stays, both buttons work again, the dialog stays open, the
// worker has ended, and the completion flag of that dialog kind (only) records it. A second
// format of the same dialog then starts cleanly (its old worker is joined, not overwritten).
TEST_F(VolumeFormatTest, FailedFormatLeavesTheDialogOpenWithButtonsEnabled) {
  for (FormatDialogKind kind : kBothKinds) {
    NoFormatCompletedYet = true;
    WizardFormatCompleted = false;
    RecordingFormatDialog dialog(kind, false, true);
    ASSERT_TRUE(StartVolumeFormat(dialog, {"e:\\", 2}, sessions_));
    ASSERT_TRUE(StartVolumeFormat(dialog, {"e:\\", 2}, sessions_));
    const auto shown = dialog.AfterWorker();
    EXPECT_EQ(kFormatFailedText, shown.status);
    EXPECT_TRUE(shown.okEnabled && shown.cancelEnabled);
    EXPECT_FALSE(shown.closed);
    EXPECT_TRUE(FormatReleased(kind));
    EXPECT_EQ(std::u16string(u"E:\\"), std::u16string(dialog.Format().driveRoot));
    const bool partition = kind == FormatDialogKind::Partition;
    EXPECT_EQ(!partition, NoFormatCompletedYet.load());
    EXPECT_EQ(!partition, WizardFormatCompleted.load());
    EXPECT_GE(clock_.Now(), 3000u);  // the failure text is shown 3 s before the buttons come back
    EXPECT_EQ(partition, shown.IndexOf("busy") >= 0 && shown.IndexOf("cursor") > shown.IndexOf("busy"));
    for (const auto& line : machine.processes.Launches()) EXPECT_EQ(std::string::npos, line.find("AddPersistentDevice"));
  }
  std::uint32_t percent = 40;
  EXPECT_FALSE(PartitionFormatCallback(0, 0, &percent));  // no format running
}

// Without the library or either entry point no format and no report happens: Cancel comes back
// (Format stays off), the dialog says the format could not start, no completion is recorded.
TEST_F(VolumeFormatTest, MissingFormatLibraryLeavesAWayOut) {
  struct Case {
    bool library, formatEx, compression;
  } cases[] = {{false, true, true}, {true, false, true}, {true, true, false}};
  for (const auto& c : cases) {
    machine.format.SetPresent(c.library, c.formatEx, c.compression);
    for (FormatDialogKind kind : kBothKinds) {
      RecordingFormatDialog dialog(kind, true, false);
      ASSERT_TRUE(StartVolumeFormat(dialog, {"G:\\", 1}, sessions_));
      const auto shown = dialog.AfterWorker();
      EXPECT_EQ(kFormatNotStartedStatus, shown.status);
      EXPECT_TRUE(shown.cancelEnabled);
      EXPECT_FALSE(shown.okEnabled || shown.closed);
      EXPECT_LE(0, shown.IndexOf(std::string("error ") + kFormatNotStartedText));
      EXPECT_TRUE(FormatReleased(kind));
      EXPECT_TRUE(NoFormatCompletedYet.load());
      EXPECT_FALSE(WizardFormatCompleted.load());
    }
  }
}

}  // namespace
}  // namespace sw::disk
