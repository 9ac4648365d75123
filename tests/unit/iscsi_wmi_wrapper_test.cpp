#include "iscsi/wmi_wrapper.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <map>

namespace sw::iscsi {
namespace {

// A connection whose objects the test writes by hand, to reach shapes (integers, nulls, odd
// portal groups) the initiator does not produce on demand.
class Obj : public WmiObject {
 public:
  std::map<std::string, WmiValue> values;
  bool Get(const std::string& p, WmiValue& v) const override {
    auto it = values.find(p);
    if (it == values.end()) return false;
    v = it->second;
    return true;
  }
};

class Enum : public WmiEnumerator {
 public:
  explicit Enum(std::vector<std::shared_ptr<WmiObject>> o) : objects(std::move(o)) {}
  bool Next(std::shared_ptr<WmiObject>& out) override {
    if (next == objects.size()) return false;
    out = objects[next++];
    return true;
  }
  std::vector<std::shared_ptr<WmiObject>> objects;
  std::size_t next = 0;
};

struct Fake : WmiServices {
  std::map<std::string, std::vector<std::shared_ptr<WmiObject>>> answers;  // by exact query text
  std::int32_t ExecQuery(const std::string& wql, std::unique_ptr<WmiEnumerator>& results) override {
    auto it = answers.find(wql);
    if (it == answers.end()) return static_cast<std::int32_t>(0x80041017u);
    results = std::make_unique<Enum>(it->second);
    return 0;
  }
  std::int32_t CreateInstanceWithProperty(const std::string&, const std::string&, const std::string&) override {
    return 0;
  }
};

WmiValue V(std::uint16_t type) {
  WmiValue v;
  v.type = type;
  return v;
}
WmiValue Text(const std::string& t) {
  WmiValue v = V(kVtBstr);
  v.text = t;
  return v;
}
WmiValue Int(std::int32_t n) {
  WmiValue v = V(kVtI4);
  v.i4 = n;
  return v;
}
WmiValue Array(std::vector<std::shared_ptr<WmiObject>> o) {
  WmiValue v = V(kVtArray | kVtUnknown);
  v.objects = std::move(o);
  return v;
}
std::shared_ptr<Obj> Make(std::map<std::string, WmiValue> values) {
  auto o = std::make_shared<Obj>();
  o->values = std::move(values);
  return o;
}
std::shared_ptr<Obj> Portal(const std::string& address, int port) {
  return Make({{"address", Text(address)}, {"port", Int(port)}});
}

TEST(WmiWrapper, VariantRulesAndDiagnostics) {
  auto fake = std::make_unique<Fake>();
  WmiValue yes = V(kVtBool);
  yes.boolean = true;
  WmiValue uint = V(kVtUi4);
  uint.ui4 = 7;
  fake->answers["SELECT * FROM C"] = {Make({{"P", Text("text")}}), Make({{"P", yes}}), Make({{"P", V(kVtBool)}}),
                                      Make({{"P", V(kVtNull)}}), Make({{"P", Int(42)}}), Make({{"P", uint}}),
                                      Make({{"P", V(kVtUi1)}}), Make({{"Other", Text("x")}})};
  fake->answers["SELECT * FROM Empty"] = {};
  CWmiWrapper wmi(std::move(fake));
  TextList list{"kept"};
  testing::internal::CaptureStdout();
  EXPECT_EQ(0, wmi.QueryPropertyList("C", "P", list));
  std::string printed = testing::internal::GetCapturedStdout();
  EXPECT_EQ((TextList{"kept", "text", "TRUE", "FALSE", "NULL", "WMIQUERY TODO : VT_I4", "WMIQUERY TODO : VT_UI4"}),
            list);
  EXPECT_EQ("UNHANDLED VARIANT TYPE (17)\nGet failed on property 'P'\n", printed);

  TextList none;
  EXPECT_EQ(0, wmi.QueryPropertyList("Empty", "P", none));
  EXPECT_TRUE(none.empty());
  EXPECT_EQ(-1, wmi.QueryPropertyList("Missing", "P", none));
  EXPECT_TRUE(none.empty());
}

TEST(WmiWrapper, PortalGroupsAndSessionDevices) {
  const std::string T = "iqn.2009-11.com.halden:nas2.disk1";
  auto fake = std::make_unique<Fake>();
  auto group = [](std::vector<std::shared_ptr<WmiObject>> portals) { return Make({{"portals", Array(portals)}}); };
  fake->answers["SELECT * FROM MSiSCSIInitiator_TargetClass WHERE TargetName = '" + T + "'"] = {
      Make({{"TargetName", Text(T)},
            {"PortalGroups", Array({group({Portal("10.77.0.11", 3260)}),
                                    group({Portal("10.77.0.12", 3260), Portal("10.77.0.13", 3261)}), group({})})}})};
  auto device = Make({{"deviceNumber", Int(2)}, {"legacyName", Text("\\\\.\\PhysicalDrive2")},
                      {"partitionNumber", Int(0)}});
  fake->answers["SELECT * FROM MSiSCSIInitiator_SessionClass"] = {
      Make({{"TargetName", Text(T)}, {"Devices", Array({device})}}),
      Make({{"TargetName", Text("iqn.2009-11.com.halden:nas2.disk2")}, {"Devices", V(kVtNull)}})};
  CWmiWrapper wmi(std::move(fake));

  std::vector<PortalRecord> portals;
  EXPECT_EQ(0, wmi.QueryTargetPortals(T, portals));
  ASSERT_EQ(3u, portals.size());  // one per group; the two-portal group keeps its second portal
  EXPECT_EQ("10.77.0.11", portals[0].address);
  EXPECT_EQ("10.77.0.13", portals[1].address);
  EXPECT_EQ(3261, portals[1].port);
  EXPECT_EQ("", portals[2].address);  // an empty group does not repeat the one before it
  EXPECT_EQ(-1, wmi.QueryTargetPortals("iqn.2009-11.com.halden:x' OR 'a' = 'a", portals));
  EXPECT_EQ(3u, portals.size());

  std::vector<SessionDevicesRecord> sessions;
  EXPECT_EQ(0, wmi.QuerySessionDevices(sessions));
  ASSERT_EQ(2u, sessions.size());
  ASSERT_EQ(1u, sessions[0].devices.size());
  EXPECT_EQ(2u, sessions[0].devices[0].deviceNumber);
  EXPECT_EQ("\\\\.\\PhysicalDrive2", sessions[0].devices[0].legacyName);
  EXPECT_TRUE(sessions[1].devices.empty());
}

TEST(WmiWrapper, NoConnectionGivesMinusOneAndNothing) {
  CWmiWrapper wmi(std::unique_ptr<WmiServices>{});
  TextList list;
  std::vector<PortalRecord> portals;
  std::vector<SessionDevicesRecord> sessions;
  EXPECT_EQ(-1, wmi.QueryPropertyList("MSiSCSIInitiator_SessionClass", "TargetName", list));
  EXPECT_EQ(-1, wmi.QueryTargetPortals("iqn.2009-11.com.halden:a", portals));
  EXPECT_EQ(-1, wmi.QuerySessionDevices(sessions));
  EXPECT_EQ(-1, wmi.CreateInstanceWithProperty("MSiSCSIInitiator_SendTargetPortalClass", "PortalAddress", "10.0.0.1"));
  EXPECT_TRUE(list.empty() && portals.empty() && sessions.empty());
}

}  // namespace
}  // namespace sw::iscsi
