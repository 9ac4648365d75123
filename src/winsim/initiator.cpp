// The simulated iSCSI initiator (initiator.h).

#include "winsim/initiator.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <random>

#include "base/ascii_case.h"
#include "winsim/machine.h"

namespace sw::winsim {

namespace {

constexpr const char* kBanner = "iSCSI initiator command-line tool (simulated)\n\n";
constexpr const char* kDone = "Operation completed successfully.\n";
constexpr std::int32_t kWbemFailed = static_cast<std::int32_t>(0x80041001u);
// logintarget / persistentlogintarget: T t portal socket I port security login header data
// maxconn t2w t2r user secret authtype key mappings.
constexpr std::size_t kLoginArgs = 18;

bool SameText(const std::string& a, const std::string& b) { return base::EqualIgnoringAsciiCase(a, b); }

// A folder of this process's own, made on first use: no other user can have prepared it.
std::string MakePrivateFolder() {
  std::error_code ec;
  std::filesystem::path temp = std::filesystem::temp_directory_path(ec);
  if (ec) temp = ".";
  std::random_device random;
  for (int attempt = 0; attempt < 16; ++attempt) {
    char name[40];
    std::snprintf(name, sizeof name, "seekwell-sim-%08x%08x", random(), random());
    const std::filesystem::path folder = temp / name;
    if (std::filesystem::create_directory(folder, ec) && !ec) {
      std::filesystem::permissions(folder, std::filesystem::perms::owner_all, ec);
      return folder.string();
    }
  }
  return std::string();
}

}  // namespace

void Initiator::Reset() {
  auto lock = m_.Lock();
  m_state = State{};
  m_bindableVolumes.clear();
  m_runs.clear();
  m_imageFolder.clear();
  m_fallbackImageFolder.clear();
}

Initiator::Availability Initiator::CurrentAvailability() const {
  ServiceStatus status = ServiceStatus::Stopped;
  if (!m_.services.State(kInitiatorServiceName, status)) return Availability::Absent;
  return status == ServiceStatus::Running ? Availability::Running : Availability::Stopped;
}

std::vector<Initiator::Reachable> Initiator::Discovered() const {
  std::vector<Reachable> found;
  for (const Portal& p : m_state.portals) {
    for (const fabric::Device& d : m_.fabric.devices) {
      if (d.address != p.address || !d.iscsi) continue;
      for (const fabric::Target& t : d.targets) found.push_back({t, p.address});
    }
  }
  return found;
}

std::string Initiator::ImageFolder() const {
  auto lock = m_.Lock();
  if (!m_imageFolder.empty()) return m_imageFolder;
  if (!m_.GetSettings().disksFolder.empty()) return m_.GetSettings().disksFolder;
  if (!m_fallbackImageFolder.empty()) return m_fallbackImageFolder;
  if (m_privateFolder.empty()) m_privateFolder = MakePrivateFolder();
  return m_privateFolder;
}

// The image of a target's disk: made sparse at the target's size when missing, kept otherwise. A
// link in its place is refused: the image is written as the disk, and must not be some other file.
bool Initiator::PrepareImage(const Reachable& r, std::string& path) {
  const std::string folderText = ImageFolder();
  if (folderText.empty()) return false;
  std::error_code ec;
  const std::filesystem::path folder(folderText);
  std::filesystem::create_directories(folder, ec);
  const std::filesystem::path image = folder / fabric::TargetImageFileName(r.portalAddress, r.target.name);
  const auto status = std::filesystem::symlink_status(image, ec);
  if (std::filesystem::is_symlink(status)) return false;
  if (!std::filesystem::exists(status)) {
    std::ofstream create(image, std::ios::binary);
    if (!create) return false;
  } else if (!std::filesystem::is_regular_file(status)) {
    return false;
  }
  if (std::filesystem::file_size(image, ec) != r.target.sizeBytes) {
    std::filesystem::resize_file(image, r.target.sizeBytes, ec);
    if (ec) return false;
  }
  path = image.string();
  return true;
}

int Initiator::FreeDiskNumber() const {
  for (int n = 0;; ++n) {
    bool used = m_.disks.IsAttached(n);
    for (const Session& s : m_state.sessions) used = used || s.disk == n;
    if (!used) return n;
  }
}

std::string Initiator::Login(const std::vector<std::string>& a, bool persistent) {
  const std::string& target = a[2];
  const std::string& portal = a[4];
  const std::string& initiator = a[6];
  if (a[5] != "*" && a[5] != "3260") return "The target portal socket is not valid.\n";
  bool knownInitiator = initiator == "*";
  for (const auto& name : m_state.initiatorNames) knownInitiator = knownInitiator || SameText(name, initiator);
  if (!knownInitiator) return "The initiator instance name is not valid.\n";
  if (a[19] != "0") return "The mapping count is not valid for this command.\n";
  if (persistent) {
    m_state.persistentLogins.push_back({target, initiator, portal});
    return kDone;
  }
  const std::vector<Reachable> all = Discovered();
  const Reachable* r = nullptr;
  for (const Reachable& candidate : all) {
    if (SameText(candidate.target.name, target) && (portal == "*" || portal == candidate.portalAddress)) {
      r = &candidate;
      break;
    }
  }
  if (r == nullptr) return "The target name is not known to the initiator.\n";
  const bool chap = r->target.AsksForChap();
  const std::string& user = a[15];
  const std::string& secret = a[16];
  const std::string& authType = a[17];
  if (chap && (authType != "1" || user != r->target.user || secret != r->target.secret)) {
    return "The target refused the login: authentication failed.\n";
  }
  if (!chap && authType != "*" && authType != "0" && authType != "1") return "The authentication type is not valid.\n";
  Session s;
  char id[40];
  const unsigned n = m_state.nextSession++;
  std::snprintf(id, sizeof id, "ffffe0001f%06x-40000137%08x", n, n);
  s.id = id;
  s.target = r->target.name;
  s.portalAddress = r->portalAddress;
  s.sizeBytes = r->target.sizeBytes;
  s.bytesPerSector = r->target.sectorSize;
  for (const Session& other : m_state.sessions) {
    if (SameText(other.target, s.target)) {
      s.disk = other.disk;  // a second session reaches the same LUN
      s.imagePath = other.imagePath;
    }
  }
  if (s.disk < 0) {
    if (!PrepareImage(*r, s.imagePath)) return "The target's disk could not be made ready.\n";
    s.disk = FreeDiskNumber();
  }
  m_state.sessions.push_back(s);
  return "Session Id is 0x" + s.id + "\nConnection Id is 0x" + s.id + "\n" + kDone;
}

std::string Initiator::Execute(const std::vector<std::string>& a) {
  if (a.size() < 2) return "Usage: iscsicli command arguments\n";
  const std::string word = base::LowerAscii(a[1]);
  const std::size_t n = a.size() - 2;
  if (word == "listtargets" && n <= 1) {
    std::string text = "Targets List:\n";
    for (const auto& t : Snapshot().targets) text += "    " + t.name + "\n";
    return text + kDone;
  }
  if (word == "removetargetportal" && n >= 2) {
    for (auto it = m_state.portals.begin(); it != m_state.portals.end(); ++it) {
      if (SameText(it->address, a[2]) && std::to_string(it->port) == a[3]) {
        m_state.portals.erase(it);
        return kDone;
      }
    }
    return "The target portal was not found.\n";
  }
  if ((word == "logintarget" || word == "persistentlogintarget") && n == kLoginArgs) {
    return Login(a, word == "persistentlogintarget");
  }
  if (word == "logouttarget" && n == 1) {
    for (auto it = m_state.sessions.begin(); it != m_state.sessions.end(); ++it) {
      if (SameText(it->id, a[2]) || SameText("0x" + it->id, a[2])) {
        if (it->inUse) {
          return "The session cannot be logged out since a device on that session is currently being used.\n";
        }
        m_state.sessions.erase(it);
        return kDone;
      }
    }
    return "The session identifier is not valid.\n";
  }
  if (word == "removepersistenttarget" && n == 5) {
    const std::size_t before = m_state.persistentLogins.size();
    for (auto it = m_state.persistentLogins.begin(); it != m_state.persistentLogins.end();) {
      const bool portalMatches = it->portalAddress == "*" || SameText(it->portalAddress, a[5]);
      if (SameText(it->initiatorInstance, a[2]) && SameText(it->targetName, a[3]) && portalMatches) {
        it = m_state.persistentLogins.erase(it);
      } else {
        ++it;
      }
    }
    return before == m_state.persistentLogins.size() ? "The persistent login was not found.\n" : kDone;
  }
  if (word == "clearpersistentdevices" && n == 0) {
    m_state.persistentDevices.clear();
    return kDone;
  }
  if (word == "bindpersistentvolumes" && n == 0) {
    for (const auto& v : m_bindableVolumes) {
      bool known = false;
      for (const auto& d : m_state.persistentDevices) known = known || SameText(d, v);
      if (!known) m_state.persistentDevices.push_back(v);
    }
    return kDone;
  }
  if (word == "addpersistentdevice" && n == 1) {
    for (const auto& d : m_state.persistentDevices) {
      if (SameText(d, a[2])) return "The volume is already a persistent device.\n";
    }
    m_state.persistentDevices.push_back(a[2]);
    return kDone;
  }
  if (word == "removepersistentdevice" && n == 1) {
    for (auto it = m_state.persistentDevices.begin(); it != m_state.persistentDevices.end(); ++it) {
      if (SameText(*it, a[2])) {
        m_state.persistentDevices.erase(it);
        return kDone;
      }
    }
    return "The volume is not a persistent device.\n";
  }
  return "Usage: iscsicli " + a[1] + ": the command or its argument count is not known.\n";
}

InitiatorSnapshot Initiator::Snapshot() const {
  auto lock = m_.Lock();
  InitiatorSnapshot s;
  const Availability availability = CurrentAvailability();
  s.installed = availability != Availability::Absent;
  s.running = availability == Availability::Running;
  if (!s.running) return s;
  s.initiatorNames = m_state.initiatorNames;
  for (const Portal& p : m_state.portals) s.sendTargetPortals.push_back({p.address, p.port});
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
  for (const Reachable& r : Discovered()) addTarget(r.target.name, r.portalAddress);
  // A logged-in target stays listed after its portal is removed.
  for (const Session& session : m_state.sessions) addTarget(session.target, session.portalAddress);
  for (const Session& session : m_state.sessions) {
    s.sessions.push_back({session.id, session.target, session.disk, session.active});
  }
  s.persistentLogins = m_state.persistentLogins;
  s.persistentDevices = m_state.persistentDevices;
  return s;
}

bool Initiator::RunTool(const std::vector<std::string>& args, std::string& output) {
  auto lock = m_.Lock();
  const Availability availability = CurrentAvailability();
  if (availability == Availability::Absent) return false;
  std::string run;
  for (const auto& a : args) run += (run.empty() ? "" : " ") + a;
  m_runs.push_back(run);
  output = kBanner;
  if (availability != Availability::Running) {
    output += "The Microsoft iSCSI Initiator Service is not running.\n";
    return true;
  }
  output += Execute(args);
  return true;
}

std::int32_t Initiator::AddSendTargetPortal(const std::string& address) {
  auto lock = m_.Lock();
  if (CurrentAvailability() != Availability::Running || address.empty()) return kWbemFailed;
  const fabric::Device* device = m_.fabric.FindByAddress(address);
  if (device == nullptr || !device->iscsi) return kWbemFailed;
  for (const Portal& p : m_state.portals) {
    if (p.address == address) return 0;
  }
  m_state.portals.push_back({address, 3260});
  return 0;
}

std::vector<SessionDisk> Initiator::SessionDisks() const {
  auto lock = m_.Lock();
  std::vector<SessionDisk> disks;
  for (const Session& s : m_state.sessions) {
    bool listed = false;
    for (const auto& d : disks) listed = listed || d.diskNumber == s.disk;
    if (!listed) disks.push_back({s.disk, s.imagePath, s.sizeBytes, s.bytesPerSector, s.target});
  }
  return disks;
}

void Initiator::SetInitiatorNames(const std::vector<std::string>& names) {
  auto lock = m_.Lock();
  m_state.initiatorNames = names;
}

void Initiator::SetImageFolder(const std::string& folder) {
  auto lock = m_.Lock();
  m_imageFolder = folder;
}

void Initiator::SetFallbackImageFolder(const std::string& folder) {
  auto lock = m_.Lock();
  m_fallbackImageFolder = folder;
}

void Initiator::SetConnectionActive(const std::string& target, bool active) {
  auto lock = m_.Lock();
  for (Session& s : m_state.sessions) {
    if (SameText(s.target, target)) s.active = active;
  }
}

void Initiator::SetSessionInUse(const std::string& sessionId, bool inUse) {
  auto lock = m_.Lock();
  for (Session& s : m_state.sessions) {
    if (s.id == sessionId) s.inUse = inUse;
  }
}

void Initiator::SetBindableVolumes(const std::vector<std::string>& volumePaths) {
  auto lock = m_.Lock();
  m_bindableVolumes = volumePaths;
}

std::vector<std::string> Initiator::ToolRuns() const {
  auto lock = m_.Lock();
  return m_runs;
}

Initiator::State Initiator::SavedState() const {
  auto lock = m_.Lock();
  return m_state;
}

void Initiator::RestoreState(State state) {
  auto lock = m_.Lock();
  m_state = std::move(state);
}

}  // namespace sw::winsim
