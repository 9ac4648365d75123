// Simulated backend of the volume port: volumes read from the MBR entries and boot sectors on the
// simulated disks, letters kept in the simulated platform's one letter table. What it promises is
// in volume_io_sim.h.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <vector>

#include "disk/disk_io_sim.h"
#include "disk/disk_structures.h"
#include "disk/mbr_sector.h"
#include "disk/volume_io.h"
#include "disk/volume_io_sim.h"
#include "disk/volume_structures.h"
#include "host/clock.h"
#include "protocol/device_report.h"
#include "share/network_drives.h"
#include "share/network_drives_sim.h"

namespace sw::disk::volume_io {

namespace {

constexpr std::uint32_t kDefaultArrivalDelayMs = 1500;
constexpr std::uint32_t kSectorSize = 512;

struct Volume {
  std::string name;     // "\\?\Volume{...}\"
  std::string device;   // "\Device\HarddiskVolumeN", set on arrival
  std::int32_t disk = -1;  // -1: a CD drive
  char cdLetter = 0;
  std::uint32_t slot = 0;
  std::uint8_t type = 0;
  bool boot = false;
  std::uint32_t firstLba = 0;
  std::uint32_t sectorCount = 0;
  std::uint32_t driveType = share::kDriveFixed;
  bool immediate = false;  // there when its disk appeared
  std::uint32_t since = 0; // the tick from which the arrival delay runs
  bool arrived = false;
  std::int64_t Start() const { return static_cast<std::int64_t>(firstLba) * kSectorSize; }
  std::int64_t Length() const { return static_cast<std::int64_t>(sectorCount) * kSectorSize; }
};

struct DiskTrack {
  std::string imagePath;
  std::uint64_t writes = 0;
};

struct Find {
  std::vector<std::string> names;
  std::size_t next = 0;
};

struct Model {
  bool configured = false;
  std::uint32_t delayMs = kDefaultArrivalDelayMs;
  bool automount = true;
  bool failCriticalErrors = false;
  std::map<std::int32_t, DiskTrack> disks;
  std::vector<Volume> volumes;          // disk volumes, by disk and slot
  std::map<std::string, char> letters;  // the letter a volume last had; 0 once removed
  unsigned nextDevice = 1;
  std::map<std::intptr_t, Find> finds;
  std::map<std::intptr_t, std::string> handles;  // handle -> volume name
  std::intptr_t nextHandle = 1;
};

std::recursive_mutex g_mutex;
Model g_model;

Model& TheModel() {
  if (!g_model.configured) {
    const char* delay = std::getenv("SEEKWELL_SIM_VOLUME_DELAY_MS");
    if (delay != nullptr && *delay != '\0') g_model.delayMs = static_cast<std::uint32_t>(std::strtoul(delay, nullptr, 10));
    g_model.configured = true;
  }
  return g_model;
}

std::string VolumeNameFor(std::uint32_t signature, std::int32_t disk, std::uint32_t slot, std::uint32_t firstLba) {
  char name[64];
  std::snprintf(name, sizeof name, "\\\\?\\Volume{%08x-%04x-11e0-%04x-%012llx}\\", signature,
                static_cast<unsigned>(disk) & 0xFFFFu, slot, static_cast<unsigned long long>(firstLba));
  return name;
}

std::string CdVolumeName(char letter) {
  char name[64];
  std::snprintf(name, sizeof name, "\\\\?\\Volume{cd000000-0000-11e0-0000-0000000000%02x}\\",
                static_cast<unsigned>(letter));
  return name;
}

bool IsContainer(std::uint8_t type) { return type == kPartitionExtended || type == kPartitionXint13Extended; }

// The letter holding `name` in the letter table, 0 when none.
char LetterOf(const std::string& name) {
  for (char c = 'A'; c <= 'Z'; ++c) {
    if (share::sim::VolumeOnLetter(c) == name) return c;
  }
  return 0;
}

char FirstFreeLetter() {
  for (char c = 'C'; c <= 'Z'; ++c) {
    if (share::sim::LetterIsFree(c)) return c;
  }
  return 0;
}

void Mount(Model& m, Volume& v, const sim::SimulatedDisk& disk, bool firstOfDisk) {
  v.device = "\\Device\\HarddiskVolume" + std::to_string(m.nextDevice++);
  if (LetterOf(v.name) != 0) return;  // the table kept it
  auto remembered = m.letters.find(v.name);
  if (remembered != m.letters.end()) {
    if (remembered->second != 0) share::sim::MountVolumeOnLetter(remembered->second, v.name, v.driveType);
    return;
  }
  char letter = 0;
  if (disk.local && disk.letter != 0 && firstOfDisk) {
    letter = disk.letter;
    share::sim::SetVolumeOnLetter(letter, v.name, v.driveType);
  } else if (m.automount) {
    letter = FirstFreeLetter();
    if (letter != 0) share::sim::MountVolumeOnLetter(letter, v.name, v.driveType);
  }
  m.letters[v.name] = letter;
}

// Brings the model up to what the disks' bytes say now.
void Scan(Model& m) {
  const std::uint32_t now = host::TickCount();
  std::vector<Volume> next;
  std::map<std::int32_t, DiskTrack> tracks;
  const auto disks = sim::SimulatedDisks();
  for (const auto& d : disks) {
    auto track = m.disks.find(d.number);
    const bool fresh = track == m.disks.end() || track->second.imagePath != d.imagePath;
    const sim::LayoutWrites writes = sim::LayoutWritesOf(d.number);
    // Written through the disk port since the model last looked (or ever, for a disk it has not
    // seen): the new partitions wait from that write; others found new were there already, or
    // were written by some other means just now.
    const bool written = fresh ? writes.count != 0 : writes.count != track->second.writes;
    tracks[d.number] = DiskTrack{d.imagePath, writes.count};
    std::uint8_t sector[kMbrSectorSize];
    if (!sim::ReadDiskBytes(d.number, 0, sector, sizeof sector)) continue;
    MbrSector mbr = ParseMbrSector(sector);
    if (ClassifySector(mbr) != SectorStyle::Mbr) continue;
    for (std::uint32_t slot = 0; slot < 4; ++slot) {
      const MbrEntry& e = mbr.entries[slot];
      if (e.type == kPartitionEntryUnused || IsContainer(e.type) || e.sectorCount == 0) continue;
      Volume v;
      v.name = VolumeNameFor(mbr.diskSignature, d.number, slot, e.firstLba);
      v.disk = d.number;
      v.slot = slot;
      v.type = e.type;
      v.boot = e.status == 0x80;
      v.firstLba = e.firstLba;
      v.sectorCount = e.sectorCount;
      v.driveType = d.driveType;
      bool known = false;
      for (const Volume& old : m.volumes) {
        if (old.name == v.name && old.sectorCount == v.sectorCount && old.disk == v.disk) {
          v = old;
          v.type = e.type;
          v.boot = e.status == 0x80;
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
  for (const Volume& old : m.volumes) {
    bool kept = false;
    for (const Volume& v : next) kept = kept || (v.name == old.name && v.sectorCount == old.sectorCount);
    if (!kept && old.arrived) {
      char letter = LetterOf(old.name);
      if (letter != 0) share::sim::UnmountVolumeFromLetter(letter);
    }
  }
  m.disks = tracks;
  m.volumes = next;
  for (Volume& v : m.volumes) {
    if (v.arrived || !(v.immediate || static_cast<std::uint32_t>(now - v.since) >= m.delayMs)) continue;
    v.arrived = true;
    const sim::SimulatedDisk* disk = nullptr;
    bool firstOfDisk = true;
    for (const auto& d : disks) {
      if (d.number == v.disk) disk = &d;
    }
    for (const Volume& other : m.volumes) {
      if (other.disk == v.disk && other.slot < v.slot) firstOfDisk = false;
    }
    if (disk != nullptr) Mount(m, v, *disk, firstOfDisk);
  }
}

// Every volume Windows would list now: the arrived disk volumes, then the CD drives.
std::vector<Volume> Listed(const Model& m) {
  std::vector<Volume> out;
  for (const Volume& v : m.volumes) {
    if (v.arrived) out.push_back(v);
  }
  for (char c = 'A'; c <= 'Z'; ++c) {
    const char root[] = {c, ':', '\0'};
    if (share::GetDriveTypeA(root) != share::kDriveCdRom || !share::sim::VolumeOnLetter(c).empty()) continue;
    Volume cd;
    cd.name = CdVolumeName(c);
    cd.device = "\\Device\\CdRom" + std::to_string(c - 'A');
    cd.cdLetter = c;
    cd.driveType = share::kDriveCdRom;
    cd.arrived = true;
    out.push_back(cd);
  }
  return out;
}

// "X:\" (any case) gives X, anything else 0.
char RootLetter(const std::string& root) {
  if (root.size() != 3 || root[1] != ':' || root[2] != '\\') return 0;
  char c = root[0];
  if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return (c >= 'A' && c <= 'Z') ? c : 0;
}

// The listed volume named `name` (trailing backslash optional), or on the root "X:\".
std::optional<Volume> Resolve(const Model& m, std::string name) {
  if (char letter = RootLetter(name)) {
    name = share::sim::VolumeOnLetter(letter);
    if (name.empty()) name = CdVolumeName(letter);
  }
  if (!name.empty() && name.back() != '\\') name += '\\';
  for (const Volume& v : Listed(m)) {
    if (v.name == name) return v;
  }
  return std::nullopt;
}

bool Fits(const std::string& text, std::size_t capacity) { return text.size() + 1 <= capacity; }

std::uint64_t Little(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

// The file system the boot sector announces, and its size in bytes; false for none.
bool ReadFileSystem(const Volume& v, std::string& name, std::uint64_t& totalBytes) {
  if (v.disk < 0) return false;  // no media in a CD drive
  std::uint8_t boot[kSectorSize];
  if (!sim::ReadDiskBytes(v.disk, static_cast<std::uint64_t>(v.Start()), boot, sizeof boot)) return false;
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

std::intptr_t NewHandle(Model& m) { return m.nextHandle++; }

}  // namespace

VolumeFind FirstVolume(std::string& volumeName, std::size_t capacity) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  Model& m = TheModel();
  Scan(m);
  Find find;
  for (const Volume& v : Listed(m)) find.names.push_back(v.name);
  if (find.names.empty() || !Fits(find.names[0], capacity)) return VolumeFind{};
  volumeName = find.names[0];
  find.next = 1;
  VolumeFind handle{NewHandle(m)};
  m.finds[handle.value] = find;
  return handle;
}

bool NextVolume(VolumeFind find, std::string& volumeName, std::size_t capacity) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  Model& m = TheModel();
  auto it = m.finds.find(find.value);
  if (it == m.finds.end() || it->second.next >= it->second.names.size()) return false;
  const std::string& name = it->second.names[it->second.next];
  if (!Fits(name, capacity)) return false;
  volumeName = name;
  ++it->second.next;
  return true;
}

void CloseVolumeFind(VolumeFind& find) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  TheModel().finds.erase(find.value);
  find = VolumeFind{};
}

std::uint32_t DriveTypeOf(const std::string& rootPath) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (RootLetter(rootPath) != 0) return share::GetDriveTypeA(rootPath.c_str());
  if (rootPath.empty() || rootPath.back() != '\\') return share::kDriveNoRootDir;  // Windows wants the backslash
  auto v = Resolve(TheModel(), rootPath);
  return v ? v->driveType : share::kDriveNoRootDir;
}

bool GetVolumeFileSystem(const std::string& rootPath, std::string& fileSystem, std::size_t capacity) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (rootPath.empty() || rootPath.back() != '\\') return false;
  auto v = Resolve(TheModel(), rootPath);
  std::string name;
  std::uint64_t total = 0;
  if (!v || !ReadFileSystem(*v, name, total) || !Fits(name, capacity)) return false;
  fileSystem = name;
  return true;
}

bool DosDeviceOf(const std::string& deviceName, std::string& target, std::size_t capacity) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  Model& m = TheModel();
  std::string device;
  if (deviceName.size() == 2 && deviceName[1] == ':') {
    char letter = RootLetter(deviceName + "\\");
    if (letter == 0) return false;
    const std::string connection = share::sim::Connection(letter);
    const std::uint32_t type = share::GetDriveTypeA(deviceName.c_str());
    if (auto v = Resolve(m, deviceName + "\\")) {
      device = v->device;
    } else if (!connection.empty()) {
      device = std::string("\\Device\\LanmanRedirector\\;") + letter + ":0000000000000000" + connection.substr(1);
    } else if (type != share::kDriveNoRootDir && type != share::kDriveUnknown) {
      device = std::string("\\Device\\LocalDrive") + letter;  // a local drive the model keeps no volume for
    }
  } else if (deviceName.compare(0, 7, "Volume{") == 0) {
    if (auto v = Resolve(m, "\\\\?\\" + deviceName)) device = v->device;
  }
  // The answer is a list: the name, its NUL and the list's closing NUL.
  if (device.empty() || device.size() + 2 > capacity) return false;
  target = device;
  return true;
}

VolumeHandle OpenVolume(const std::string& path) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  Model& m = TheModel();
  Scan(m);
  // "\\?\Volume{...}" or "\\.\E:"; with a trailing backslash the path names the root folder instead.
  std::string name = path;
  if (name.empty() || name.back() == '\\') return VolumeHandle{};
  if (name.size() == 6 && name.compare(0, 4, "\\\\.\\") == 0) {
    name = name.substr(4) + "\\";
  } else if (name.compare(0, 4, "\\\\?\\") != 0) {
    return VolumeHandle{};
  }
  auto v = Resolve(m, name);
  if (!v) return VolumeHandle{};
  VolumeHandle handle{NewHandle(m)};
  m.handles[handle.value] = v->name;
  return handle;
}

