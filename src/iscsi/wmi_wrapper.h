#pragma once
// CWmiWrapper: one WMI connection and the four reads and one write the program makes of the
// initiator's classes, returning plain lists. Every operation returns -1 when there is no
// connection or the query cannot be run, and appends nothing then. Diagnostic lines go to standard
// output, as the only logging the program does.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "iscsi/wmi_services.h"

namespace sw::iscsi {

using TextList = std::vector<std::string>;

struct PortalRecord {
  std::string address;
  std::int32_t port = 0;
};

struct SessionDevice {
  std::string legacyName;
  std::uint32_t deviceNumber = 0;
  std::uint32_t partitionNumber = 0;
};

struct SessionDevicesRecord {
  std::string targetName;
  std::vector<SessionDevice> devices;
};

// What QueryPropertyList appends for an integer property: the number is deliberately not converted
// (the callers only read texts and booleans).
constexpr const char* kI4Placeholder = "WMIQUERY TODO : VT_I4";
constexpr const char* kUi4Placeholder = "WMIQUERY TODO : VT_UI4";

class CWmiWrapper {
 public:
  // Connects to root\<nameSpace> on `machine` (empty: the local computer) through the WMI port.
  explicit CWmiWrapper(const std::string& nameSpace = "wmi", const std::string& machine = "");
  // Uses a connection made elsewhere (null: no connection).
  explicit CWmiWrapper(std::unique_ptr<WmiServices> services);
  virtual ~CWmiWrapper();
  CWmiWrapper(const CWmiWrapper&) = delete;
  CWmiWrapper& operator=(const CWmiWrapper&) = delete;

  bool IsConnected() const { return services_ != nullptr; }

  // "SELECT * FROM " + classAndCondition; one text per object: VT_BSTR the text, VT_BOOL "TRUE" or
  // "FALSE", VT_NULL "NULL", VT_I4 and VT_UI4 their placeholder; other types append nothing and
  // print "UNHANDLED VARIANT TYPE (n)". An object without the property, or whose text has no exact
  // ANSI form (see WmiObject::Get), prints "Get failed on property 'p'" and is skipped. The
  // query's status, or -1.
  int QueryPropertyList(const std::string& classAndCondition, const std::string& property, TextList& list);
  // One record per portal group of the target, holding the group's last portal. -1 also when the
  // name cannot be put in a query (see wql_queries.h).
  int QueryTargetPortals(const std::string& targetName, std::vector<PortalRecord>& portals);
  // One record per session; a null Devices gives an empty device list.
  int QuerySessionDevices(std::vector<SessionDevicesRecord>& sessions);
  // The status of the last step, -1 without a connection.
  std::int32_t CreateInstanceWithProperty(const std::string& className, const std::string& propertyName,
                                          const std::string& value);

 private:
  std::unique_ptr<WmiServices> services_;
};

}  // namespace sw::iscsi
