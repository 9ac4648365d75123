// The one IPv4 text parser: its classic form (the dialogs) and its strict dotted quad.

#include "base/ipv4_text.h"

#include <gtest/gtest.h>

#include <string>

namespace sw::base {
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

TEST(ParseIpv4, DottedQuadRefusesTheClassicShortForms) {
  std::uint8_t b[4];
  for (const char* classic : {"0x0A.0.0.1", "10.77.258", "167772161", "10.0.0.1 "}) {
    EXPECT_FALSE(ParseIpv4(classic, Ipv4Syntax::kDottedQuad, b)) << classic;
  }
  // A text with a NUL inside is not the address before it.
  EXPECT_FALSE(ParseIpv4(std::string_view("10.0.0.1\0x", 10), Ipv4Syntax::kDottedQuad, b));
  ASSERT_TRUE(ParseIpv4("010.0.0.1", Ipv4Syntax::kDottedQuad, b));  // leading zeros stay decimal
  EXPECT_EQ(FormatIpv4(b), "10.0.0.1");
}

}  // namespace
}  // namespace sw::base