void CloseVolume(VolumeHandle& handle) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  TheModel().handles.erase(handle.value);
  handle = VolumeHandle{};
}

bool VolumeIoControl(VolumeHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                     std::uint32_t outSize, std::uint32_t* returned) {
  (void)in;
  (void)inSize;
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  Model& m = TheModel();
  auto it = m.handles.find(handle.value);
  if (it == m.handles.end()) return false;
  auto v = Resolve(m, it->second);
  if (!v || v->disk < 0) return false;  // gone, or a CD drive without media
  std::vector<std::uint8_t> bytes;
  switch (code) {
    case kIoctlDiskGetDriveGeometry: {
      auto geometry = sim::SimulatedGeometry(v->disk);
      if (!geometry) return false;
      bytes = PackDiskGeometry(*geometry);
      break;
    }
    case kIoctlDiskGetLengthInfo:
      bytes = PackLengthInformation(v->Length());
      break;
    case kIoctlDiskGetPartitionInfo: {
      PartitionEntry entry;
      entry.StartingOffset = v->Start();
      entry.PartitionLength = v->Length();
      entry.HiddenSectors = v->firstLba;
      entry.PartitionNumber = v->slot + 1;  // as the disk port numbers primary partitions
      entry.PartitionType = v->type;
      entry.BootIndicator = v->boot ? 1 : 0;
      entry.RecognizedPartition = 1;
      bytes.assign(kPartitionInformationSize, 0);
      PackPartitionInformation(entry, bytes.data());
      break;
    }
    case kIoctlVolumeGetVolumeDiskExtents:
      bytes = PackVolumeDiskExtents({DiskExtent{static_cast<std::uint32_t>(v->disk), v->Start(), v->Length()}});
      break;
    default:
      return false;
  }
  if (out == nullptr || outSize < bytes.size()) return false;
  std::memcpy(out, bytes.data(), bytes.size());
  if (returned != nullptr) *returned = static_cast<std::uint32_t>(bytes.size());
  return true;
}

