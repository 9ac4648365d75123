// The real format backend under Wine, which has no "fmifs.dll": the format cannot start, and the
// dialog gets Cancel back and the reason instead of waiting for ever.

#include <gtest/gtest.h>

#include "disk/partitions.h"
#include "disk/volume_format.h"
#include "host/clock.h"
#include "recording_format_dialog.h"

namespace sw::disk {
namespace {

TEST(RealFormatUnderWine, MissingFormatLibraryGivesCancelBack) {
  host::FakeClock clock;
  host::InstallClock(&clock);
  RecordingFormatDialog dialog(FormatDialogKind::Wizard, true, false);
  ASSERT_TRUE(StartVolumeFormat(dialog, {"E:\\", 1}, SessionDisks({1})));
  const auto shown = dialog.AfterWorker();
  EXPECT_EQ(kFormatNotStartedStatus, shown.status);
  EXPECT_TRUE(shown.cancelEnabled);
  EXPECT_FALSE(shown.okEnabled || shown.closed);
  EXPECT_LE(0, shown.IndexOf(std::string("error ") + kFormatNotStartedText));
  EXPECT_FALSE(WizardFormatCompleted.load());
  host::InstallClock(nullptr);
}

}  // namespace
}  // namespace sw::disk
