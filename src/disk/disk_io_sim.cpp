// Simulated backend of the disk port: physical drives backed by image files whose sector 0 holds
// the real MBR. The control codes are interpreted from the same buffers Windows would get.
// Controls in disk_io_sim.h.

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <mutex>

#include "disk/disk_io.h"
#include "disk/disk_io_sim.h"
#include "disk/disk_structures.h"
#include "disk/mbr_sector.h"
#include "host/clock.h"
#include "iscsi/initiator_sim.h"

namespace sw::disk::io {

namespace {

constexpr std::uint32_t kBytesPerSector = 512;
constexpr std::uint32_t kSectorsPerTrack = 63;
constexpr std::uint32_t kTracksPerCylinder = 255;
constexpr std::uint64_t kSystemDiskSize = 64ull << 30;
constexpr std::uint32_t kSystemDiskSignature = 0x5EC0A11Du;
constexpr std::uint32_t kMaxGptEntries = 128;

struct Disk {
  sim::SimulatedDisk config;
  std::uint8_t memorySector[kMbrSectorSize] = {};
  sim::LayoutWrites writes;
};

struct OpenHandle {
  std::int32_t disk = -1;
  DiskAccess access = DiskAccess::Query;
};

struct SimState {
  bool initialised = false;
  std::map<std::int32_t, Disk> disks;
  std::map<std::intptr_t, OpenHandle> handles;
  std::intptr_t nextHandle = 1;
  int failingLayoutReads = 0;
  std::vector<sim::DiskCall> calls;
  std::map<std::int32_t, Disk> sessionDisks;  // the initiator's, refreshed on every look-up
};

std::recursive_mutex g_mutex;
SimState g_state;

void InitialiseSystemSector(std::uint8_t* sector, std::uint64_t size) {
  std::memset(sector, 0, kMbrSectorSize);
  MbrEntry entries[4];
  entries[0].status = 0x80;
  entries[0].type = kPartitionIfs;
  entries[0].firstLba = 2048;
  std::uint64_t sectors = size / kBytesPerSector;
  std::uint64_t count = sectors > 2048 ? sectors - 2048 : 0;
  entries[0].sectorCount = static_cast<std::uint32_t>(count > 0xFFFFFFFFull ? 0xFFFFFFFFull : count);
  WriteMbrSector(sector, kSystemDiskSignature, entries, kTracksPerCylinder, kSectorsPerTrack);
}

void Install(const std::vector<sim::SimulatedDisk>& list) {
  g_state.disks.clear();
  for (const auto& d : list) {
    Disk& disk = g_state.disks[d.number];
    disk.config = d;
    if (d.imagePath.empty()) InitialiseSystemSector(disk.memorySector, d.sizeBytes);
  }
  g_state.initialised = true;
}

void EnsureInitialised() {
  if (g_state.initialised) return;
  sim::SimulatedDisk system;
  system.number = 0;
  system.sizeBytes = kSystemDiskSize;
  system.local = true;
  system.letter = 'C';
  Install({system});
}

// A session disk of the initiator, kept by number while its session lasts (its write record with it).
Disk* SessionDiskOf(std::int32_t number) {
  for (const auto& s : iscsi::sim::SessionDisks()) {
    if (s.diskNumber != number) continue;
    Disk& disk = g_state.sessionDisks[number];
    if (disk.config.imagePath != s.imagePath) disk = Disk{};
    disk.config.number = number;
    disk.config.imagePath = s.imagePath;
    disk.config.sizeBytes = s.sizeBytes;
    return &disk;
  }
  g_state.sessionDisks.erase(number);
  return nullptr;
}

Disk* DiskOf(std::int32_t number) {
  EnsureInitialised();
  auto it = g_state.disks.find(number);
  return it == g_state.disks.end() ? SessionDiskOf(number) : &it->second;
}

// "\\.\PhysicalDriveN" with a plain decimal N; anything else names no disk.
bool ParsePath(const std::string& path, std::int32_t& number) {
  static const char kPrefix[] = "\\\\.\\PhysicalDrive";
  const std::size_t prefixLength = sizeof kPrefix - 1;
  if (path.size() <= prefixLength || path.size() > prefixLength + 9) return false;
  if (path.compare(0, prefixLength, kPrefix) != 0) return false;
  std::int32_t value = 0;
  for (std::size_t i = prefixLength; i < path.size(); ++i) {
    if (path[i] < '0' || path[i] > '9') return false;
    value = value * 10 + (path[i] - '0');
  }
  number = value;
  return true;
}

bool ReadBytes(const Disk& disk, std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  std::memset(out, 0, size);
  if (disk.config.imagePath.empty()) {
    if (offset == 0 && size <= kMbrSectorSize) std::memcpy(out, disk.memorySector, size);
    return true;
  }
  // A stream, not fseek: its offsets are 64-bit on Windows too, and partitions lie past 2 GiB.
  std::ifstream in(disk.config.imagePath, std::ios::binary);
  if (!in) return false;
  in.seekg(static_cast<std::streamoff>(offset));
  if (!in) return true;  // past the end of a short (sparse) image: zeros
  in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
  return true;
}

bool WriteSector0(Disk& disk, const std::uint8_t* sector) {
  ++disk.writes.count;
  disk.writes.lastTick = host::TickCount();
  if (disk.config.imagePath.empty()) {
    std::memcpy(disk.memorySector, sector, kMbrSectorSize);
    return true;
  }
  std::FILE* f = std::fopen(disk.config.imagePath.c_str(), "r+b");
  if (f == nullptr) return false;
  bool ok = std::fwrite(sector, 1, kMbrSectorSize, f) == kMbrSectorSize;
  ok = std::fflush(f) == 0 && ok;
  std::fclose(f);
  return ok;
}

DiskGeometry GeometryOf(const Disk& disk) {
  DiskGeometry g;
  g.MediaType = disk.config.mediaType;
  g.BytesPerSector = kBytesPerSector;
  g.SectorsPerTrack = kSectorsPerTrack;
  g.TracksPerCylinder = kTracksPerCylinder;
  g.Cylinders = static_cast<std::int64_t>(disk.config.sizeBytes /
                                          (std::uint64_t{kBytesPerSector} * kSectorsPerTrack * kTracksPerCylinder));
  return g;
}

PartitionEntry EntryFromMbr(const MbrEntry& e, std::uint32_t slot) {
  PartitionEntry entry;
  if (e.type == kPartitionEntryUnused) return entry;
  bool container = e.type == kPartitionExtended || e.type == kPartitionXint13Extended;
  entry.StartingOffset = static_cast<std::int64_t>(e.firstLba) * kBytesPerSector;
  entry.PartitionLength = static_cast<std::int64_t>(e.sectorCount) * kBytesPerSector;
  entry.HiddenSectors = e.firstLba;
  // Primary partitions keep the number of their slot; containers carry none.
  entry.PartitionNumber = container ? 0 : slot + 1;
  entry.PartitionType = e.type;
  entry.BootIndicator = e.status == 0x80 ? 1 : 0;
  entry.RecognizedPartition = container ? 0 : 1;
  return entry;
}

std::uint64_t Get64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}

// The used entries of a GPT disk, from the primary header at LBA 1.
bool ReadGptEntries(const Disk& disk, DriveLayout& layout) {
  std::uint8_t header[kBytesPerSector];
  if (!ReadBytes(disk, kBytesPerSector, header, sizeof header)) return false;
  if (std::memcmp(header, "EFI PART", 8) != 0) return true;  // protective MBR alone: no entries
  std::uint64_t entriesLba = Get64(header + 72);
  std::uint32_t count = Get32(header + 80);
  std::uint32_t entrySize = Get32(header + 84);
  if (entrySize < 128 || entrySize > 1024 || count > kMaxGptEntries) return false;
  std::vector<std::uint8_t> table(static_cast<std::size_t>(count) * entrySize);
  if (!ReadBytes(disk, entriesLba * kBytesPerSector, table.data(), table.size())) return false;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* e = table.data() + static_cast<std::size_t>(i) * entrySize;
    bool used = false;
    for (int b = 0; b < 16; ++b) used = used || e[b] != 0;
    if (!used) continue;
    PartitionEntry entry;
    entry.PartitionStyle = kPartitionStyleGpt;
    std::uint64_t first = Get64(e + 32), last = Get64(e + 40);
    entry.StartingOffset = static_cast<std::int64_t>(first * kBytesPerSector);
    entry.PartitionLength = last >= first ? static_cast<std::int64_t>((last - first + 1) * kBytesPerSector) : 0;
    entry.PartitionNumber = i + 1;
    layout.entries.push_back(entry);
  }
  layout.PartitionCount = static_cast<std::uint32_t>(layout.entries.size());
  return true;
}