bool GetDiskTotalBytes(const std::string& rootPath, std::uint64_t& totalBytes) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  auto v = Resolve(TheModel(), rootPath);
  std::string name;
  std::uint64_t total = 0;
  if (!v || !ReadFileSystem(*v, name, total)) return false;
  totalBytes = total;
  return true;
}

void FailCriticalErrors() {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  TheModel().failCriticalErrors = true;
}

bool SetMountPoint(const std::string& mountPoint, const std::string& volumeName) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  Model& m = TheModel();
  Scan(m);
  char letter = RootLetter(mountPoint);
  if (letter == 0 || volumeName.empty() || volumeName.back() != '\\') return false;
  auto v = Resolve(m, volumeName);
  if (!v || v->disk < 0 || volumeName != v->name) return false;
  if (LetterOf(v->name) != 0) return false;  // one drive letter per volume
  if (!share::sim::MountVolumeOnLetter(letter, v->name, v->driveType)) return false;
  m.letters[v->name] = letter;
  return true;
}

bool DeleteMountPoint(const std::string& mountPoint) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  Model& m = TheModel();
  Scan(m);
  char letter = RootLetter(mountPoint);
  if (letter == 0) return false;
  const std::string name = share::sim::VolumeOnLetter(letter);
  if (name.empty() || !share::sim::UnmountVolumeFromLetter(letter)) return false;
  m.letters[name] = 0;
  return true;
}

}  // namespace sw::disk::volume_io

