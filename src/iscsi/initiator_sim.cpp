// The simulated iSCSI initiator: state, the initiator tool's commands and discovery from the
// fabric. See initiator_sim.h for what it promises.

#include "iscsi/initiator_sim.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>

#include "fabric/fabric.h"
#include "host/service_control.h"
#include "iscsi/iscsi_name.h"
#include "protocol/device_report.h"
#include "share/network_drives_sim.h"

namespace sw::iscsi::sim {

namespace {

constexpr const char* kBanner = "iSCSI initiator command-line tool (simulated)\n\n";
constexpr const char* kDone = "Operation completed successfully.\n";
constexpr std::int32_t kWbemFailed = static_cast<std::int32_t>(0x80041001u);

struct Portal {
  std::string address;
  std::int32_t port = 3260;
};

struct Session {
  std::string id;
  std::string target;          // as the device names it
  std::string portalAddress;
  int disk = -1;
  std::string imagePath;
  std::uint64_t sizeBytes = 0;
  bool active = true;
  bool inUse = false;  // a volume on its disk is open: the initiator refuses the logout
};

struct Model {
  std::recursive_mutex mutex;
  std::vector<std::string> initiatorNames{kDefaultInitiatorName};
  std::vector<Portal> portals;
  std::vector<Session> sessions;
  std::vector<PersistentLoginSnapshot> persistentLogins;
  std::vector<std::string> persistentDevices;
  std::vector<std::string> bindableVolumes;
  std::vector<std::string> runs;
  std::string imageFolder;
  std::string fallbackImageFolder;
  int localDisks = 1;
  unsigned nextSession = 1;
};

Model& TheModel() {
  static Model model;
  return model;
}

bool SameText(const std::string& a, const std::string& b) { return LowerAscii(a) == LowerAscii(b); }

enum class Availability { Absent, Stopped, Running };

Availability InitiatorAvailability() {
  host::ServiceControl service;
  if (!service.Open(host::kInitiatorServiceName)) return Availability::Absent;
  host::ServiceState state = host::ServiceState::Stopped;
  if (!service.QueryState(state)) return Availability::Absent;
  return state == host::ServiceState::Running ? Availability::Running : Availability::Stopped;
}

// A target as the model sees it: the fabric's description and the portal it is reached by.
struct Reachable {
  fabric::Target target;
  std::string portalAddress;
};

std::vector<Reachable> DiscoveredTargets(const Model& m) {
  std::vector<Reachable> found;
  fabric::Fabric f = share::sim::CurrentFabric();
  for (const Portal& p : m.portals) {
    for (const fabric::Device& d : f.devices) {
      if (d.address != p.address || !d.iscsi) continue;
      for (const fabric::Target& t : d.targets) found.push_back({t, p.address});
    }
  }
  return found;
}

const Reachable* FindReachable(const std::vector<Reachable>& all, const std::string& name,
                               const std::string& portal) {
  for (const Reachable& r : all) {
    if (SameText(r.target.name, name) && (portal == "*" || portal == r.portalAddress)) return &r;
  }
  return nullptr;
}

std::string ImageFolder(const Model& m) {
  if (!m.imageFolder.empty()) return m.imageFolder;
  const char* fromEnvironment = std::getenv("SEEKWELL_SIM_DISKS");
  if (fromEnvironment != nullptr && *fromEnvironment != '\0') return fromEnvironment;
  if (!m.fallbackImageFolder.empty()) return m.fallbackImageFolder;
  std::error_code ec;
  auto temp = std::filesystem::temp_directory_path(ec);
  return ((ec ? std::filesystem::path(".") : temp) / "seekwell-sim-disks").string();
}

// The image of a target's disk: made sparse at the target's size when missing, kept otherwise.
bool PrepareImage(const Model& m, const Reachable& r, std::string& path) {
  // The portal's address is the device's address in the fabric (discovery matches on it).
  std::string file = fabric::TargetImageFileName(r.portalAddress, r.target.name);
  std::error_code ec;
  std::filesystem::path folder(ImageFolder(m));
  std::filesystem::create_directories(folder, ec);
  std::filesystem::path image = folder / file;
  if (!std::filesystem::exists(image, ec)) {
    std::ofstream create(image, std::ios::binary);
    if (!create) return false;
  }
  if (std::filesystem::file_size(image, ec) != r.target.sizeBytes) {
    std::filesystem::resize_file(image, r.target.sizeBytes, ec);
    if (ec) return false;
  }
  path = image.string();
  return true;
}

int FreeDiskNumber(const Model& m) {
  for (int n = m.localDisks;; ++n) {
    bool used = false;
    for (const Session& s : m.sessions) used |= s.disk == n;
    if (!used) return n;
  }
}

std::string NewSessionId(Model& m) {
  char id[40];
  unsigned n = m.nextSession++;
  std::snprintf(id, sizeof id, "ffffe0001f%06x-40000137%08x", n, n);
  return id;
}

bool IsInitiatorInstance(const Model& m, const std::string& value) {
  if (value == "*") return true;
  for (const auto& name : m.initiatorNames) {
    if (SameText(name, value)) return true;
  }
  return false;
}

// logintarget / persistentlogintarget: T t portal socket I port security login header data
// maxconn t2w t2r user secret authtype key mappings.
constexpr std::size_t kLoginArgs = 18;

std::string Login(Model& m, const std::vector<std::string>& a, bool persistent) {
  const std::string& target = a[2];
  const std::string& portal = a[4];
  const std::string& initiator = a[6];
  if (a[5] != "*" && a[5] != "3260") return "The target portal socket is not valid.\n";
  if (!IsInitiatorInstance(m, initiator)) return "The initiator instance name is not valid.\n";
  if (a[19] != "0") return "The mapping count is not valid for this command.\n";
  if (persistent) {
    m.persistentLogins.push_back({target, initiator, portal});
    return kDone;
  }
  auto all = DiscoveredTargets(m);
  const Reachable* r = FindReachable(all, target, portal);
  if (r == nullptr) return "The target name is not known to the initiator.\n";
  bool chap = SameText(r->target.auth, "chap");
  const std::string& user = a[15];
  const std::string& secret = a[16];
  const std::string& authType = a[17];
  if (chap && (authType != "1" || user != r->target.user || secret != r->target.secret)) {
    return "The target refused the login: authentication failed.\n";
  }
  if (!chap && authType != "*" && authType != "0" && authType != "1") {
    return "The authentication type is not valid.\n";
  }
  Session s;
  s.id = NewSessionId(m);
  s.target = r->target.name;
  s.portalAddress = r->portalAddress;
  s.sizeBytes = r->target.sizeBytes;
  for (const Session& other : m.sessions) {
    if (SameText(other.target, s.target)) {
      s.disk = other.disk;  // a second session reaches the same LUN
      s.imagePath = other.imagePath;
    }
  }
  if (s.disk < 0) {
    if (!PrepareImage(m, *r, s.imagePath)) return "The target's disk could not be made ready.\n";
    s.disk = FreeDiskNumber(m);
  }
  m.sessions.push_back(s);
  return "Session Id is 0x" + s.id + "\nConnection Id is 0x" + s.id + "\n" + kDone;
}

std::string Execute(Model& m, const std::vector<std::string>& a) {
  if (a.size() < 2) return "Usage: iscsicli command arguments\n";
  const std::string word = LowerAscii(a[1]);
  const std::size_t n = a.size() - 2;
  if (word == "listtargets" && n <= 1) {
    std::string text = "Targets List:\n";
    for (const auto& t : Snapshot().targets) text += "    " + t.name + "\n";
    return text + kDone;
  }
  if (word == "removetargetportal" && n >= 2) {
    for (auto it = m.portals.begin(); it != m.portals.end(); ++it) {
      if (SameText(it->address, a[2]) && std::to_string(it->port) == a[3]) {
        m.portals.erase(it);
        return kDone;
      }
    }
    return "The target portal was not found.\n";
  }
  if ((word == "logintarget" || word == "persistentlogintarget") && n == kLoginArgs) {
    return Login(m, a, word == "persistentlogintarget");
  }
  if (word == "logouttarget" && n == 1) {
    for (auto it = m.sessions.begin(); it != m.sessions.end(); ++it) {
      if (SameText(it->id, a[2]) || SameText("0x" + it->id, a[2])) {
        if (it->inUse) {
          return "The session cannot be logged out since a device on that session is currently being used.\n";
        }
        m.sessions.erase(it);
        return kDone;
      }
    }
    return "The session identifier is not valid.\n";
  }
  if (word == "removepersistenttarget" && n == 5) {
    std::size_t before = m.persistentLogins.size();
    for (auto it = m.persistentLogins.begin(); it != m.persistentLogins.end();) {
      bool portalMatches = it->portalAddress == "*" || SameText(it->portalAddress, a[5]);
      if (SameText(it->initiatorInstance, a[2]) && SameText(it->targetName, a[3]) && portalMatches) {
        it = m.persistentLogins.erase(it);
      } else {
        ++it;
      }
    }
    return before == m.persistentLogins.size() ? "The persistent login was not found.\n" : kDone;
  }
  if (word == "clearpersistentdevices" && n == 0) {
    m.persistentDevices.clear();
    return kDone;
  }
  if (word == "bindpersistentvolumes" && n == 0) {
    for (const auto& v : m.bindableVolumes) {
      bool known = false;
      for (const auto& d : m.persistentDevices) known |= SameText(d, v);
      if (!known) m.persistentDevices.push_back(v);
    }
    return kDone;
  }
  if (word == "addpersistentdevice" && n == 1) {
    for (const auto& d : m.persistentDevices) {
      if (SameText(d, a[2])) return "The volume is already a persistent device.\n";
    }
    m.persistentDevices.push_back(a[2]);
    return kDone;
  }
  if (word == "removepersistentdevice" && n == 1) {
    for (auto it = m.persistentDevices.begin(); it != m.persistentDevices.end(); ++it) {
      if (SameText(*it, a[2])) {
        m.persistentDevices.erase(it);
        return kDone;
      }
    }
    return "The volume is not a persistent device.\n";
  }
  return "Usage: iscsicli " + a[1] + ": the command or its argument count is not known.\n";
}

}  // namespace

InitiatorSnapshot Snapshot() {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  InitiatorSnapshot s;
  Availability availability = InitiatorAvailability();
  s.installed = availability != Availability::Absent;
  s.running = availability == Availability::Running;
  if (!s.running) return s;
  s.initiatorNames = m.initiatorNames;
  for (const Portal& p : m.portals) s.sendTargetPortals.push_back({p.address, p.port});
  auto addTarget = [&](const std::string& name, const std::string& portal) {
    for (TargetSnapshot& t : s.targets) {
      if (!SameText(t.name, name)) continue;
      for (const auto& group : t.portalGroups) {
        if (group.front().address == portal) return;
      }
      t.portalGroups.push_back({{portal, 3260}});
      return;
    }
    s.targets.push_back({name, {{{portal, 3260}}}});
  };
  for (const Reachable& r : DiscoveredTargets(m)) addTarget(r.target.name, r.portalAddress);
  // A logged-in target stays listed after its portal is removed.
  for (const Session& session : m.sessions) addTarget(session.target, session.portalAddress);
  for (const Session& session : m.sessions) {
    s.sessions.push_back({session.id, session.target, session.disk, session.active});
  }
  s.persistentLogins = m.persistentLogins;
  s.persistentDevices = m.persistentDevices;
  return s;
}

bool RunInitiatorTool(const std::vector<std::string>& args, std::string& output) {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  Availability availability = InitiatorAvailability();
  if (availability == Availability::Absent) return false;
  std::string run;
  for (const auto& a : args) run += (run.empty() ? "" : " ") + a;
  m.runs.push_back(run);
  output = kBanner;
  if (availability != Availability::Running) {
    output += "The Microsoft iSCSI Initiator Service is not running.\n";
    return true;
  }
  output += Execute(m, args);
  return true;
}

std::int32_t AddSendTargetPortal(const std::string& address) {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  if (InitiatorAvailability() != Availability::Running || address.empty()) return kWbemFailed;
  fabric::Fabric f = share::sim::CurrentFabric();
  const fabric::Device* device = f.FindByAddress(address);
  if (device == nullptr || !device->iscsi) return kWbemFailed;
  for (const Portal& p : m.portals) {
    if (p.address == address) return 0;
  }
  m.portals.push_back({address, 3260});
  return 0;
}

std::vector<SessionDisk> SessionDisks() {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  std::vector<SessionDisk> disks;
  for (const Session& s : m.sessions) {
    bool listed = false;
    for (const auto& d : disks) listed |= d.diskNumber == s.disk;
    if (!listed) disks.push_back({s.disk, s.imagePath, s.sizeBytes, s.target});
  }
  return disks;
}

void ResetInitiator() {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.initiatorNames = {kDefaultInitiatorName};
  m.portals.clear();
  m.sessions.clear();
  m.persistentLogins.clear();
  m.persistentDevices.clear();
  m.bindableVolumes.clear();
  m.runs.clear();
  m.imageFolder.clear();
  m.fallbackImageFolder.clear();
  m.localDisks = 1;
  m.nextSession = 1;
}

void SetInitiatorNames(const std::vector<std::string>& names) {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.initiatorNames = names;
}

void SetImageFolder(const std::string& folder) {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.imageFolder = folder;
}

void SetFallbackImageFolder(const std::string& folder) {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.fallbackImageFolder = folder;
}

void SetLocalDiskCount(int count) {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.localDisks = count < 0 ? 0 : count;
}

void SetConnectionActive(const std::string& target, bool active) {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  for (Session& s : m.sessions) {
    if (SameText(s.target, target)) s.active = active;
  }
}

void SetSessionInUse(const std::string& sessionId, bool inUse) {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  for (Session& s : m.sessions) {
    if (s.id == sessionId) s.inUse = inUse;
  }
}

void SetBindableVolumes(const std::vector<std::string>& volumePaths) {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.bindableVolumes = volumePaths;
}

std::vector<std::string> ToolRuns() {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  return m.runs;
}

namespace {

using protocol::JsonString;

std::string JsonList(const std::vector<std::string>& texts) {
  std::string out = "[";
  for (const auto& t : texts) out += (out.size() > 1 ? ", " : "") + JsonString(t);
  return out + "]";
}

bool Fail(std::string* error, const std::string& what) {
  if (error != nullptr) *error = "initiator state: " + what;
  return false;
}

bool ReadText(const json::Value& object, const char* key, std::string& out) {
  const json::Value* v = object.Find(key);
  if (v == nullptr || !v->IsString()) return false;
  out = v->AsString();
  return true;
}

bool ReadNumber(const json::Value& object, const char* key, std::int64_t lo, std::int64_t hi, std::int64_t& out) {
  const json::Value* v = object.Find(key);
  return v != nullptr && v->AsInteger(lo, hi, &out);
}

bool ReadTexts(const json::Value& object, const char* key, std::vector<std::string>& out) {
  const json::Value* v = object.Find(key);
  if (v == nullptr || !v->IsArray()) return false;
  out.clear();
  for (const auto& item : v->AsArray()) {
    if (!item.IsString()) return false;
    out.push_back(item.AsString());
  }
  return true;
}

const std::vector<json::Value>* ReadArray(const json::Value& object, const char* key) {
  const json::Value* v = object.Find(key);
  return v != nullptr && v->IsArray() ? &v->AsArray() : nullptr;
}

}  // namespace

std::string ExportInitiatorState() {
  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  std::string out = "{\"initiatorNames\": " + JsonList(m.initiatorNames) + ",\n   \"portals\": [";
  for (std::size_t i = 0; i < m.portals.size(); ++i) {
    out += std::string(i ? ", " : "") + "{\"address\": " + JsonString(m.portals[i].address) +
           ", \"port\": " + std::to_string(m.portals[i].port) + "}";
  }
  out += "],\n   \"sessions\": [";
  for (std::size_t i = 0; i < m.sessions.size(); ++i) {
    const Session& s = m.sessions[i];
    out += std::string(i ? ",\n     " : "") + "{\"id\": " + JsonString(s.id) + ", \"target\": " + JsonString(s.target) +
           ", \"portal\": " + JsonString(s.portalAddress) + ", \"disk\": " + std::to_string(s.disk) +
           ", \"image\": " + JsonString(s.imagePath) + ", \"sizeBytes\": " + std::to_string(s.sizeBytes) +
           ", \"active\": " + (s.active ? "true" : "false") + ", \"inUse\": " + (s.inUse ? "true" : "false") + "}";
  }
  out += "],\n   \"persistentLogins\": [";
  for (std::size_t i = 0; i < m.persistentLogins.size(); ++i) {
    const PersistentLoginSnapshot& p = m.persistentLogins[i];
    out += std::string(i ? ", " : "") + "{\"target\": " + JsonString(p.targetName) +
           ", \"initiator\": " + JsonString(p.initiatorInstance) + ", \"portal\": " + JsonString(p.portalAddress) + "}";
  }
  out += "],\n   \"persistentDevices\": " + JsonList(m.persistentDevices) +
         ",\n   \"nextSession\": " + std::to_string(m.nextSession) + "}";
  return out;
}

bool ImportInitiatorState(const json::Value& state, std::string* error) {
  if (!state.IsObject()) return Fail(error, "not an object");
  Model next;
  if (!ReadTexts(state, "initiatorNames", next.initiatorNames)) return Fail(error, "initiatorNames");
  if (!ReadTexts(state, "persistentDevices", next.persistentDevices)) return Fail(error, "persistentDevices");
  const auto* portals = ReadArray(state, "portals");
  const auto* sessions = ReadArray(state, "sessions");
  const auto* logins = ReadArray(state, "persistentLogins");
  if (portals == nullptr || sessions == nullptr || logins == nullptr) return Fail(error, "a list is missing");
  for (const auto& p : *portals) {
    Portal portal;
    std::int64_t port = 0;
    if (!ReadText(p, "address", portal.address) || !ReadNumber(p, "port", 0, 65535, port)) return Fail(error, "portal");
    portal.port = static_cast<std::int32_t>(port);
    next.portals.push_back(portal);
  }
  for (const auto& v : *sessions) {
    Session s;
    std::int64_t disk = 0;
    std::int64_t size = 0;
    const json::Value* active = v.Find("active");
    const json::Value* inUse = v.Find("inUse");
    if (!ReadText(v, "id", s.id) || !ReadText(v, "target", s.target) || !ReadText(v, "portal", s.portalAddress) ||
        !ReadText(v, "image", s.imagePath) || !ReadNumber(v, "disk", 1, 0x7FFFFFFF, disk) ||
        !ReadNumber(v, "sizeBytes", 0, std::int64_t{1} << 53, size) || active == nullptr || !active->IsBool() ||
        inUse == nullptr || !inUse->IsBool()) {
      return Fail(error, "session");
    }
    s.disk = static_cast<int>(disk);
    s.sizeBytes = static_cast<std::uint64_t>(size);
    s.active = active->AsBool();
    s.inUse = inUse->AsBool();
    next.sessions.push_back(s);
  }
  for (const auto& v : *logins) {
    PersistentLoginSnapshot p;
    if (!ReadText(v, "target", p.targetName) || !ReadText(v, "initiator", p.initiatorInstance) ||
        !ReadText(v, "portal", p.portalAddress)) {
      return Fail(error, "persistent login");
    }
    next.persistentLogins.push_back(p);
  }
  std::int64_t nextSession = 1;
  if (!ReadNumber(state, "nextSession", 1, 0xFFFFFFFF, nextSession)) return Fail(error, "nextSession");

  Model& m = TheModel();
  std::lock_guard<std::recursive_mutex> lock(m.mutex);
  m.initiatorNames = std::move(next.initiatorNames);
  m.portals = std::move(next.portals);
  m.sessions = std::move(next.sessions);
  m.persistentLogins = std::move(next.persistentLogins);
  m.persistentDevices = std::move(next.persistentDevices);
  m.nextSession = static_cast<unsigned>(nextSession);
  return true;
}

}  // namespace sw::iscsi::sim