// The layout Windows would report for what sector 0 holds. False: the call set cannot read it.
bool ReadLayout(const Disk& disk, bool extended, DriveLayout& layout) {
  std::uint8_t sector[kMbrSectorSize];
  if (!ReadBytes(disk, 0, sector, sizeof sector)) return false;
  MbrSector mbr = ParseMbrSector(sector);
  layout = DriveLayout{};
  switch (ClassifySector(mbr)) {
    case SectorStyle::Raw:
      layout.PartitionStyle = extended ? kPartitionStyleRaw : kPartitionStyleMbr;
      return true;
    case SectorStyle::GptProtective:
      if (!extended) return false;  // the legacy calls know no GPT
      layout.PartitionStyle = kPartitionStyleGpt;
      return ReadGptEntries(disk, layout);
    case SectorStyle::Mbr:
      break;
  }
  layout.PartitionStyle = kPartitionStyleMbr;
  layout.Signature = mbr.diskSignature;
  layout.PartitionCount = 4;
  for (std::uint32_t i = 0; i < 4; ++i) layout.entries.push_back(EntryFromMbr(mbr.entries[i], i));
  return true;
}

// Writes the first four entries of `layout` as the MBR. Refused (nothing written) when an entry
// cannot be expressed on this disk: not sector-aligned, over sector 0, past the end, or beyond
// what 32-bit sector numbers reach.
bool WriteLayout(Disk& disk, const DriveLayout& layout) {
  if (layout.PartitionStyle != kPartitionStyleMbr) return false;
  MbrEntry entries[4];
  const std::int64_t size = static_cast<std::int64_t>(disk.config.sizeBytes);
  for (std::size_t i = 0; i < 4 && i < layout.entries.size(); ++i) {
    const PartitionEntry& e = layout.entries[i];
    if (e.PartitionType == kPartitionEntryUnused || e.PartitionLength <= 0) continue;
    if (e.StartingOffset < kBytesPerSector || e.StartingOffset % kBytesPerSector != 0 ||
        e.PartitionLength % kBytesPerSector != 0 || e.PartitionLength > size - e.StartingOffset) {
      return false;
    }
    std::int64_t first = e.StartingOffset / kBytesPerSector, count = e.PartitionLength / kBytesPerSector;
    if (first > 0xFFFFFFFFll || count > 0xFFFFFFFFll) return false;
    entries[i].status = e.BootIndicator != 0 ? 0x80 : 0;
    entries[i].type = e.PartitionType;
    entries[i].firstLba = static_cast<std::uint32_t>(first);
    entries[i].sectorCount = static_cast<std::uint32_t>(count);
  }
  std::uint8_t sector[kMbrSectorSize];
  if (!ReadBytes(disk, 0, sector, sizeof sector)) return false;
  WriteMbrSector(sector, layout.Signature, entries, kTracksPerCylinder, kSectorsPerTrack);
  return WriteSector0(disk, sector);
}

