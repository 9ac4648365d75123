// Simulated backend of the WMI port: the simulated machine's initiator classes in root\wmi
// (winsim/initiator.h). Queries are parsed ("SELECT * FROM class [WHERE property = 'value']"), so a wrong query text gets the answer
// WMI would give it: an error, or other objects.

#include <cctype>
#include <map>

#include "iscsi/iscsi_name.h"
#include "iscsi/wmi_services.h"
#include "iscsi/wql_queries.h"
#include "winsim/machine.h"

namespace sw::iscsi {

namespace {

constexpr std::int32_t kInvalidClass = static_cast<std::int32_t>(0x80041010u);
constexpr std::int32_t kInvalidQuery = static_cast<std::int32_t>(0x80041017u);
constexpr std::int32_t kNotSupported = static_cast<std::int32_t>(0x8004100Cu);

class SimObject : public WmiObject {
 public:
  SimObject& Set(const std::string& property, WmiValue value) {
    values_[LowerAscii(property)] = std::move(value);
    return *this;
  }
  bool Get(const std::string& property, WmiValue& value) const override {
    auto it = values_.find(LowerAscii(property));
    if (it == values_.end()) return false;
    value = it->second;
    return true;
  }

 private:
  std::map<std::string, WmiValue> values_;
};

WmiValue Text(const std::string& text) {
  WmiValue v;
  v.type = kVtBstr;
  v.text = text;
  return v;
}

WmiValue Integer(std::int32_t n) {
  WmiValue v;
  v.type = kVtI4;
  v.i4 = n;
  return v;
}

WmiValue Boolean(bool b) {
  WmiValue v;
  v.type = kVtBool;
  v.boolean = b;
  return v;
}

WmiValue Objects(std::vector<std::shared_ptr<WmiObject>> objects) {
  WmiValue v;
  v.type = kVtArray | kVtUnknown;
  v.objects = std::move(objects);
  return v;
}

WmiValue Null() {
  WmiValue v;
  v.type = kVtNull;
  return v;
}

using ObjectList = std::vector<std::shared_ptr<WmiObject>>;

// The instances of one class, or false for a class the namespace does not have.
bool Instances(const std::string& className, ObjectList& out) {
  const winsim::InitiatorSnapshot s = winsim::TheMachine().initiator.Snapshot();
  if (!s.installed) return false;
  const std::string c = LowerAscii(className);
  auto add = [&out] {
    auto o = std::make_shared<SimObject>();
    out.push_back(o);
    return o;
  };
  if (c == LowerAscii(kSendTargetPortalClass)) {
    for (const auto& p : s.sendTargetPortals) add()->Set("PortalAddress", Text(p.address)).Set("PortalPort", Integer(p.port));
  } else if (c == LowerAscii(kTargetClass)) {
    for (const auto& t : s.targets) {
      ObjectList groups;
      for (const auto& group : t.portalGroups) {
        ObjectList portals;
        for (const auto& p : group) {
          auto portal = std::make_shared<SimObject>();
          portal->Set("address", Text(p.address)).Set("port", Integer(p.port));
          portals.push_back(portal);
        }
        auto g = std::make_shared<SimObject>();
        g->Set("portals", Objects(portals));
        groups.push_back(g);
      }
      add()->Set("TargetName", Text(t.name)).Set("PortalGroups", Objects(groups));
    }
  } else if (c == LowerAscii(kSessionClass)) {
    for (const auto& session : s.sessions) {
      WmiValue devices = Null();
      if (session.diskNumber >= 0) {
        auto d = std::make_shared<SimObject>();
        d->Set("deviceNumber", Integer(session.diskNumber))
            .Set("partitionNumber", Integer(0))
            .Set("legacyName", Text("\\\\.\\PhysicalDrive" + std::to_string(session.diskNumber)));
        devices = Objects({d});
      }
      add()->Set("SessionId", Text(session.sessionId)).Set("TargetName", Text(session.targetName)).Set("Devices", devices);
    }
  } else if (c == LowerAscii(kConnectionStatisticsClass)) {
    for (const auto& session : s.sessions) {
      add()->Set("InstanceName", Text(session.targetName)).Set("Active", Boolean(session.active));
    }
  } else if (c == LowerAscii(kInitiatorClass)) {
    for (const auto& name : s.initiatorNames) add()->Set("InitiatorName", Text(name));
  } else if (c == LowerAscii(kPersistentLoginClass)) {
    for (const auto& login : s.persistentLogins) {
      add()->Set("TargetName", Text(login.targetName)).Set("InitiatorInstance", Text(login.initiatorInstance));
    }
  } else {
    return false;
  }
  return true;
}

// A small WQL reader: keywords in any case, blanks between tokens.
class QueryReader {
 public:
  explicit QueryReader(const std::string& text) : text_(text) {}
  void SkipBlanks() {
    while (pos_ < text_.size() && std::isspace(static_cast<unsigned char>(text_[pos_]))) ++pos_;
  }
  bool Keyword(const char* word) {
    SkipBlanks();
    std::string token = Identifier();
    return LowerAscii(token) == LowerAscii(word);
  }
  bool Symbol(char c) {
    SkipBlanks();
    if (pos_ < text_.size() && text_[pos_] == c) {
      ++pos_;
      return true;
    }
    return false;
  }
  std::string Identifier() {
    SkipBlanks();
    std::size_t start = pos_;
    while (pos_ < text_.size() && (std::isalnum(static_cast<unsigned char>(text_[pos_])) || text_[pos_] == '_')) ++pos_;
    return text_.substr(start, pos_ - start);
  }
  bool QuotedText(std::string& out) {
    SkipBlanks();
    if (pos_ >= text_.size() || (text_[pos_] != '\'' && text_[pos_] != '"')) return false;
    char quote = text_[pos_++];
    std::size_t end = text_.find(quote, pos_);
    if (end == std::string::npos) return false;
    out = text_.substr(pos_, end - pos_);
    pos_ = end + 1;
    return true;
  }
  bool AtEnd() {
    SkipBlanks();
    return pos_ == text_.size();
  }

