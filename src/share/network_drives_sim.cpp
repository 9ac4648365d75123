// Simulated backend of the network-drive port: drive letters, connections and shares decided by the
// fabric; no network. Controls in network_drives_sim.h.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "protocol/device_report.h"
#include "share/network_drives.h"
#include "share/network_drives_sim.h"

namespace sw::share {

namespace {

struct SimState {
  bool loaded = false;
  fabric::Fabric fabric;
  std::uint32_t driveTypes[26] = {};
  std::string connections[26];
  std::string volumes[26];
  sim::CredentialPrompt prompt;
  std::vector<sim::NetworkCall> calls;
};

std::recursive_mutex g_mutex;
SimState g_state;

void Install(SimState& s, const fabric::Fabric& f) {
  s.fabric = f;
  for (auto& t : s.driveTypes) t = kDriveNoRootDir;
  for (auto& c : s.connections) c.clear();
  for (auto& v : s.volumes) v.clear();
  for (const auto& d : f.drives) s.driveTypes[d.letter - 'A'] = d.driveType;
  for (const auto& c : f.connections) s.connections[c.letter - 'A'] = c.remoteName;
  s.calls.clear();
  s.loaded = true;
}

fabric::Fabric FabricFromEnvironment() {
  fabric::Fabric f;
  std::string error;
  const char* path = std::getenv("SEEKWELL_FABRIC");
  if (!path || !*path) {
    fabric::LoadFabric(fabric::DefaultFabricJson(), &f, &error);
    return f;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in || !fabric::LoadFabric(text.str(), &f, &error)) {
    std::fprintf(stderr, "SEEKWELL_FABRIC %s: %s\n", path, in ? error.c_str() : "cannot be read");
    return fabric::Fabric{};
  }
  return f;
}

SimState& State() {
  if (!g_state.loaded) Install(g_state, FabricFromEnvironment());
  return g_state;
}

char FoldAscii(char c) { return (c >= 'a' && c <= 'z') ? static_cast<char>(c - 'a' + 'A') : c; }

bool EqualIgnoringCase(const std::string& a, const std::string& b) {
  if (a.size() != b.size()) return false;
  for (std::size_t i = 0; i < a.size(); ++i) {
    if (FoldAscii(a[i]) != FoldAscii(b[i])) return false;
  }
  return true;
}

// 0..25 for "Q:" (any case), -1 for anything else.
int LetterIndex(const char* name) {
  if (!name || !name[0] || name[1] != ':' || name[2] != '\0') return -1;
  char c = FoldAscii(name[0]);
  return (c >= 'A' && c <= 'Z') ? c - 'A' : -1;
}

bool IsLocal(std::uint32_t type) {
  return type == kDriveFixed || type == kDriveRemovable || type == kDriveCdRom || type == kDriveRamDisk;
}

std::string TextOrNull(const char* text) { return text ? std::string(text) : std::string("(null)"); }

// Whether the fabric lets `remoteName` connect with these credentials; the result code otherwise.
std::uint32_t Authorise(const SimState& s, const std::string& remoteName, const char* password,
                        const char* userName, std::uint32_t flags) {
  if (remoteName.size() < 3 || remoteName.compare(0, 2, "\\\\") != 0) return kErrorBadNetPath;
  std::size_t slash = remoteName.find('\\', 2);
  if (slash == std::string::npos || slash == 2) return kErrorBadNetPath;
  std::string server = remoteName.substr(2, slash - 2);
  std::string share = remoteName.substr(slash + 1);
  const fabric::Device* device = nullptr;
  for (const auto& d : s.fabric.devices) {
    if (EqualIgnoringCase(d.name, server) || d.address == server) {
      device = &d;
      break;
    }
  }
  if (!device) return kErrorBadNetPath;
  const fabric::ShareAccess* access = nullptr;
  for (const auto& name : device->shares) {
    if (EqualIgnoringCase(name, share)) {
      access = device->AccessOf(name);
      break;
    }
  }
  if (!access) return kErrorBadNetName;
  if (!access->credentialsRequired) return kNoError;
  auto matches = [&](const std::string& user, const std::string& pass) {
    return EqualIgnoringCase(user, access->user) && pass == access->password;
  };
  if (matches(userName ? userName : "", password ? password : "")) return kNoError;
  if (flags & kConnectInteractive) {
    std::string typedUser;
    std::string typedPassword;
    if (!s.prompt || !s.prompt(remoteName, typedUser, typedPassword)) return kErrorCancelled;
    return matches(typedUser, typedPassword) ? kNoError : kErrorInvalidPassword;
  }
  return kErrorInvalidPassword;
}

}  // namespace

std::uint32_t WNetGetConnectionA(const char* localName, char* remoteName, std::uint32_t& length) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  SimState& s = State();
  int index = LetterIndex(localName);
  if (index < 0) return kErrorBadDevice;
  const std::string& remote = s.connections[index];
  if (remote.empty()) return kErrorNotConnected;
  if (remote.size() + 1 > length) {
    length = static_cast<std::uint32_t>(remote.size() + 1);
    return kErrorMoreData;
  }
  std::memcpy(remoteName, remote.c_str(), remote.size() + 1);
  return kNoError;
}

