// The wizard's size checks: the order that decides which refusal a user sees, and sizes read as
// the 32-bit unsigned numbers Windows reads, whatever the width of long on the build machine.

#include <gtest/gtest.h>

#include "disk/partition_sizes.h"

namespace sw::disk {
namespace {

std::string Refusal(bool useMaximum, const std::string& text, std::uint32_t diskMiB, bool fat32,
                    std::uint32_t* requested = nullptr) {
  std::uint32_t mib = 0;
  auto refusal = CheckWizardSize(useMaximum, text, diskMiB, FileSystemChoice{!fat32, fat32}, mib);
  if (requested != nullptr) *requested = mib;
  return refusal ? refusal->text : "";
}

TEST(WizardSizeTest, TypedSizesAreReadAsWindowsReadsThem) {
  EXPECT_EQ(ReadUnsigned32("-5"), 4294967291u);
  EXPECT_EQ(ReadUnsigned32("99999999999"), 4294967295u);
  EXPECT_EQ(Refusal(false, "-5", 100, false), "Invalid partition size.\nPartition must be less than 100Mb");
  EXPECT_EQ(Refusal(false, "12a", 100, false), kInvalidSizeText);
  EXPECT_EQ(Refusal(false, "", 100, false), kInvalidSizeText);
  EXPECT_EQ(Refusal(false, "7", 100, false), kWizardBelowEightText);
  std::uint32_t requested = 0;
  EXPECT_EQ(Refusal(false, "8", 100, false, &requested), "");
  EXPECT_EQ(requested, 8u);
}

TEST(WizardSizeTest, FileSystemLimitsComeAfterTheDisk) {
  EXPECT_EQ(Refusal(true, "", 100, true), kFat32TooSmallText);
  EXPECT_EQ(Refusal(true, "", 40000, true), kFat32TooLargeText);
  EXPECT_EQ(Refusal(false, "40000", 30000, true), "Invalid partition size.\nPartition must be less than 30000Mb");
  EXPECT_EQ(Refusal(false, "40000", 50000, true), kFat32TooLargeText);
  std::uint32_t requested = 0;
  EXPECT_EQ(Refusal(true, "ignored", 2048, false, &requested), "");
  EXPECT_EQ(requested, 2048u);
}

}  // namespace
}  // namespace sw::disk
