// The simulated volumes and mount points (volumes.h).

#include "winsim/volumes.h"

#include <cstdio>
#include <cstring>

#include "base/ascii_case.h"
#include "winsim/machine.h"
#include "winsim/win32_codes.h"

namespace sw::winsim {

namespace {

std::string VolumeNameFor(std::uint32_t signature, std::int32_t disk, std::int64_t start) {
  char name[64];
  std::snprintf(name, sizeof name, "\\\\?\\Volume{%08x-%04x-11e0-0000-%012llx}\\", signature,
                static_cast<unsigned>(disk) & 0xFFFFu, static_cast<unsigned long long>(start / 512));
  return name;
}

std::string CdVolumeName(char letter) {
  char name[64];
  std::snprintf(name, sizeof name, "\\\\?\\Volume{cd000000-0000-11e0-0000-0000000000%02x}\\",
                static_cast<unsigned>(letter));
  return name;
}

// "X:\" (any case) gives X, anything else 0.
char RootLetter(const std::string& root) {
  if (root.size() != 3 || root[1] != ':' || root[2] != '\\') return 0;
  const char c = base::UpperAsciiChar(root[0]);
  return (c >= 'A' && c <= 'Z') ? c : 0;
}

std::uint64_t Little(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

void Volumes::Reset() {
  auto lock = m_.Lock();
  m_delayMs = m_.GetSettings().volumeDelayMs;
  m_automount = true;
  m_failCriticalErrors = false;
  m_disks.clear();
  m_volumes.clear();
  m_letters.clear();
  m_nextDevice = 1;
  m_finds.clear();
  m_handles.clear();
}

void Volumes::SetArrivalDelay(std::uint32_t ms) {
  auto lock = m_.Lock();
  m_delayMs = ms;
}

void Volumes::SetAutomount(bool on) {
  auto lock = m_.Lock();
  m_automount = on;
}

void Volumes::Mount(Volume& v, char configuredLetter) {
  Letters& letters = m_.letters;
  v.device = "\\Device\\HarddiskVolume" + std::to_string(m_nextDevice++);
  if (letters.LetterOfVolume(v.name) != 0) return;  // the letter table kept it
  auto remembered = m_letters.find(v.name);
  if (remembered != m_letters.end()) {
    if (remembered->second != 0) letters.MountVolume(remembered->second, v.name, v.driveType);
    return;
  }
  char letter = 0;
  if (configuredLetter != 0) {
    letter = configuredLetter;
    letters.SetVolume(letter, v.name, v.driveType);
  } else if (m_automount) {
    for (char c = 'C'; c <= 'Z' && letter == 0; ++c) {
      if (letters.IsFree(c)) letter = c;
    }
    if (letter != 0) letters.MountVolume(letter, v.name, v.driveType);
  }
  m_letters[v.name] = letter;
}

void Volumes::Scan() {
  const std::uint32_t now = m_.Now();
  std::vector<Volume> next;
  std::map<std::int32_t, DiskTrack> tracks;
  const std::vector<DiskConfig> disks = m_.disks.All();
  for (const DiskConfig& d : disks) {
    auto track = m_disks.find(d.number);
    const bool fresh = track == m_disks.end() || track->second.imagePath != d.imagePath;
    const LayoutWrites writes = m_.disks.WritesOf(d.number);
    // Written through a disk handle since the last look (or ever, for a disk not seen before): the
    // new partitions wait from that write; others found new were there already, or were written by
    // some other means just now.
    const bool written = fresh ? writes.count != 0 : writes.count != track->second.writes;
    tracks[d.number] = DiskTrack{d.imagePath, writes.count};
    DiskLayout layout;
    if (!m_.disks.Table(d.number, layout)) continue;
    for (const LayoutEntry& e : layout.entries) {
      if (e.number == 0) continue;
      Volume v;
      v.name = VolumeNameFor(layout.signature, d.number, e.start);
      v.extent = VolumeExtent{d.number, e.style, e.number, e.start, e.length, e.type, e.boot, e.hiddenSectors};
      v.driveType = d.driveType;
      bool known = false;
      for (const Volume& old : m_volumes) {
        if (old.name == v.name && old.extent.length == v.extent.length && old.extent.disk == v.extent.disk) {
          const VolumeExtent extent = v.extent;
          v = old;
          v.extent = extent;  // the number follows the table; the type and flag may have changed
          known = true;
        }
      }
      if (!known) {
        v.immediate = fresh && !written;
        v.since = written ? writes.lastTick : now;
      }
      next.push_back(v);
    }
  }
  // Gone partitions (deleted, resized, or their disk left with its session) free their letters.
  for (const Volume& old : m_volumes) {
    bool kept = false;
    for (const Volume& v : next) kept = kept || (v.name == old.name && v.extent.length == old.extent.length);
    if (kept || !old.arrived) continue;
    if (const char letter = m_.letters.LetterOfVolume(old.name)) m_.letters.UnmountVolume(letter);
  }
  m_disks = tracks;
  m_volumes = next;
  for (Volume& v : m_volumes) {
    if (v.arrived || !(v.immediate || static_cast<std::uint32_t>(now - v.since) >= m_delayMs)) continue;
    v.arrived = true;
    char configured = 0;
    for (const DiskConfig& d : disks) {
      if (d.number != v.extent.disk || !d.local || d.letter == 0) continue;
      bool first = true;
      for (const Volume& other : m_volumes) {
        first = first && !(other.extent.disk == v.extent.disk && other.extent.number < v.extent.number);
      }
      if (first) configured = d.letter;
    }
    Mount(v, configured);
  }
}

std::vector<Volumes::Volume> Volumes::Listed() {
  std::vector<Volume> out;
  for (const Volume& v : m_volumes) {
    if (v.arrived) out.push_back(v);
  }
  for (char c = 'A'; c <= 'Z'; ++c) {
    const std::string root = std::string(1, c) + ":";
    if (m_.letters.DriveType(root) != kDriveCdRom || !m_.letters.VolumeOn(c).empty()) continue;
    Volume cd;
    cd.name = CdVolumeName(c);
    cd.device = "\\Device\\CdRom" + std::to_string(c - 'A');
    cd.cdLetter = c;
    cd.driveType = kDriveCdRom;
    cd.arrived = true;
    out.push_back(cd);
  }
  return out;
}

std::optional<Volumes::Volume> Volumes::Resolve(std::string name) {
  if (const char letter = RootLetter(name)) {
    name = m_.letters.VolumeOn(letter);
    if (name.empty()) name = CdVolumeName(letter);
  }
  if (!name.empty() && name.back() != '\\') name += '\\';
  for (const Volume& v : Listed()) {
    if (v.name == name) return v;
  }
  return std::nullopt;
}

bool Volumes::ReadFileSystem(const Volume& v, std::string& name, std::uint64_t& totalBytes) const {
  if (v.cdLetter != 0) return false;
  std::uint8_t boot[512];
  if (!m_.disks.ReadBytes(v.extent.disk, static_cast<std::uint64_t>(v.extent.start), boot, sizeof boot)) return false;
  if (boot[510] != 0x55 || boot[511] != 0xAA) return false;
  const std::uint64_t bytesPerSector = Little(boot + 11, 2);
  if (std::memcmp(boot + 3, "NTFS    ", 8) == 0) {
    name = "NTFS";
    totalBytes = Little(boot + 40, 8) * bytesPerSector;
    return true;
  }
  std::uint64_t sectors = Little(boot + 19, 2);
  if (sectors == 0) sectors = Little(boot + 32, 4);
  if (std::memcmp(boot + 82, "FAT32   ", 8) == 0) {
    name = "FAT32";
  } else if (std::memcmp(boot + 54, "FAT", 3) == 0) {
    name = "FAT";
  } else {
    return false;
  }
  totalBytes = sectors * bytesPerSector;
  return true;
}

std::uint32_t Volumes::FindFirst(std::intptr_t& find, std::string& name) {
  auto lock = m_.Lock();
  Scan();
  Find f;
  for (const Volume& v : Listed()) f.names.push_back(v.name);
  if (f.names.empty()) return kErrorNoMoreFiles;
  name = f.names[0];
  f.next = 1;
  find = m_nextHandle++;
  m_finds[find] = f;
  return kErrorSuccess;
}

std::uint32_t Volumes::FindNext(std::intptr_t find, std::string& name) {
  auto lock = m_.Lock();
  auto it = m_finds.find(find);
  if (it == m_finds.end()) return kErrorInvalidHandle;
  if (it->second.next >= it->second.names.size()) return kErrorNoMoreFiles;
  name = it->second.names[it->second.next++];
  return kErrorSuccess;
}

void Volumes::FindClose(std::intptr_t find) {
  auto lock = m_.Lock();
  m_finds.erase(find);
}

std::uint32_t Volumes::DriveType(const std::string& root) {
  auto lock = m_.Lock();
  if (RootLetter(root) != 0) return m_.letters.DriveType(root);
  if (root.empty() || root.back() != '\\') return kDriveNoRootDir;  // the backslash is required
  Scan();
  const auto v = Resolve(root);
  return v ? v->driveType : kDriveNoRootDir;
}

std::uint32_t Volumes::FileSystem(const std::string& root, std::string& name) {
  auto lock = m_.Lock();
  if (root.empty() || root.back() != '\\') return kErrorInvalidName;
  const auto v = Resolve(root);
  if (!v) return kErrorPathNotFound;
  if (v->cdLetter != 0) return kErrorNotReady;
  std::uint64_t total = 0;
  return ReadFileSystem(*v, name, total) ? kErrorSuccess : kErrorUnrecognizedVolume;
}

std::uint32_t Volumes::TotalBytes(const std::string& root, std::uint64_t& bytes) {
  auto lock = m_.Lock();
  const auto v = Resolve(root);
  if (!v) return kErrorPathNotFound;
  std::string name;
  return ReadFileSystem(*v, name, bytes) ? kErrorSuccess : kErrorUnrecognizedVolume;
}

std::uint32_t Volumes::DosDevice(const std::string& deviceName, std::string& target) {
  auto lock = m_.Lock();
  std::string device;
  if (deviceName.size() == 2 && deviceName[1] == ':') {
    const char letter = RootLetter(deviceName + "\\");
    if (letter == 0) return kErrorFileNotFound;
    const std::string connection = m_.letters.Connection(letter);
    const std::uint32_t type = m_.letters.DriveType(deviceName);
    if (const auto v = Resolve(deviceName + "\\")) {
      device = v->device;
    } else if (!connection.empty()) {
      device = std::string("\\Device\\LanmanRedirector\\;") + letter + ":0000000000000000" + connection.substr(1);
    } else if (type != kDriveNoRootDir && type != kDriveUnknown) {
      device = std::string("\\Device\\LocalDrive") + letter;  // a local drive no volume stands for
    }
  } else if (deviceName.compare(0, 7, "Volume{") == 0) {
    if (const auto v = Resolve("\\\\?\\" + deviceName)) device = v->device;
  }
  if (device.empty()) return kErrorFileNotFound;
  target = device;
  return kErrorSuccess;
}

std::intptr_t Volumes::Open(const std::string& path, std::uint32_t& error) {
  auto lock = m_.Lock();
  Scan();
  // "\\?\Volume{...}" or "\\.\E:"; with a trailing backslash the path names the root folder instead.
  std::string name = path;
  error = kErrorFileNotFound;
  if (name.empty() || name.back() == '\\') return 0;
  if (name.size() == 6 && name.compare(0, 4, "\\\\.\\") == 0) {
    name = name.substr(4) + "\\";
  } else if (name.compare(0, 4, "\\\\?\\") != 0) {
    return 0;
  }
  const auto v = Resolve(name);
  if (!v) return 0;
  const std::intptr_t handle = m_nextHandle++;
  m_handles[handle] = v->name;
  error = kErrorSuccess;
  return handle;
}

void Volumes::Close(std::intptr_t handle) {
  auto lock = m_.Lock();
  m_handles.erase(handle);
}

std::uint32_t Volumes::Extent(std::intptr_t handle, VolumeExtent& out) {
  auto lock = m_.Lock();
  auto it = m_handles.find(handle);
  if (it == m_handles.end()) return kErrorInvalidHandle;
  const auto v = Resolve(it->second);
  if (!v || v->cdLetter != 0) return kErrorNotReady;
  out = v->extent;
  return kErrorSuccess;
}

std::uint32_t Volumes::SetMountPoint(const std::string& mountPoint, const std::string& volumeName) {
  auto lock = m_.Lock();
  Scan();
  const char letter = RootLetter(mountPoint);
  if (letter == 0 || volumeName.empty() || volumeName.back() != '\\') return kErrorInvalidName;
  const auto v = Resolve(volumeName);
  if (!v || v->cdLetter != 0 || volumeName != v->name) return kErrorFileNotFound;
  if (m_.letters.LetterOfVolume(v->name) != 0) return kErrorInvalidParameter;  // one letter per volume
  if (!m_.letters.MountVolume(letter, v->name, v->driveType)) return kErrorDirNotEmpty;
  m_letters[v->name] = letter;
  return kErrorSuccess;
}

std::uint32_t Volumes::DeleteMountPoint(const std::string& mountPoint) {
  auto lock = m_.Lock();
  Scan();
  const char letter = RootLetter(mountPoint);
  if (letter == 0) return kErrorInvalidName;
  const std::string name = m_.letters.VolumeOn(letter);
  if (name.empty() || !m_.letters.UnmountVolume(letter)) return kErrorFileNotFound;
  m_letters[name] = 0;
  return kErrorSuccess;
}

void Volumes::FailCriticalErrors() {
  auto lock = m_.Lock();
  m_failCriticalErrors = true;
}

bool Volumes::CriticalErrorsFail() const {
  auto lock = m_.Lock();
  return m_failCriticalErrors;
}

std::optional<VolumeLocation> Volumes::Locate(char letter) {
  auto lock = m_.Lock();
  Scan();
  const auto v = Resolve(std::string(1, letter) + ":\\");
  if (!v || v->cdLetter != 0) return std::nullopt;
  const std::optional<DiskConfig> d = m_.disks.Find(v->extent.disk);
  if (!d || d->imagePath.empty()) return std::nullopt;
  return VolumeLocation{d->number, static_cast<std::uint64_t>(v->extent.start),
                        static_cast<std::uint64_t>(v->extent.length), d->bytesPerSector, d->imagePath};
}

std::map<std::string, char> Volumes::RememberedLetters() {
  auto lock = m_.Lock();
  Scan();  // the letters of volumes that left with their sessions are free now
  return m_letters;
}

void Volumes::RestoreRememberedLetters(std::map<std::string, char> letters) {
  auto lock = m_.Lock();
  m_letters = std::move(letters);
}

}  // namespace sw::winsim