 private:
  const std::string& text_;
  std::size_t pos_ = 0;
};

class ListEnumerator : public WmiEnumerator {
 public:
  explicit ListEnumerator(ObjectList objects) : objects_(std::move(objects)) {}
  bool Next(std::shared_ptr<WmiObject>& object) override {
    if (next_ >= objects_.size()) return false;
    object = objects_[next_++];
    return true;
  }

 private:
  ObjectList objects_;
  std::size_t next_ = 0;
};

class SimServices : public WmiServices {
 public:
  std::int32_t ExecQuery(const std::string& wql, std::unique_ptr<WmiEnumerator>& results) override {
    QueryReader r(wql);
    if (!r.Keyword("SELECT") || !r.Symbol('*') || !r.Keyword("FROM")) return kInvalidQuery;
    std::string className = r.Identifier();
    if (className.empty()) return kInvalidQuery;
    std::string property;
    std::string wanted;
    bool filtered = false;
    if (!r.AtEnd()) {
      if (!r.Keyword("WHERE")) return kInvalidQuery;
      property = r.Identifier();
      if (property.empty() || !r.Symbol('=') || !r.QuotedText(wanted) || !r.AtEnd()) return kInvalidQuery;
      filtered = true;
    }
    ObjectList all;
    if (!Instances(className, all)) return kInvalidClass;
    ObjectList matching;
    for (const auto& o : all) {
      if (filtered) {
        WmiValue v;
        // WMI compares texts without regard to case.
        if (!o->Get(property, v) || v.type != kVtBstr || LowerAscii(v.text) != LowerAscii(wanted)) continue;
      }
      matching.push_back(o);
    }
    results = std::make_unique<ListEnumerator>(std::move(matching));
    return 0;
  }

  std::int32_t CreateInstanceWithProperty(const std::string& className, const std::string& property,
                                          const std::string& value) override {
    ObjectList ignored;
    if (!Instances(className, ignored)) return kInvalidClass;
    if (LowerAscii(className) != LowerAscii(kSendTargetPortalClass) || LowerAscii(property) != "portaladdress") {
      return kNotSupported;
    }
    return winsim::TheMachine().initiator.AddSendTargetPortal(value);
  }
};

}  // namespace

std::unique_ptr<WmiServices> ConnectWmiServices(const std::string& nameSpace, const std::string&) {
  // The simulated machine has the initiator's namespace only.
  if (LowerAscii(nameSpace) != "wmi") return nullptr;
  return std::make_unique<SimServices>();
}

}  // namespace sw::iscsi