bool Control(Disk& disk, DiskAccess access, std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
             std::uint8_t* out, std::uint32_t outSize, std::uint32_t& returned) {
  const bool writable = access == DiskAccess::ReadWrite;
  auto give = [&](const std::vector<std::uint8_t>& bytes) {
    if (out == nullptr || outSize < bytes.size()) return false;
    std::memcpy(out, bytes.data(), bytes.size());
    returned = static_cast<std::uint32_t>(bytes.size());
    return true;
  };
  switch (code) {
    case kIoctlDiskGetDriveGeometry:
      return give(PackDiskGeometry(GeometryOf(disk)));
    case kIoctlDiskGetLengthInfo:
      return give(PackLengthInformation(static_cast<std::int64_t>(disk.config.sizeBytes)));
    case kIoctlDiskGetDriveLayout:
    case kIoctlDiskGetDriveLayoutEx: {
      bool extended = code == kIoctlDiskGetDriveLayoutEx;
      if (g_state.failingLayoutReads > 0) {
        --g_state.failingLayoutReads;
        return false;
      }
      DriveLayout layout;
      if (!ReadLayout(disk, extended, layout)) return false;
      std::size_t need = extended ? kDriveLayoutExHeaderSize + layout.entries.size() * kPartitionInformationExSize
                                  : kDriveLayoutHeaderSize + layout.entries.size() * kPartitionInformationSize;
      if (outSize < need) return false;  // ERROR_INSUFFICIENT_BUFFER
      return give(extended ? PackDriveLayoutEx(layout, need) : PackDriveLayout(layout, need));
    }
    case kIoctlDiskSetDriveLayout:
    case kIoctlDiskSetDriveLayoutEx: {
      if (!writable || in == nullptr) return false;
      DriveLayout layout;
      bool unpacked = code == kIoctlDiskSetDriveLayout ? UnpackDriveLayout(in, inSize, layout)
                                                          : UnpackDriveLayoutEx(in, inSize, layout);
      if (!unpacked || !WriteLayout(disk, layout)) return false;
      returned = 0;
      return true;
    }
    case kIoctlDiskCreateDisk: {
      CreateDisk create;
      if (!writable || !UnpackCreateDisk(in, inSize, create)) return false;
      if (create.PartitionStyle != kPartitionStyleMbr) return false;  // GPT creation is not modelled
      std::uint8_t sector[kMbrSectorSize] = {};
      MbrEntry none[4];
      WriteMbrSector(sector, create.Signature, none, kTracksPerCylinder, kSectorsPerTrack);
      if (!WriteSector0(disk, sector)) return false;
      returned = 0;
      return true;
    }
    case kIoctlDiskUpdateProperties:
      returned = 0;
      return true;
    default:
      return false;
  }
}

}  // namespace