std::uint32_t WNetAddConnection2A(const char* remoteName, const char* localName, const char* password,
                                  const char* userName, std::uint32_t flags) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  SimState& s = State();
  sim::NetworkCall call;
  call.kind = sim::NetworkCall::Kind::Add;
  call.remoteName = TextOrNull(remoteName);
  call.localName = TextOrNull(localName);
  call.userName = TextOrNull(userName);
  call.password = TextOrNull(password);
  call.flags = flags;
  int index = LetterIndex(localName);
  if (!remoteName) {
    call.result = kErrorBadNetPath;
  } else if (index < 0) {
    call.result = kErrorBadDevice;
  } else if (IsLocal(s.driveTypes[index]) || !s.connections[index].empty()) {
    call.result = kErrorAlreadyAssigned;
  } else {
    call.result = Authorise(s, remoteName, password, userName, flags);
    if (call.result == kNoError) s.connections[index] = remoteName;
  }
  s.calls.push_back(call);
  return call.result;
}

std::uint32_t WNetCancelConnection2A(const char* name, std::uint32_t flags, bool force) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  SimState& s = State();
  sim::NetworkCall call;
  call.kind = sim::NetworkCall::Kind::Cancel;
  call.localName = TextOrNull(name);
  call.flags = flags;
  call.force = force;
  int index = LetterIndex(name);
  if (index < 0 || s.connections[index].empty()) {
    call.result = kErrorNotConnected;
  } else {
    s.connections[index].clear();
    call.result = kNoError;
  }
  s.calls.push_back(call);
  return call.result;
}

std::uint32_t GetDriveTypeA(const char* rootPath) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  SimState& s = State();
  // "Q:" and "Q:\" both name the drive.
  std::string path = rootPath ? rootPath : "";
  if (path.size() == 3 && path[2] == '\\') path.resize(2);
  int index = LetterIndex(path.c_str());
  if (index < 0) return kDriveNoRootDir;
  if (!s.connections[index].empty() && !IsLocal(s.driveTypes[index])) return kDriveRemote;
  return s.driveTypes[index];
}

namespace sim {

void SetFabric(const fabric::Fabric& fabric) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  Install(g_state, fabric);
}

bool SetFabricText(const std::string& jsonText, std::string* error) {
  fabric::Fabric f;
  if (!fabric::LoadFabric(jsonText, &f, error)) return false;
  SetFabric(f);
  return true;
}

fabric::Fabric CurrentFabric() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return State().fabric;
}

void Reset() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  g_state = SimState{};
}

void SetDriveType(char letter, std::uint32_t type) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  char c = FoldAscii(letter);
  if (c < 'A' || c > 'Z') return;
  State().driveTypes[c - 'A'] = type;
}

void ClearDriveTypes() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  for (auto& t : State().driveTypes) t = kDriveNoRootDir;
}

void SetConnection(char letter, const std::string& remoteName) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  char c = FoldAscii(letter);
  if (c < 'A' || c > 'Z') return;
  State().connections[c - 'A'] = remoteName;
}