namespace sw::disk::sim {

void SetVolumeArrivalDelay(std::uint32_t ms) {
  std::lock_guard<std::recursive_mutex> lock(volume_io::g_mutex);
  volume_io::TheModel().delayMs = ms;
}

void SetAutomount(bool on) {
  std::lock_guard<std::recursive_mutex> lock(volume_io::g_mutex);
  volume_io::TheModel().automount = on;
}

std::optional<VolumeLocation> LocateVolume(char letter) {
  std::lock_guard<std::recursive_mutex> lock(volume_io::g_mutex);
  volume_io::Model& m = volume_io::TheModel();
  volume_io::Scan(m);
  const std::string root = std::string(1, letter) + ":\\";
  auto v = volume_io::Resolve(m, root);
  if (!v || v->disk < 0) return std::nullopt;
  for (const auto& d : SimulatedDisks()) {
    if (d.number == v->disk && !d.imagePath.empty()) {
      return VolumeLocation{d.number, static_cast<std::uint64_t>(v->Start()), static_cast<std::uint64_t>(v->Length()),
                            d.imagePath};
    }
  }
  return std::nullopt;
}

bool CriticalErrorsFail() {
  std::lock_guard<std::recursive_mutex> lock(volume_io::g_mutex);
  return volume_io::TheModel().failCriticalErrors;
}

std::string ExportVolumeLetters() {
  std::lock_guard<std::recursive_mutex> lock(volume_io::g_mutex);
  volume_io::Model& m = volume_io::TheModel();
  volume_io::Scan(m);
  std::string out = "[";
  for (const auto& [name, letter] : m.letters) {
    out += std::string(out.size() > 1 ? ",\n   " : "") + "{\"volume\": " + protocol::JsonString(name) +
           ", \"letter\": \"" + (letter != 0 ? std::string(1, letter) : std::string()) + "\"}";
  }
  return out + "]";
}

bool ImportVolumeLetters(const json::Value& list, std::string* error) {
  std::map<std::string, char> letters;
  auto fail = [&](const char* what) {
    if (error != nullptr) *error = std::string("volume letters: ") + what;
    return false;
  };
  if (!list.IsArray()) return fail("not a list");
  for (const auto& item : list.AsArray()) {
    const json::Value* volume = item.Find("volume");
    const json::Value* letter = item.Find("letter");
    if (volume == nullptr || !volume->IsString() || letter == nullptr || !letter->IsString()) return fail("entry");
    const std::string& text = letter->AsString();
    if (text.size() > 1 || (text.size() == 1 && (text[0] < 'A' || text[0] > 'Z'))) return fail("letter");
    letters[volume->AsString()] = text.empty() ? 0 : text[0];
  }
  std::lock_guard<std::recursive_mutex> lock(volume_io::g_mutex);
  volume_io::TheModel().letters = std::move(letters);
  return true;
}

void ResetVolumes() {
  std::lock_guard<std::recursive_mutex> lock(volume_io::g_mutex);
  volume_io::g_model = volume_io::Model{};
}

}  // namespace sw::disk::sim