DiskHandle OpenDisk(const std::string& path, DiskAccess access) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  EnsureInitialised();
  DiskHandle handle;
  std::int32_t number = -1;
  if (!ParsePath(path, number)) return handle;
  Disk* disk = DiskOf(number);
  if (disk == nullptr) return handle;
  if (!disk->config.imagePath.empty()) {
    std::FILE* f = std::fopen(disk->config.imagePath.c_str(), "rb");
    if (f == nullptr) return handle;
    std::fclose(f);
  }
  handle.value = g_state.nextHandle++;
  g_state.handles[handle.value] = OpenHandle{number, access};
  return handle;
}

void CloseDisk(DiskHandle& handle) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  if (handle.IsValid()) g_state.handles.erase(handle.value);
  handle = DiskHandle{};
}

bool DeviceIoControl(DiskHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                     std::uint32_t outSize, std::uint32_t* returned) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  auto it = g_state.handles.find(handle.value);
  sim::DiskCall call;
  call.code = code;
  call.inSize = inSize;
  call.outSize = outSize;
  bool ok = false;
  std::uint32_t bytes = 0;
  if (it != g_state.handles.end()) {
    call.disk = it->second.disk;
    if (Disk* disk = DiskOf(it->second.disk)) {
      ok = Control(*disk, it->second.access, code, static_cast<const std::uint8_t*>(in), inSize,
                   static_cast<std::uint8_t*>(out), outSize, bytes);
    }
  }
  call.succeeded = ok;
  g_state.calls.push_back(call);
  if (ok && returned != nullptr) *returned = bytes;
  return ok;
}

bool FlushDisk(DiskHandle handle) {
  std::lock_guard<std::recursive_mutex> lock(g_mutex);
  return g_state.handles.count(handle.value) != 0;
}

}  // namespace sw::disk::io

namespace sw::disk::sim {

void SetSimulatedDisks(const std::vector<SimulatedDisk>& disks) {
  std::lock_guard<std::recursive_mutex> lock(io::g_mutex);
  io::Install(disks);
}

std::vector<SimulatedDisk> SimulatedDisks() {
  std::lock_guard<std::recursive_mutex> lock(io::g_mutex);
  io::EnsureInitialised();
  std::map<std::int32_t, SimulatedDisk> all;
  for (const auto& s : iscsi::sim::SessionDisks()) {
    if (io::Disk* disk = io::DiskOf(s.diskNumber)) all[s.diskNumber] = disk->config;
  }
  for (const auto& [number, disk] : io::g_state.disks) all[number] = disk.config;
  std::vector<SimulatedDisk> out;
  for (const auto& [number, config] : all) out.push_back(config);
  return out;
}

bool ReadDiskBytes(std::int32_t number, std::uint64_t offset, std::uint8_t* out, std::size_t size) {
  std::lock_guard<std::recursive_mutex> lock(io::g_mutex);
  io::Disk* disk = io::DiskOf(number);
  return disk != nullptr && io::ReadBytes(*disk, offset, out, size);
}

std::optional<DiskGeometry> SimulatedGeometry(std::int32_t number) {
  std::lock_guard<std::recursive_mutex> lock(io::g_mutex);
  io::Disk* disk = io::DiskOf(number);
  if (disk == nullptr) return std::nullopt;
  return io::GeometryOf(*disk);
}

LayoutWrites LayoutWritesOf(std::int32_t number) {
  std::lock_guard<std::recursive_mutex> lock(io::g_mutex);
  io::Disk* disk = io::DiskOf(number);
  return disk == nullptr ? LayoutWrites{} : disk->writes;
}

void ResetSimulatedDisks() {
  std::lock_guard<std::recursive_mutex> lock(io::g_mutex);
  io::g_state = io::SimState{};
}

void FailNextLayoutReads(int count) {
  std::lock_guard<std::recursive_mutex> lock(io::g_mutex);
  io::g_state.failingLayoutReads = count;
}

std::vector<DiskCall> DiskCalls() {
  std::lock_guard<std::recursive_mutex> lock(io::g_mutex);
  return io::g_state.calls;
}

void ClearDiskCalls() {
  std::lock_guard<std::recursive_mutex> lock(io::g_mutex);
  io::g_state.calls.clear();
}

}  // namespace sw::disk::sim
