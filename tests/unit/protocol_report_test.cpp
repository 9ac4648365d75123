// The device table as the command-line tool prints it: aligned text and valid JSON, whatever the
// devices call themselves.

#include "protocol/device_report.h"

#include <gtest/gtest.h>

#include <string>

namespace sw::protocol {
namespace {

const std::uint8_t kId[kDeviceIdSize] = {};

class DeviceReport : public ::testing::Test {
 protected:
  void TearDown() override { FreeDeviceList(list); }
  DeviceList list;
};

TEST_F(DeviceReport, TextColumnsAlignAcrossRows) {
  AddDevice(list, "nas", "10.77.0.2", "255.255.255.0", "10.77.0.254", kId, "1", 0, true);
  AddDevice(list, "long-device-name", "10.77.0.3", "255.0.0.0", "", kId, "0", 0, false);
  const std::string text = FormatDeviceTableText(list);
  EXPECT_EQ(text,
            "Name              IP         Netmask        Gateway      DHCP  iSCSI\n"
            "nas               10.77.0.2  255.255.255.0  10.77.0.254  yes   yes\n"
            "long-device-name  10.77.0.3  255.0.0.0                   no    no\n");
}

TEST_F(DeviceReport, TextNeverCarriesControlCharactersButKeepsUtf8) {
  // ESC, BEL, a raw CSI byte, CSI as UTF-8 (U+009B) and RIGHT-TO-LEFT OVERRIDE (U+202E).
  AddDevice(list, "evil\x1b]0;owned\x07\x9b\xc2\x9b\xe2\x80\xae", "10.77.0.2", "", "", kId, "1", 0, false);
  AddDevice(list, "caf\xc3\xa9", "10.77.0.3", "", "", kId, "1", 0, false);
  const std::string text = FormatDeviceTableText(list);
  for (const char* raw : {"\x1b", "\x07", "\x9b", "\xe2\x80\xae"}) {
    EXPECT_EQ(text.find(raw), std::string::npos);
  }
  EXPECT_NE(text.find("evil\\x1b]0;owned\\x07\\x9b\\u009b\\u202e"), std::string::npos) << text;
  // "café" is four columns wide, so its row lines up with the 36-column escaped name above.
  EXPECT_NE(text.find("caf\xc3\xa9" + std::string(34, ' ') + "10.77.0.3"), std::string::npos);
}

TEST_F(DeviceReport, JsonHasTheAgreedKeysAndBooleans) {
  EXPECT_EQ(FormatDeviceTableJson(list), "[]\n");
  AddDevice(list, "nas", "10.77.0.2", "255.255.255.0", "10.77.0.254", kId, "1", 0, true);
  AddDevice(list, "b", "10.77.0.3", "255.0.0.0", "10.0.0.1", kId, "11", 0, false);
  EXPECT_EQ(FormatDeviceTableJson(list),
            "[\n"
            "  {\"name\": \"nas\", \"ip\": \"10.77.0.2\", \"netmask\": \"255.255.255.0\", "
            "\"gateway\": \"10.77.0.254\", \"dhcp\": true, \"iscsi\": true},\n"
            "  {\"name\": \"b\", \"ip\": \"10.77.0.3\", \"netmask\": \"255.0.0.0\", "
            "\"gateway\": \"10.0.0.1\", \"dhcp\": false, \"iscsi\": false}\n"
            "]\n");
}

TEST(JsonStrings, EscapesAndRepairsUntrustedText) {
  EXPECT_EQ(JsonString("a\"b\\c"), "\"a\\\"b\\\\c\"");
  EXPECT_EQ(JsonString("tab\there\n"), "\"tab\\u0009here\\u000a\"");
  EXPECT_EQ(JsonString("caf\xc3\xa9"), "\"caf\xc3\xa9\"");
  EXPECT_EQ(JsonString("caf\xe9"), "\"caf\xc3\xa9\"") << "a Latin-1 byte becomes its UTF-8 form";
  EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\xc3\xad\xc2\xa0\\u0080\"") << "no surrogates";
  // C1 and bidi controls reach no terminal raw, whether UTF-8 or a stray byte.
  EXPECT_EQ(JsonString("a\xc2\x9b\x9b\xe2\x80\xae\xe2\x81\xa6"), "\"a\\u009b\\u009b\\u202e\\u2066\"");
  EXPECT_EQ(JsonString("\xc0\xaf"), "\"\xc3\x80\xc2\xaf\"") << "no overlong forms";
}

}  // namespace
}  // namespace sw::protocol
