// The simulated physical disks (disks.h).

#include "winsim/disks.h"

#include <algorithm>
#include <cstring>
#include <fstream>

#include "winsim/machine.h"
#include "winsim/win32_codes.h"

namespace sw::winsim {

namespace {

constexpr std::uint64_t kSystemDiskSize = 64ull << 30;
constexpr std::uint32_t kSystemDiskSignature = 0x5EC0A11Du;
constexpr std::uint64_t kRecord = 512;

// "\\.\PhysicalDriveN" with a plain decimal N; -1 for anything else.
std::int32_t ParsePath(const std::string& path) {
  static const char kPrefix[] = "\\\\.\\PhysicalDrive";
  const std::size_t prefixLength = sizeof kPrefix - 1;
  if (path.size() <= prefixLength || path.size() > prefixLength + 9) return -1;
  if (path.compare(0, prefixLength, kPrefix) != 0) return -1;
  std::int32_t value = 0;
  for (std::size_t i = prefixLength; i < path.size(); ++i) {
    if (path[i] < '0' || path[i] > '9') return -1;
    value = value * 10 + (path[i] - '0');
  }
  return value;
}

}  // namespace

void Disks::Reset() {
  auto lock = m_.Lock();
  m_attached.clear();
  m_memory.clear();
  m_writes.clear();
  m_writesImage.clear();
  m_handles.clear();
  m_failingLayoutReads = 0;
  m_calls.clear();
  DiskConfig system;
  system.number = 0;
  system.sizeBytes = kSystemDiskSize;
  system.local = true;
  system.letter = 'C';
  SetAttachedDisks({system});
}

void Disks::SetAttachedDisks(const std::vector<DiskConfig>& disks) {
  auto lock = m_.Lock();
  m_attached.clear();
  for (const DiskConfig& d : disks) {
    m_attached[d.number] = d;
    m_memory.erase(d.number);
    if (!d.imagePath.empty()) continue;
    // A local disk in memory starts as a system disk: one NTFS partition from 1 MiB to the end.
    DiskLayout layout;
    layout.style = kStyleMbr;
    layout.signature = kSystemDiskSignature + static_cast<std::uint32_t>(d.number);
    layout.entries.resize(4);
    LayoutEntry& first = layout.entries[0];
    first.style = kStyleMbr;
    first.start = 1 << 20;
    const std::uint64_t sectors = std::min<std::uint64_t>(d.sizeBytes / d.bytesPerSector, 0xFFFFFFFFull);
    first.length = static_cast<std::int64_t>(sectors * d.bytesPerSector) - first.start;
    first.type = 0x07;
    first.boot = true;
    if (first.length > 0) {
      WriteDiskLayout(ReaderOf(d.number),
                      [this, n = d.number](std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
                        return WriteBytes(n, offset, data, size);
                      },
                      d.bytesPerSector, d.sizeBytes, layout);
    }
  }
}

bool Disks::IsAttached(std::int32_t number) const {
  auto lock = m_.Lock();
  return m_attached.count(number) != 0;
}

std::optional<DiskConfig> Disks::Find(std::int32_t number) const {
  auto lock = m_.Lock();
  auto it = m_attached.find(number);
  if (it != m_attached.end()) return it->second;
  for (const SessionDisk& s : m_.initiator.SessionDisks()) {
    if (s.diskNumber != number) continue;
    DiskConfig config;
    config.number = number;
    config.imagePath = s.imagePath;
    config.sizeBytes = s.sizeBytes;
    config.bytesPerSector = s.bytesPerSector;
    return config;
  }
  return std::nullopt;
}

std::vector<DiskConfig> Disks::All() const {
  auto lock = m_.Lock();
  std::map<std::int32_t, DiskConfig> all;
  for (const SessionDisk& s : m_.initiator.SessionDisks()) {
    if (auto d = Find(s.diskNumber)) all[s.diskNumber] = *d;
  }
  for (const auto& [number, config] : m_attached) all[number] = config;
  std::vector<DiskConfig> out;
  for (const auto& [number, config] : all) out.push_back(config);
  return out;
}

std::intptr_t Disks::Open(const std::string& path, DiskAccess access, std::uint32_t& error) {
  auto lock = m_.Lock();
  const std::int32_t number = ParsePath(path);
  const std::optional<DiskConfig> disk = number < 0 ? std::nullopt : Find(number);
  if (!disk) {
    error = kErrorFileNotFound;
    return 0;
  }
  if (!disk->imagePath.empty()) {
    std::ifstream probe(disk->imagePath, std::ios::binary);
    if (!probe) {
      error = kErrorNotReady;
      return 0;
    }
  }
  const std::intptr_t handle = m_nextHandle++;
  m_handles[handle] = Handle{number, access, disk->imagePath};
  return handle;
}

void Disks::Close(std::intptr_t handle) {
  auto lock = m_.Lock();
  m_handles.erase(handle);
}

std::uint32_t Disks::HandleDisk(std::intptr_t handle, std::int32_t& disk, DiskAccess& access) const {
  auto lock = m_.Lock();
  auto it = m_handles.find(handle);
  if (it == m_handles.end()) return kErrorInvalidHandle;
  const std::optional<DiskConfig> now = Find(it->second.disk);
  if (!now || now->imagePath != it->second.imagePath) return kErrorDeviceNotConnected;
  disk = it->second.disk;
  access = it->second.access;
  return kErrorSuccess;
}

std::uint32_t Disks::Geometry(std::int32_t disk, DiskGeometry& out) const {
  auto lock = m_.Lock();
  const std::optional<DiskConfig> d = Find(disk);
  if (!d) return kErrorFileNotFound;
  DiskGeometry g;
  g.mediaType = d->mediaType;
  g.bytesPerSector = d->bytesPerSector;
  g.cylinders = static_cast<std::int64_t>(d->sizeBytes / (std::uint64_t{d->bytesPerSector} * g.sectorsPerTrack *
                                                          g.tracksPerCylinder));
  out = g;
  return kErrorSuccess;
}

bool Disks::ReadBytes(std::int32_t disk, std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
  auto lock = m_.Lock();
  const std::optional<DiskConfig> d = Find(disk);
  if (!d) return false;
  std::memset(out, 0, size);
  if (d->imagePath.empty()) {
    auto memory = m_memory.find(disk);
    if (memory == m_memory.end()) return true;
    for (std::size_t done = 0; done < size;) {
      const std::uint64_t at = offset + done;
      const std::uint64_t index = at / kRecord, within = at % kRecord;
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(kRecord - within, size - done));
      auto record = memory->second.find(index);
      if (record != memory->second.end()) std::memcpy(out + done, record->second.data() + within, piece);
      done += piece;
    }
    return true;
  }
  // A stream: its offsets are 64-bit on Windows too, and partitions lie past 2 GiB.
  std::ifstream in(d->imagePath, std::ios::binary);
  if (!in) return false;
  in.seekg(static_cast<std::streamoff>(offset));
  if (!in) return true;  // past the end of a short (sparse) image: zeros
  in.read(reinterpret_cast<char*>(out), static_cast<std::streamsize>(size));
  return true;
}

