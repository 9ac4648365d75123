#pragma once
// A WMI connection whose every answer the fuzz input decides: whether a query succeeds, how many
// objects it returns, and for each property an object is asked for, whether it has one and of
// which type (texts from a small pool of realistic names and addresses, or any bytes; booleans,
// integers, nulls, other types, and arrays of such objects a few levels deep). Objects answer the
// same way when asked again. Also a process port that records each command line and answers with
// bytes from the input, for the code that runs the initiator's tool.

#include <fuzzer/FuzzedDataProvider.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "iscsi/command_lines.h"
#include "iscsi/wmi_services.h"

namespace sw::iscsi::fuzz {

// Texts a device or an initiator really produces, so that the input reaches the matching paths.
inline const std::vector<std::string>& TextPool() {
  static const std::vector<std::string> pool = {
      "10.77.0.11", "10.77.0.10", "iqn.2009-11.com.halden:nas2.disk1", "IQN.2009-11.COM.HALDEN:NAS2.DISK2",
      "iqn.1991-05.com.microsoft:host", "ffffe0001234-4000013700000002", "\\\\.\\PhysicalDrive1",
      "E:\\", "*", "TRUE", "The target has already been logged in.", "iqn.x:\"q\" & del"};
  return pool;
}

class FuzzObject : public WmiObject {
 public:
  FuzzObject(FuzzedDataProvider& in, int depth) : in_(in), depth_(depth) {}

  bool Get(const std::string& property, WmiValue& value) const override {
    auto it = values_.find(property);
    if (it == values_.end()) it = values_.emplace(property, Make()).first;
    if (!it->second.first) return false;
    value = it->second.second;
    return true;
  }

 private:
  std::pair<bool, WmiValue> Make() const {
    WmiValue v;
    if (in_.ConsumeIntegralInRange<int>(0, 7) == 0) return {false, v};
    static const std::uint16_t kTypes[] = {kVtBstr, kVtBstr, kVtBool, kVtNull, kVtI4, kVtUi4,
                                           kVtEmpty, kVtI2, kVtArray | kVtUnknown, kVtUi1};
    v.type = kTypes[in_.ConsumeIntegralInRange<std::size_t>(0, sizeof kTypes / sizeof kTypes[0] - 1)];
    switch (v.type) {
      case kVtBstr: {
        const auto& pool = TextPool();
        const std::size_t pick = in_.ConsumeIntegralInRange<std::size_t>(0, pool.size());
        v.text = pick < pool.size() ? pool[pick] : in_.ConsumeRandomLengthString(300);
        break;
      }
      case kVtBool: v.boolean = in_.ConsumeBool(); break;
      case kVtI4: v.i4 = in_.ConsumeIntegral<std::int32_t>(); break;
      case kVtUi4: v.ui4 = in_.ConsumeIntegral<std::uint32_t>(); break;
      case kVtArray | kVtUnknown: {
        const int count = depth_ < 3 ? in_.ConsumeIntegralInRange<int>(0, 3) : 0;
        for (int i = 0; i < count; ++i) {
          // A null element is what an empty slot of a SAFEARRAY of objects gives.
          if (in_.ConsumeIntegralInRange<int>(0, 9) == 0) {
            v.objects.push_back(nullptr);
          } else {
            v.objects.push_back(std::make_shared<FuzzObject>(in_, depth_ + 1));
          }
        }
        break;
      }
      default: break;
    }
    return {true, v};
  }

  FuzzedDataProvider& in_;
  int depth_;
  mutable std::map<std::string, std::pair<bool, WmiValue>> values_;
};

class FuzzEnumerator : public WmiEnumerator {
 public:
  explicit FuzzEnumerator(std::vector<std::shared_ptr<WmiObject>> objects) : objects_(std::move(objects)) {}
  bool Next(std::shared_ptr<WmiObject>& object) override {
    if (next_ == objects_.size()) return false;
    object = objects_[next_++];
    return true;
  }

 private:
  std::vector<std::shared_ptr<WmiObject>> objects_;
  std::size_t next_ = 0;
};

class FuzzWmi : public WmiServices {
 public:
  explicit FuzzWmi(FuzzedDataProvider& in) : in_(in) {}
  std::vector<std::string> queries;
  std::vector<std::string> created;  // "class.property=value"

  std::int32_t ExecQuery(const std::string& wql, std::unique_ptr<WmiEnumerator>& results) override {
    queries.push_back(wql);
    if (in_.ConsumeIntegralInRange<int>(0, 15) == 0) return static_cast<std::int32_t>(0x80041017u);
    std::vector<std::shared_ptr<WmiObject>> objects;
    const int count = in_.ConsumeIntegralInRange<int>(0, 4);
    for (int i = 0; i < count; ++i) objects.push_back(std::make_shared<FuzzObject>(in_, 0));
    results = std::make_unique<FuzzEnumerator>(std::move(objects));
    return 0;
  }
  std::int32_t CreateInstanceWithProperty(const std::string& className, const std::string& property,
                                          const std::string& value) override {
    created.push_back(className + "." + property + "=" + value);
    return in_.ConsumeBool() ? 0 : static_cast<std::int32_t>(0x80041002u);
  }

 private:
  FuzzedDataProvider& in_;
};

// What the process port (fuzz_iscsi_ports.cpp) was asked to run; its output comes from `in`.
struct ProcessLog {
  FuzzedDataProvider* in = nullptr;
  std::vector<std::string> commandLines;
};
inline ProcessLog& Processes() {
  static ProcessLog log;
  return log;
}

// Every line run is one of the tool's templates with its values in place: "iscsicli", a verb, and
// exactly that verb's number of arguments, whatever the WMI answers held.
inline bool RecordedLinesAreWellFormed() {
  static const std::map<std::string, std::size_t> kArguments = {
      {"ListTargets", 3},          {"RemoveTargetPortal", 4},  {"ClearPersistentDevices", 2},
      {"logintarget", 20},         {"persistentlogintarget", 20}, {"BindPersistentVolumes", 2},
      {"logouttarget", 3},         {"removepersistenttarget", 7}, {"RemovePersistentDevice", 3},
      {"AddPersistentDevice", 3}};
  for (const std::string& line : Processes().commandLines) {
    const std::vector<std::string> args = SplitCommandLine(line);
    if (args.size() < 2 || args[0] != "iscsicli") return false;
    auto it = kArguments.find(args[1]);
    if (it == kArguments.end() || it->second != args.size()) return false;
  }
  return true;
}

}  // namespace sw::iscsi::fuzz
