// The simulated drive letters (letters.h).

#include "winsim/letters.h"

#include "base/ascii_case.h"
#include "winsim/machine.h"

namespace sw::winsim {

namespace {

constexpr std::uint32_t kConnectInteractive = 8;

// 0..25 for "Q:" (any case), -1 for anything else.
int DriveNameIndex(const char* name) {
  if (name == nullptr || name[0] == '\0' || name[1] != ':' || name[2] != '\0') return -1;
  return LetterIndex(name[0]);
}

bool IsLocal(std::uint32_t type) {
  return type == kDriveFixed || type == kDriveRemovable || type == kDriveCdRom || type == kDriveRamDisk;
}

std::string TextOrNull(const char* text) { return text ? std::string(text) : std::string("(null)"); }

}  // namespace

int LetterIndex(char letter) {
  const char c = base::UpperAsciiChar(letter);
  return (c >= 'A' && c <= 'Z') ? c - 'A' : -1;
}

void Letters::Reset() {
  auto lock = m_.Lock();
  for (auto& t : m_types) t = kDriveNoRootDir;
  for (auto& c : m_connections) c.clear();
  for (auto& v : m_volumes) v.clear();
  for (const auto& d : m_.fabric.drives) m_types[d.letter - 'A'] = d.driveType;
  for (const auto& c : m_.fabric.connections) m_connections[c.letter - 'A'] = c.remoteName;
  m_prompt = nullptr;
  m_calls.clear();
}

std::uint32_t Letters::Authorise(const std::string& remoteName, const char* password, const char* userName,
                                 std::uint32_t flags) const {
  if (remoteName.size() < 3 || remoteName.compare(0, 2, "\\\\") != 0) return kErrorBadNetPath;
  const std::size_t slash = remoteName.find('\\', 2);
  if (slash == std::string::npos || slash == 2) return kErrorBadNetPath;
  const std::string server = remoteName.substr(2, slash - 2);
  const std::string share = remoteName.substr(slash + 1);
  const fabric::Device* device = nullptr;
  for (const auto& d : m_.fabric.devices) {
    if (base::EqualIgnoringAsciiCase(d.name, server) || d.address == server) {
      device = &d;
      break;
    }
  }
  if (device == nullptr) return kErrorBadNetPath;
  const fabric::ShareAccess* access = nullptr;
  for (const auto& name : device->shares) {
    if (base::EqualIgnoringAsciiCase(name, share)) {
      access = device->AccessOf(name);
      break;
    }
  }
  if (access == nullptr) return kErrorBadNetName;
  if (!access->credentialsRequired) return kErrorSuccess;
  auto matches = [&](const std::string& user, const std::string& pass) {
    return base::EqualIgnoringAsciiCase(user, access->user) && pass == access->password;
  };
  if (matches(userName ? userName : "", password ? password : "")) return kErrorSuccess;
  if (flags & kConnectInteractive) {
    std::string typedUser;
    std::string typedPassword;
    if (!m_prompt || !m_prompt(remoteName, typedUser, typedPassword)) return kErrorCancelled;
    return matches(typedUser, typedPassword) ? kErrorSuccess : kErrorInvalidPassword;
  }
  return kErrorInvalidPassword;
}

std::uint32_t Letters::GetConnection(const std::string& localName, std::string& remoteName) const {
  auto lock = m_.Lock();
  const int index = DriveNameIndex(localName.c_str());
  if (index < 0) return kErrorBadDevice;
  if (m_connections[index].empty()) return kErrorNotConnected;
  remoteName = m_connections[index];
  return kErrorSuccess;
}

std::uint32_t Letters::AddConnection(const char* remoteName, const char* localName, const char* password,
                                     const char* userName, std::uint32_t flags) {
  auto lock = m_.Lock();
  NetworkCall call;
  call.kind = NetworkCall::Kind::Add;
  call.remoteName = TextOrNull(remoteName);
  call.localName = TextOrNull(localName);
  call.userName = TextOrNull(userName);
  call.password = TextOrNull(password);
  call.flags = flags;
  const int index = DriveNameIndex(localName);
  if (remoteName == nullptr) {
    call.result = kErrorBadNetPath;
  } else if (index < 0) {
    call.result = kErrorBadDevice;
  } else if (IsLocal(m_types[index]) || !m_connections[index].empty() || !m_volumes[index].empty()) {
    call.result = kErrorAlreadyAssigned;
  } else {
    call.result = Authorise(remoteName, password, userName, flags);
    if (call.result == kErrorSuccess) m_connections[index] = remoteName;
  }
  m_calls.push_back(call);
  return call.result;
}

std::uint32_t Letters::CancelConnection(const char* name, std::uint32_t flags, bool force) {
  auto lock = m_.Lock();
  NetworkCall call;
  call.kind = NetworkCall::Kind::Cancel;
  call.localName = TextOrNull(name);
  call.flags = flags;
  call.force = force;
  const int index = DriveNameIndex(name);
  if (index < 0 || m_connections[index].empty()) {
    call.result = kErrorNotConnected;
  } else {
    m_connections[index].clear();
    call.result = kErrorSuccess;
  }
  m_calls.push_back(call);
  return call.result;
}

std::uint32_t Letters::DriveType(const std::string& root) const {
  auto lock = m_.Lock();
  std::string path = root;
  if (path.size() == 3 && path[2] == '\\') path.resize(2);
  const int index = DriveNameIndex(path.c_str());
  if (index < 0) return kDriveNoRootDir;
  if (!m_connections[index].empty() && !IsLocal(m_types[index])) return kDriveRemote;
  return m_types[index];
}

void Letters::ClearDriveTypes() {
  auto lock = m_.Lock();
  for (auto& t : m_types) t = kDriveNoRootDir;
}

void Letters::SetConnection(char letter, const std::string& remoteName) {
  auto lock = m_.Lock();
  const int i = LetterIndex(letter);
  if (i >= 0) m_connections[i] = remoteName;
}

std::string Letters::Connection(char letter) const {
  auto lock = m_.Lock();
  const int i = LetterIndex(letter);
  return i < 0 ? std::string() : m_connections[i];
}

bool Letters::IsFree(char letter) const {
  auto lock = m_.Lock();
  const int i = LetterIndex(letter);
  return i >= 0 && (m_types[i] == kDriveUnknown || m_types[i] == kDriveNoRootDir) && m_connections[i].empty() &&
         m_volumes[i].empty();
}

bool Letters::MountVolume(char letter, const std::string& volumeName, std::uint32_t driveType) {
  auto lock = m_.Lock();
  if (volumeName.empty() || !IsFree(letter)) return false;
  SetVolume(letter, volumeName, driveType);
  return true;
}

void Letters::SetVolume(char letter, const std::string& volumeName, std::uint32_t driveType) {
  auto lock = m_.Lock();
  const int i = LetterIndex(letter);
  if (i < 0) return;
  m_connections[i].clear();
  m_volumes[i] = volumeName;
  m_types[i] = driveType;
}

std::string Letters::VolumeOn(char letter) const {
  auto lock = m_.Lock();
  const int i = LetterIndex(letter);
  return i < 0 ? std::string() : m_volumes[i];
}

char Letters::LetterOfVolume(const std::string& volumeName) const {
  auto lock = m_.Lock();
  for (int i = 0; i < 26; ++i) {
    if (!volumeName.empty() && m_volumes[i] == volumeName) return static_cast<char>('A' + i);
  }
  return 0;
}

bool Letters::UnmountVolume(char letter) {
  auto lock = m_.Lock();
  const int i = LetterIndex(letter);
  if (i < 0 || m_volumes[i].empty()) return false;
  m_volumes[i].clear();
  m_types[i] = kDriveNoRootDir;
  return true;
}

void Letters::SetCredentialPrompt(CredentialPrompt prompt) {
  auto lock = m_.Lock();
  m_prompt = std::move(prompt);
}

std::vector<NetworkCall> Letters::Calls() const {
  auto lock = m_.Lock();
  return m_calls;
}

void Letters::ClearCalls() {
  auto lock = m_.Lock();
  m_calls.clear();
}

}  // namespace sw::winsim