bool Disks::WriteBytes(std::int32_t disk, std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
  const std::optional<DiskConfig> d = Find(disk);
  if (!d || offset + size > d->sizeBytes) return false;
  if (d->imagePath.empty()) {
    auto& memory = m_memory[disk];
    for (std::size_t done = 0; done < size;) {
      const std::uint64_t at = offset + done;
      const std::uint64_t index = at / kRecord, within = at % kRecord;
      const std::size_t piece = static_cast<std::size_t>(std::min<std::uint64_t>(kRecord - within, size - done));
      auto& record = memory[index];
      record.resize(kRecord, 0);
      std::memcpy(record.data() + within, data + done, piece);
      done += piece;
    }
    return true;
  }
  std::fstream file(d->imagePath, std::ios::binary | std::ios::in | std::ios::out);
  if (!file) return false;
  file.seekp(static_cast<std::streamoff>(offset));
  file.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  file.flush();
  return static_cast<bool>(file);
}

ByteReader Disks::ReaderOf(std::int32_t disk) const {
  return [this, disk](std::uint64_t offset, std::uint8_t* out, std::size_t size) {
    return ReadBytes(disk, offset, out, size);
  };
}

std::uint32_t Disks::ReadLayout(std::int32_t disk, bool extended, DiskLayout& out) {
  auto lock = m_.Lock();
  if (m_failingLayoutReads > 0) {
    --m_failingLayoutReads;
    return kErrorNotReady;
  }
  const std::optional<DiskConfig> d = Find(disk);
  if (!d) return kErrorFileNotFound;
  DiskLayout layout;
  if (!ReadDiskLayout(ReaderOf(disk), d->bytesPerSector, d->sizeBytes, layout)) return kErrorNotReady;
  if (!extended && layout.style == kStyleGpt) return kErrorInvalidFunction;
  out = layout;
  return kErrorSuccess;
}

