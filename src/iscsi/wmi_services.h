#pragma once
// Port to WMI: one connected namespace, queries in WQL, objects read property by property, and one
// instance created with one text property. Backends: wmi_services_win32.cpp (COM: IWbemLocator,
// IWbemServices, IWbemClassObject) and wmi_services_sim.cpp (the simulated initiator's classes,
// answered by parsing the query text). The variant rules the program applies live in
// wmi_wrapper.h, not here.

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

namespace sw::iscsi {

// The variant type numbers (VARTYPE) the program looks at.
constexpr std::uint16_t kVtEmpty = 0;
constexpr std::uint16_t kVtNull = 1;
constexpr std::uint16_t kVtI2 = 2;
constexpr std::uint16_t kVtI4 = 3;
constexpr std::uint16_t kVtBstr = 8;
constexpr std::uint16_t kVtDispatch = 9;
constexpr std::uint16_t kVtBool = 11;
constexpr std::uint16_t kVtUnknown = 13;
constexpr std::uint16_t kVtUi1 = 17;
constexpr std::uint16_t kVtUi4 = 19;
constexpr std::uint16_t kVtArray = 0x2000;

class WmiObject;

// One property value as the port reads it. `type` is the variant's type; the field that matches
// it holds the value (texts converted to the ANSI code page). An array of embedded objects
// (kVtArray | kVtUnknown) holds its elements from the lower to the upper bound.
struct WmiValue {
  std::uint16_t type = kVtEmpty;
  std::string text;
  bool boolean = false;
  std::int32_t i4 = 0;
  std::uint32_t ui4 = 0;
  std::vector<std::shared_ptr<WmiObject>> objects;
};

class WmiObject {
 public:
  virtual ~WmiObject() = default;
  // False when the object has no such property (or it cannot be read); `value` untouched then. A
  // text that has no exact form in the ANSI code page cannot be read: it is never narrowed to a
  // look-alike.
  virtual bool Get(const std::string& property, WmiValue& value) const = 0;
};

class WmiEnumerator {
 public:
  virtual ~WmiEnumerator() = default;
  // The next object, waiting without time limit; false when none is returned.
  virtual bool Next(std::shared_ptr<WmiObject>& object) = 0;
};

class WmiServices {
 public:
  virtual ~WmiServices() = default;
  // ExecQuery in "WQL" with flags WBEM_FLAG_RETURN_IMMEDIATELY | WBEM_FLAG_FORWARD_ONLY. The
  // HRESULT; `results` is set only on success (a non-negative status).
  virtual std::int32_t ExecQuery(const std::string& wql, std::unique_ptr<WmiEnumerator>& results) = 0;
  // GetObject of the class, SpawnInstance, Put of the property as VT_BSTR, PutInstance; each step
  // only after the previous one succeeded. The HRESULT of the last step run.
  virtual std::int32_t CreateInstanceWithProperty(const std::string& className, const std::string& property,
                                                  const std::string& value) = 0;
};

// Connects to "\\MACHINE\root\NAMESPACE" (machine empty: the local computer's name). Null when
// the connection cannot be made.
std::unique_ptr<WmiServices> ConnectWmiServices(const std::string& nameSpace, const std::string& machine);

}  // namespace sw::iscsi
