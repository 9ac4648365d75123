// The panels' enable/show decisions: same-subnet gating, the login dialog's user lock, what
// Disconnect removes.

#include "app/panel_rules.h"

#include <gtest/gtest.h>

namespace sw::app {
namespace {

TEST(ShareButtonsEnabled, ComparesEveryByteUnderTheShownNetmask) {
  const std::uint8_t mask24[4] = {255, 255, 255, 0};
  const std::uint8_t mask16[4] = {255, 255, 0, 0};
  const std::uint8_t near[4] = {10, 77, 0, 200};
  const std::uint8_t far[4] = {10, 77, 5, 1};
  EXPECT_TRUE(ShareButtonsEnabled(near, mask24, "10.77.0.1"));
  EXPECT_FALSE(ShareButtonsEnabled(far, mask24, "10.77.0.1"));
  EXPECT_TRUE(ShareButtonsEnabled(far, mask16, "10.77.0.1"));
  EXPECT_TRUE(ShareButtonsEnabled(far, mask24, "0x0A.77.5.9"));  // the interface text is classic syntax
  // A blank netmask field reads 0: that byte no longer separates the subnets.
  const std::uint8_t thirdBlank[4] = {255, 255, 0, 0};
  EXPECT_TRUE(ShareButtonsEnabled(far, thirdBlank, "10.77.0.1"));
  // Without a readable interface address nothing says the device is near.
  EXPECT_FALSE(ShareButtonsEnabled(near, mask24, nullptr));
  EXPECT_FALSE(ShareButtonsEnabled(near, mask24, "not an address"));
}

TEST(LoginUserFieldFor, LocksTheUserOnlyForTheAdministratorAndOn98OrMe) {
  const std::string carol = "carol";
  const std::string longName(17, 'x');
  EXPECT_EQ(LoginUserFieldFor(1, "Windows 98", &carol, 16).text, "admin");
  EXPECT_FALSE(LoginUserFieldFor(1, "Windows XP", nullptr, 16).editable);
  for (const char* nineX : {"Windows 98", "Windows ME"}) {
    const LoginUserField field = LoginUserFieldFor(0, nineX, &carol, 16);
    EXPECT_EQ(field.text, "carol") << nineX;
    EXPECT_FALSE(field.editable) << nineX;
  }
  // Elsewhere, or with a name that cannot be read or does not fit: empty and editable.
  for (const std::string* user : {&carol, static_cast<const std::string*>(nullptr)}) {
    EXPECT_TRUE(LoginUserFieldFor(0, "Windows XP", user, 16).editable);
  }
  EXPECT_TRUE(LoginUserFieldFor(0, "Windows 98", nullptr, 16).editable);
  const LoginUserField tooLong = LoginUserFieldFor(0, "Windows ME", &longName, 16);
  EXPECT_TRUE(tooLong.editable);
  EXPECT_EQ(tooLong.text, "");
}

TEST(DriveToUnmap, TakesTheVolumeRowFirstThenTheCombo) {
  EXPECT_EQ(DriveToUnmap(std::string("Q:"), std::string("X: \\\\SRV\\SHARE")), "Q:");
  EXPECT_EQ(DriveToUnmap(std::nullopt, std::string("X: \\\\SRV\\SHARE")), "X:");
  // A selected volume without a letter is not replaced by the combo's letter.
  EXPECT_EQ(DriveToUnmap(std::string(), std::string("X:")), "");
  EXPECT_EQ(DriveToUnmap(std::nullopt, std::nullopt), std::nullopt);
}

}  // namespace
}  // namespace sw::app