std::uint32_t Disks::WriteLayout(std::int32_t disk, const DiskLayout& layout) {
  auto lock = m_.Lock();
  const std::optional<DiskConfig> d = Find(disk);
  if (!d) return kErrorFileNotFound;
  const std::uint32_t error = WriteDiskLayout(
      ReaderOf(disk),
      [this, disk](std::uint64_t offset, const std::uint8_t* data, std::size_t size) {
        return WriteBytes(disk, offset, data, size);
      },
      d->bytesPerSector, d->sizeBytes, layout);
  if (error != kErrorSuccess) return error;
  if (m_writesImage[disk] != d->imagePath) m_writes[disk] = LayoutWrites{};
  m_writesImage[disk] = d->imagePath;
  ++m_writes[disk].count;
  m_writes[disk].lastTick = m_.Now();
  return kErrorSuccess;
}

std::uint32_t Disks::CreateDisk(std::int32_t disk, std::uint32_t style, std::uint32_t signature) {
  auto lock = m_.Lock();
  const std::optional<DiskConfig> d = Find(disk);
  if (!d) return kErrorFileNotFound;
  if (style != kStyleMbr) return kErrorNotSupported;  // a GPT disk is not made here
  DiskLayout empty;
  empty.style = kStyleMbr;
  empty.signature = signature;
  return WriteLayout(disk, empty);
}

std::uint32_t Disks::ReadSectors(std::int32_t disk, std::uint64_t offset, std::uint8_t* out, std::size_t size) const {
  auto lock = m_.Lock();
  const std::optional<DiskConfig> d = Find(disk);
  if (!d) return kErrorFileNotFound;
  if (offset % d->bytesPerSector != 0 || size % d->bytesPerSector != 0 || offset + size > d->sizeBytes) {
    return kErrorInvalidParameter;
  }
  return ReadBytes(disk, offset, out, size) ? kErrorSuccess : kErrorNotReady;
}

bool Disks::Table(std::int32_t disk, DiskLayout& out) const {
  auto lock = m_.Lock();
  const std::optional<DiskConfig> d = Find(disk);
  return d && ReadDiskLayout(ReaderOf(disk), d->bytesPerSector, d->sizeBytes, out);
}

LayoutWrites Disks::WritesOf(std::int32_t disk) const {
  auto lock = m_.Lock();
  const std::optional<DiskConfig> d = Find(disk);
  auto image = m_writesImage.find(disk);
  if (!d || image == m_writesImage.end() || image->second != d->imagePath) return LayoutWrites{};
  auto it = m_writes.find(disk);
  return it == m_writes.end() ? LayoutWrites{} : it->second;
}

void Disks::FailNextLayoutReads(int count) {
  auto lock = m_.Lock();
  m_failingLayoutReads = count;
}

void Disks::LogCall(const DiskCall& call) {
  auto lock = m_.Lock();
  m_calls.push_back(call);
}

std::vector<DiskCall> Disks::Calls() const {
  auto lock = m_.Lock();
  return m_calls;
}

void Disks::ClearCalls() {
  auto lock = m_.Lock();
  m_calls.clear();
}

}  // namespace sw::winsim
