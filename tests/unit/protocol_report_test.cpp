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
  AddDevice(list, "evil\x1b]0;owned\x07\x9b", "10.77.0.2", "", "", kId, "1", 0, false);
  AddDevice(list, "caf\xc3\xa9", "10.77.0.3", "", "", kId, "1", 0, false);
  const std::string text = FormatDeviceTableText(list);
  EXPECT_EQ(text.find('\x1b'), std::string::npos);
  EXPECT_EQ(text.find('\x07'), std::string::npos);
  EXPECT_EQ(text.find('\x9b'), std::string::npos);
  EXPECT_NE(text.find("evil?]0;owned??"), std::string::npos);
  // "café" is four columns wide, so its row lines up with the 15-column name above.
  EXPECT_NE(text.find("caf\xc3\xa9" + std::string(13, ' ') + "10.77.0.3"), std::string::npos);
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
  EXPECT_EQ(JsonString("\xed\xa0\x80"), "\"\xc3\xad\xc2\xa0\xc2\x80\"") << "no surrogates";
  EXPECT_EQ(JsonString("\xc0\xaf"), "\"\xc3\x80\xc2\xaf\"") << "no overlong forms";
}

}  // namespace
}  // namespace sw::protocol