std::string Connection(char letter) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  char c = FoldAscii(letter);
  if (c < 'A' || c > 'Z') return std::string();
  return State().connections[c - 'A'];
}

void SetCredentialPrompt(CredentialPrompt prompt) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  State().prompt = std::move(prompt);
}

const std::vector<NetworkCall>& Calls() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return State().calls;
}

void ClearCalls() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  State().calls.clear();
}

namespace {
int LetterSlot(char letter) {
  char c = FoldAscii(letter);
  return (c >= 'A' && c <= 'Z') ? c - 'A' : -1;
}
bool FreeSlot(const SimState& s, int i) {
  return (s.driveTypes[i] == kDriveUnknown || s.driveTypes[i] == kDriveNoRootDir) && s.connections[i].empty() &&
         s.volumes[i].empty();
}
}  // namespace

bool LetterIsFree(char letter) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  int i = LetterSlot(letter);
  return i >= 0 && FreeSlot(State(), i);
}

bool MountVolumeOnLetter(char letter, const std::string& volumeName, std::uint32_t driveType) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  SimState& s = State();
  int i = LetterSlot(letter);
  if (i < 0 || volumeName.empty() || !FreeSlot(s, i)) return false;
  s.volumes[i] = volumeName;
  s.driveTypes[i] = driveType;
  return true;
}

void SetVolumeOnLetter(char letter, const std::string& volumeName, std::uint32_t driveType) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  SimState& s = State();
  int i = LetterSlot(letter);
  if (i < 0) return;
  s.connections[i].clear();
  s.volumes[i] = volumeName;
  s.driveTypes[i] = driveType;
}

std::string VolumeOnLetter(char letter) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  int i = LetterSlot(letter);
  return i < 0 ? std::string() : State().volumes[i];
}

bool UnmountVolumeFromLetter(char letter) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  SimState& s = State();
  int i = LetterSlot(letter);
  if (i < 0 || s.volumes[i].empty()) return false;
  s.volumes[i].clear();
  s.driveTypes[i] = kDriveNoRootDir;
  return true;
}

std::string ExportLetterVolumes() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  SimState& s = State();
  std::string out = "[";
  for (int i = 0; i < 26; ++i) {
    if (s.volumes[i].empty()) continue;
    out += std::string(out.size() > 1 ? ",\n   " : "") + "{\"letter\": \"" + static_cast<char>('A' + i) +
           "\", \"volume\": " + protocol::JsonString(s.volumes[i]) +
           ", \"driveType\": " + std::to_string(s.driveTypes[i]) + "}";
  }
  return out + "]";
}

bool ImportLetterVolumes(const json::Value& list, std::string* error) {
  struct Entry {
    int slot;
    std::string volume;
    std::uint32_t type;
  };
  std::vector<Entry> entries;
  auto fail = [&](const char* what) {
    if (error != nullptr) *error = std::string("letter volumes: ") + what;
    return false;
  };
  if (!list.IsArray()) return fail("not a list");
  for (const auto& item : list.AsArray()) {
    const json::Value* letter = item.Find("letter");
    const json::Value* volume = item.Find("volume");
    const json::Value* type = item.Find("driveType");
    std::int64_t driveType = 0;
    if (letter == nullptr || !letter->IsString() || volume == nullptr || !volume->IsString() ||
        volume->AsString().empty() || type == nullptr || !type->AsInteger(0, 6, &driveType)) {
      return fail("entry");
    }
    const int slot = LetterSlot(letter->AsString().size() == 1 ? letter->AsString()[0] : '\0');
    if (slot < 0) return fail("letter");
    entries.push_back({slot, volume->AsString(), static_cast<std::uint32_t>(driveType)});
  }
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  SimState& s = State();
  for (const Entry& e : entries) {
    s.connections[e.slot].clear();
    s.volumes[e.slot] = e.volume;
    s.driveTypes[e.slot] = e.type;
  }
  return true;
}

bool DeviceAnswersHttp(const std::string& address) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  const fabric::Device* device = State().fabric.FindByAddress(address);
  return device && device->http;
}

}  // namespace sim

}  // namespace sw::share
