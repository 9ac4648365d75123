// The device table, the name lists and the address change of a record.

#include "protocol/device_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>

#include "protocol/protocol_state.h"

namespace sw::protocol {
namespace {

const std::uint8_t kId[kDeviceIdSize] = {1, 2, 3, 4, 5, 6, 10, 0, 0, 5};

void Add(DeviceList& list, const char* name, const char* ip) {
  ASSERT_TRUE(AddDevice(list, name, ip, "255.0.0.0", "10.0.0.1", kId, "1", 0, false));
}

int Walk(const DeviceList& list) {
  int n = 0;
  for (const DeviceRecord* r = list.head; r != nullptr; r = r->next) ++n;
  return n;
}

TEST(DeviceTable, KeepsArrivalOrderAndConsistentHeader) {
  DeviceList list;
  EXPECT_EQ(list.count, 0);
  Add(list, "first", "10.0.0.5");
  Add(list, "second", "10.0.0.6");
  Add(list, "third", "10.0.0.7");
  EXPECT_EQ(list.count, 3);
  EXPECT_EQ(Walk(list), 3);
  EXPECT_STREQ(list.head->name, "first");
  EXPECT_STREQ(list.tail->name, "third");
  EXPECT_EQ(list.tail->next, nullptr);
  EXPECT_EQ(FindDeviceByIp(list, "10.0.0.6"), list.head->next);
  EXPECT_TRUE(HasDevice(list, "10.0.0.7"));
  EXPECT_FALSE(HasDevice(list, "10.0.0.70"));
  EXPECT_EQ(FindDeviceByIp(list, "10.0.0.8"), nullptr);

  ClearDeviceList(list);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(list.tail, nullptr);
  Add(list, "again", "10.0.0.9");  // usable after a clear
  EXPECT_EQ(list.head, list.tail);
  FreeDeviceList(list);
  EXPECT_EQ(list.head, nullptr) << "no dangling pointer after the exit-time free";
  EXPECT_EQ(list.count, 0);
}

TEST(DeviceTable, RecordFieldsAreBoundedAndZeroPadded) {
  DeviceList list;
  const std::string longName(400, 'x');
  ASSERT_TRUE(AddDevice(list, longName.c_str(), "10.0.0.5", "255.255.255.255x", "10.0.0.1", kId,
                        "1extra-long-state", 2, true));
  const DeviceRecord& r = *list.head;
  EXPECT_EQ(std::strlen(r.name), 255u);
  EXPECT_EQ(std::strlen(r.netmask), 15u);
  EXPECT_EQ(std::strlen(r.dhcpState), 7u);
  EXPECT_EQ(r.gateway[9], 0);
  EXPECT_EQ(r.gateway[15], 0);
  EXPECT_EQ(r.interfaceIndex, 2);
  EXPECT_EQ(r.iscsiCapable, 1);
  EXPECT_EQ(0, std::memcmp(r.deviceId, kId, kDeviceIdSize));
  FreeDeviceList(list);
}

TEST(NameLists, DuplicatesAndOversizeTextsAreNotAdded) {
  NameList list;
  EXPECT_TRUE(AddName(list, "vol1"));
  EXPECT_TRUE(AddName(list, "vol2"));
  EXPECT_TRUE(AddName(list, "vol1"));
  EXPECT_EQ(list.count, 2);
  EXPECT_TRUE(AddName(list, "Vol1")) << "comparison is exact";
  EXPECT_EQ(list.count, 3);

  const std::string fits(255, 's');
  const std::string tooLong(256, 's');
  EXPECT_TRUE(AddName(list, fits.c_str()));
  EXPECT_FALSE(AddName(list, tooLong.c_str()));
  EXPECT_EQ(list.count, 4);
  EXPECT_FALSE(HasName(list, tooLong.c_str()));
  EXPECT_TRUE(HasName(list, fits.c_str()));
  EXPECT_STREQ(list.tail->text, fits.c_str());

  ClearNames(list);
  EXPECT_EQ(list.count, 0);
  EXPECT_EQ(list.head, nullptr);
  EXPECT_EQ(list.tail, nullptr);
  EXPECT_FALSE(HasName(list, "vol1"));
  FreeNames(list);
}

TEST(AddressChange, StaticChangeMovesTheSelectedRecord) {
  ProtocolState state;
  Add(state.deviceList, "other", "10.0.0.4");
  Add(state.deviceList, "nas", "10.0.0.5");
  ASSERT_TRUE(SetSelectedDeviceIp(state, "10.0.0.5"));
  std::strcpy(state.PendingIp, "10.0.0.200");
  std::strcpy(state.PendingNetmask, "255.255.0.0");
  std::strcpy(state.PendingGateway, "10.0.0.254");
  DeviceRecord* before = FindDeviceByIp(state.deviceList, state.SelectedDeviceIp);

  ASSERT_TRUE(ApplyStaticAddressChange(state));
  EXPECT_STREQ(state.SelectedDeviceIp, "10.0.0.200");
  DeviceRecord* after = FindDeviceByIp(state.deviceList, state.SelectedDeviceIp);
  EXPECT_EQ(after, before);
  EXPECT_STREQ(after->netmask, "255.255.0.0");
  EXPECT_STREQ(after->gateway, "10.0.0.254");
  const std::uint8_t expectedId[kDeviceIdSize] = {1, 2, 3, 4, 5, 6, 10, 0, 0, 200};
  EXPECT_EQ(0, std::memcmp(after->deviceId, expectedId, kDeviceIdSize));
  EXPECT_FALSE(HasDevice(state.deviceList, "10.0.0.5"));
  EXPECT_STREQ(state.deviceList.head->ipAddress, "10.0.0.4") << "other records untouched";
  FreeDeviceList(state.deviceList);
}

TEST(AddressChange, DhcpChangeKeepsNetmaskAndGateway) {
  ProtocolState state;
  Add(state.deviceList, "nas", "10.0.0.5");
  SetSelectedDeviceIp(state, "10.0.0.5");
  const std::uint8_t obtained[4] = {10, 0, 0, 77};
  ASSERT_TRUE(ApplyDhcpAddressChange(state, obtained));
  EXPECT_STREQ(state.SelectedDeviceIp, "10.0.0.77");
  const DeviceRecord* r = FindDeviceByIp(state.deviceList, "10.0.0.77");
  ASSERT_NE(r, nullptr);
  EXPECT_STREQ(r->netmask, "255.0.0.0");
  EXPECT_EQ(r->deviceId[9], 77);
  FreeDeviceList(state.deviceList);
}

TEST(AddressChange, MissingDeviceOrBadPendingAddressChangesNothing) {
  ProtocolState state;
  Add(state.deviceList, "nas", "10.0.0.5");
  SetSelectedDeviceIp(state, "10.0.0.9");
  std::strcpy(state.PendingIp, "10.0.0.200");
  EXPECT_FALSE(ApplyStaticAddressChange(state));
  SetSelectedDeviceIp(state, "10.0.0.5");
  std::strcpy(state.PendingIp, "10.0.0");
  EXPECT_FALSE(ApplyStaticAddressChange(state));
  EXPECT_STREQ(state.deviceList.head->ipAddress, "10.0.0.5");
  EXPECT_STREQ(state.SelectedDeviceIp, "10.0.0.5");
  FreeDeviceList(state.deviceList);
}

}  // namespace
}  // namespace sw::protocol
