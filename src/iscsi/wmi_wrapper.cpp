// CWmiWrapper's rules over the WMI port (see wmi_wrapper.h).

#include "iscsi/wmi_wrapper.h"

#include <cstdio>

#include "iscsi/wql_queries.h"

namespace sw::iscsi {

namespace {

std::uint32_t Unsigned(const WmiValue& v) {
  if (v.type == kVtI4) return static_cast<std::uint32_t>(v.i4);
  if (v.type == kVtUi4) return v.ui4;
  return 0;
}

std::int32_t Signed(const WmiValue& v) {
  if (v.type == kVtI4) return v.i4;
  if (v.type == kVtUi4) return static_cast<std::int32_t>(v.ui4);
  return 0;
}

}  // namespace

CWmiWrapper::CWmiWrapper(const std::string& nameSpace, const std::string& machine)
    : services_(ConnectWmiServices(nameSpace, machine)) {}

CWmiWrapper::CWmiWrapper(std::unique_ptr<WmiServices> services) : services_(std::move(services)) {}

CWmiWrapper::~CWmiWrapper() = default;

int CWmiWrapper::QueryPropertyList(const std::string& classAndCondition, const std::string& property,
                                   TextList& list) {
  if (!services_) return -1;
  std::unique_ptr<WmiEnumerator> results;
  std::int32_t status = services_->ExecQuery(kSelectAllFrom + classAndCondition, results);
  if (status < 0 || !results) return -1;
  std::shared_ptr<WmiObject> object;
  while (results->Next(object)) {
    WmiValue value;
    if (!object->Get(property, value)) {
      std::printf("Get failed on property '%s'\n", property.c_str());
      continue;
    }
    switch (value.type) {
      case kVtBstr: list.push_back(value.text); break;
      case kVtBool: list.push_back(value.boolean ? "TRUE" : "FALSE"); break;
      case kVtNull: list.push_back("NULL"); break;
      case kVtI4: list.push_back(kI4Placeholder); break;
      case kVtUi4: list.push_back(kUi4Placeholder); break;
      default: std::printf("UNHANDLED VARIANT TYPE (%i)\n", static_cast<int>(value.type)); break;
    }
  }
  std::fflush(stdout);
  return status;
}

int CWmiWrapper::QueryTargetPortals(const std::string& targetName, std::vector<PortalRecord>& portals) {
  if (!services_) return -1;
  auto query = TargetPortalsQuery(targetName);
  if (!query) return -1;
  std::unique_ptr<WmiEnumerator> results;
  std::int32_t status = services_->ExecQuery(*query, results);
  if (status < 0 || !results) return -1;
  std::shared_ptr<WmiObject> target;
  while (results->Next(target)) {
    WmiValue groups;
    if (!target->Get("PortalGroups", groups) || groups.type != (kVtArray | kVtUnknown)) continue;
    for (const auto& group : groups.objects) {
      // A fresh record per group: a group without portals must not repeat the previous group's
      // address, which would count the target twice for that portal.
      PortalRecord record;
      WmiValue members;
      if (group && group->Get("portals", members) && members.type == (kVtArray | kVtUnknown)) {
        for (const auto& portal : members.objects) {
          if (!portal) continue;
          WmiValue address;
          WmiValue port;
          if (portal->Get("address", address) && address.type == kVtBstr) record.address = address.text;
          if (portal->Get("port", port)) record.port = Signed(port);
        }
      }
      portals.push_back(record);
    }
  }
  return status;
}

int CWmiWrapper::QuerySessionDevices(std::vector<SessionDevicesRecord>& sessions) {
  if (!services_) return -1;
  std::unique_ptr<WmiEnumerator> results;
  std::int32_t status = services_->ExecQuery(std::string(kSelectAllFrom) + kSessionClass, results);
  if (status < 0 || !results) return -1;
  std::shared_ptr<WmiObject> session;
  while (results->Next(session)) {
    SessionDevicesRecord record;
    WmiValue name;
    if (session->Get("TargetName", name) && name.type == kVtBstr) record.targetName = name.text;
    WmiValue devices;
    if (session->Get("Devices", devices) && devices.type == (kVtArray | kVtUnknown)) {
      for (const auto& device : devices.objects) {
        SessionDevice d;
        WmiValue v;
        if (device && device->Get("deviceNumber", v)) d.deviceNumber = Unsigned(v);
        v = WmiValue{};
        if (device && device->Get("legacyName", v) && v.type == kVtBstr) d.legacyName = v.text;
        v = WmiValue{};
        if (device && device->Get("partitionNumber", v)) d.partitionNumber = Unsigned(v);
        record.devices.push_back(d);
      }
    }
    sessions.push_back(record);
  }
  return status;
}

std::int32_t CWmiWrapper::CreateInstanceWithProperty(const std::string& className, const std::string& propertyName,
                                                     const std::string& value) {
  if (!services_) return -1;
  return services_->CreateInstanceWithProperty(className, propertyName, value);
}

}  // namespace sw::iscsi
