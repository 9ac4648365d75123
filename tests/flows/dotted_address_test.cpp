// The classic dotted-address parser and the same-subnet test of the device list.

#include "app/dotted_address.h"

#include <gtest/gtest.h>

#include <string>

namespace sw::app {
namespace {

std::string Parse(const char* text) {
  std::uint8_t b[4] = {0xEE, 0xEE, 0xEE, 0xEE};
  if (!ParseDottedAddress(text, b)) return "fail";
  return std::to_string(b[0]) + "." + std::to_string(b[1]) + "." + std::to_string(b[2]) + "." + std::to_string(b[3]);
}

TEST(ParseDottedAddress, AcceptsEveryClassicForm) {
  EXPECT_EQ(Parse("10.77.0.1"), "10.77.0.1");
  EXPECT_EQ(Parse("255.255.255.255"), "255.255.255.255");
  EXPECT_EQ(Parse("0x0A.0115.0.1"), "10.77.0.1");      // hexadecimal and octal parts
  EXPECT_EQ(Parse("10.77.258"), "10.77.1.2");          // a.b.c: c fills two bytes
  EXPECT_EQ(Parse("10.5000000"), "10.76.75.64");       // a.b: b fills three bytes
  EXPECT_EQ(Parse("167772161"), "10.0.0.1");           // one part: the whole address
  EXPECT_EQ(Parse("0XFFFFFFFF"), "255.255.255.255");
  EXPECT_EQ(Parse("10.0.0.1 \t"), "10.0.0.1");         // trailing white space is allowed
  EXPECT_EQ(Parse("0.0.0.0"), "0.0.0.0");
}

TEST(ParseDottedAddress, RefusesWhatDoesNotFitOrIsNotANumber) {
  for (const char* bad : {"", "256.0.0.1", "1.2.3.256", "1.2.65536", "1.16777216", "4294967296", "1.2.3.4.5",
                          "1..2.3", "1.2.3.", ".1.2.3", "08.1.1.1", "0x", "0xG.1.1.1", "1.2.3.4x", "a.b.c.d",
                          " 1.2.3.4", "1.2.3.4 5", "-1.2.3.4", "99999999999999999999"}) {
    EXPECT_EQ(Parse(bad), "fail") << '"' << bad << '"';
  }
  std::uint8_t untouched[4] = {1, 2, 3, 4};
  EXPECT_FALSE(ParseDottedAddress(nullptr, untouched));
  EXPECT_EQ(untouched[3], 4);
}

TEST(IsSameSubnet, ComparesEveryByteUnderTheMask) {
  const std::uint8_t local[4] = {10, 77, 0, 1};
  const std::uint8_t mask24[4] = {255, 255, 255, 0};
  const std::uint8_t mask16[4] = {255, 255, 0, 0};
  const std::uint8_t near[4] = {10, 77, 0, 200};
  const std::uint8_t far[4] = {10, 77, 5, 1};
  EXPECT_TRUE(IsSameSubnet(near, mask24, local));
  EXPECT_FALSE(IsSameSubnet(far, mask24, local));
  EXPECT_TRUE(IsSameSubnet(far, mask16, local));
  const std::uint8_t none[4] = {0, 0, 0, 0};
  const std::uint8_t anywhere[4] = {192, 168, 1, 1};
  EXPECT_TRUE(IsSameSubnet(anywhere, none, local));
}

}  // namespace
}  // namespace sw::app
