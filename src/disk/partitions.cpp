// Partition table changes on session disks.

#include "disk/partitions.h"

#include <algorithm>
#include <cstdio>
#include <random>

namespace sw::disk {

namespace {

constexpr std::int32_t kSignatureScanDisks = 64;
constexpr const char* kEraseQuestionTail =
    "Writing a new partition table erases it and all data on the disk.\nDo you want to continue?";

RandomSource OrDefault(const RandomSource& random) {
  if (random) return random;
  return [] {
    static std::random_device device;
    return static_cast<std::uint32_t>(device());
  };
}

bool IsEmptyTable(const DriveLayout& layout) { return layout.PartitionCount == 0; }

std::size_t Examined(const DriveLayout& layout) { return std::min(layout.entries.size(), kPrimaryEntries); }

void EnsureFourEntries(DriveLayout& layout) {
  if (layout.entries.size() < kPrimaryEntries) layout.entries.resize(kPrimaryEntries);
}

const char* TypeName(std::uint8_t type) {
  switch (type) {
    case 0x07: return "NTFS";
    case 0x0B: case 0x0C: return "FAT32";
    case 0x01: case 0x04: case 0x06: case 0x0E: return "FAT";
    case 0x05: case 0x0F: return "extended";
    case 0x82: return "Linux swap";
    case 0x83: return "Linux";
    default: return nullptr;
  }
}

}  // namespace

bool SessionDisks::Contains(std::int32_t disk) const {
  return disk > 0 && std::find(disks_.begin(), disks_.end(), disk) != disks_.end();
}

SessionDiskHandle::SessionDiskHandle(SessionDiskHandle&& other) noexcept : handle_(other.handle_), disk_(other.disk_) {
  other.handle_ = io::DiskHandle{};
}

SessionDiskHandle& SessionDiskHandle::operator=(SessionDiskHandle&& other) noexcept {
  if (this != &other) {
    Close();
    handle_ = other.handle_;
    disk_ = other.disk_;
    other.handle_ = io::DiskHandle{};
  }
  return *this;
}

SessionDiskHandle OpenSessionDiskForWrite(std::int32_t disk, const SessionDisks& sessions) {
  SessionDiskHandle handle;
  if (!sessions.Contains(disk)) return handle;
  handle.handle_ = OpenDiskForWrite(disk);
  handle.disk_ = disk;
  return handle;
}

std::uint32_t ChooseDiskSignature(const std::vector<std::uint32_t>& inUse, const RandomSource& random) {
  auto taken = [&](std::uint32_t v) { return v == 0 || std::find(inUse.begin(), inUse.end(), v) != inUse.end(); };
  std::uint32_t value = 0;
  for (int attempt = 0; attempt < 64; ++attempt) {
    value = random();
    if (!taken(value)) return value;
  }
  // A source that keeps repeating itself: walk on from its last value; inUse is finite.
  while (taken(value)) ++value;
  return value;
}

std::vector<std::uint32_t> SignaturesInUse() {
  std::vector<std::uint32_t> signatures;
  for (std::int32_t disk = 0; disk < kSignatureScanDisks; ++disk) {
    io::DiskHandle handle = io::OpenDisk(PhysicalDrivePath(disk), io::DiskAccess::Query);
    if (!handle.IsValid()) continue;
    bool ok = false;
    DriveLayout layout = ReadDriveLayoutEx(handle, kExtendedLayoutBufferSize, &ok);
    if (!ok) layout = ReadDriveLayout(handle, LayoutCalls::Legacy, &ok);
    io::CloseDisk(handle);
    if (ok && layout.PartitionStyle == kPartitionStyleMbr && layout.Signature != 0) {
      signatures.push_back(layout.Signature);
    }
  }
  return signatures;
}

std::uint32_t NewDiskSignature(const RandomSource& random) {
  return ChooseDiskSignature(SignaturesInUse(), OrDefault(random));
}

InitResult EnsureDiskInitialized(SessionDiskHandle& disk, LayoutCalls calls, DriveLayout& layout,
                                 DiskPrompts& prompts, const RandomSource& random) {
  if (calls == LayoutCalls::Extended && layout.PartitionStyle != kPartitionStyleMbr) {
    prompts.ShowNotHandled();
    disk.Close();
    return InitResult::Abandon;
  }
  if (!IsEmptyTable(layout)) return InitResult::Proceed;
  if (!prompts.AskInitialize()) {
    disk.Close();
    return InitResult::Abandon;
  }
  if (calls == LayoutCalls::Legacy) {
    DriveLayout fresh;
    fresh.PartitionCount = 4;
    fresh.Signature = NewDiskSignature(random);
    fresh.entries.resize(kPrimaryEntries);
    std::vector<std::uint8_t> buffer = PackDriveLayout(fresh, kLegacyLayoutBufferSize);
    io::DeviceIoControl(disk.Get(), kIoctlDiskSetDriveLayout, buffer.data(),
                        static_cast<std::uint32_t>(buffer.size()), nullptr, 0, nullptr);
    layout = fresh;
    return InitResult::Proceed;
  }
  CreateDisk create;
  create.PartitionStyle = kPartitionStyleMbr;
  create.Signature = NewDiskSignature(random);
  std::vector<std::uint8_t> buffer = PackCreateDisk(create);
  if (!io::DeviceIoControl(disk.Get(), kIoctlDiskCreateDisk, buffer.data(), static_cast<std::uint32_t>(buffer.size()),
                           nullptr, 0, nullptr)) {
    disk.Close();
    return InitResult::Abandon;
  }
  io::DeviceIoControl(disk.Get(), kIoctlDiskUpdateProperties, nullptr, 0, nullptr, 0, nullptr);
  layout = ReadDriveLayoutEx(disk.Get(), kExtendedLayoutBufferSize);
  return InitResult::Proceed;
}

int FindSlot(const DriveLayout& layout, std::int32_t number) {
  int slot = -1;
  for (std::size_t i = 0; i < Examined(layout); ++i) {
    const PartitionEntry& e = layout.entries[i];
    // An extended container also carries number 0 but is not free: writing over it loses its
    // logical drives.
    bool matches = number == 0 ? (e.PartitionNumber == 0 && e.PartitionType == kPartitionEntryUnused)
                               : static_cast<std::int64_t>(e.PartitionNumber) == number;
    if (matches) slot = static_cast<int>(i);
  }
  return slot;
}

std::uint32_t NextPartitionNumber(const DriveLayout& layout) {
  std::uint32_t largest = 0;
  for (std::size_t i = 0; i < Examined(layout); ++i) largest = std::max(largest, layout.entries[i].PartitionNumber);
  return largest + 1;
}

std::size_t CountPartitions(const std::vector<DiskRegion>& regions) {
  return static_cast<std::size_t>(
      std::count_if(regions.begin(), regions.end(), [](const DiskRegion& r) { return r.number != 0; }));
}

AddPreparation PrepareAddPartition(std::int32_t disk, const std::vector<DiskRegion>& regions, int selectedRow,
                                   const SessionDisks& sessions, DiskPrompts& prompts, const RandomSource& random) {
  AddPreparation result;
  if (CountPartitions(regions) >= kPrimaryEntries) {
    result.outcome = AddOutcome::TooManyPartitions;
    return result;
  }
  LayoutCalls calls = ChooseLayoutCalls();
  DiskGeometry geometry;
  if (!ReadGeometry(PhysicalDrivePath(disk), geometry)) return result;
  if (selectedRow < 0 || static_cast<std::size_t>(selectedRow) >= regions.size()) return result;
  SessionDiskHandle handle = OpenSessionDiskForWrite(disk, sessions);
  if (!handle.IsValid()) return result;
  result.diskOpened = true;
  DriveLayout layout = ReadDriveLayout(handle.Get(), calls);
  if (EnsureDiskInitialized(handle, calls, layout, prompts, random) == InitResult::Abandon) {
    result.outcome = AddOutcome::Abandoned;
    return result;
  }
  const DiskRegion& region = regions[static_cast<std::size_t>(selectedRow)];
  result.request.availableMiB = static_cast<std::uint32_t>(region.length / kMiB);
  result.request.calls = calls;
  result.request.disk = disk;
  result.request.slot = FindSlot(layout, region.number);
  if (result.request.slot < 0) return result;  // nothing safe to write into
  result.request.newNumber = NextPartitionNumber(layout);
  result.request.regionStart = region.start;
  result.request.regionLength = region.length;
  result.outcome = AddOutcome::Ready;
  return result;
}

void FillNewPartitionEntry(PartitionEntry& entry, std::int64_t start, std::uint32_t requestedMiB,
                           std::uint32_t number, std::uint32_t bytesPerSector, bool extendedPath) {
  entry.StartingOffset = start;
  entry.PartitionLength = static_cast<std::int64_t>(requestedMiB) * kMiB;
  entry.PartitionNumber = number;
  if (extendedPath) entry.PartitionStyle = kPartitionStyleMbr;
  entry.RewritePartition = 1;
  entry.BootIndicator = 0;
  entry.PartitionType = kPartitionIfs;
  entry.RecognizedPartition = 1;
  entry.HiddenSectors = bytesPerSector != 0 ? static_cast<std::uint32_t>(start / bytesPerSector) : 0;
}

void EmptyPartitionEntry(PartitionEntry& entry, bool extendedPath) {
  entry.StartingOffset = 0;
  entry.PartitionLength = 0;
  entry.HiddenSectors = 0;
  entry.PartitionNumber = 0;
  entry.PartitionType = 0;
  entry.BootIndicator = 0;
  entry.RecognizedPartition = 0;
  entry.RewritePartition = 1;
  if (extendedPath) entry.PartitionStyle = kPartitionStyleMbr;
}

std::string ProgressText(int percent) {
  char text[48];
  std::snprintf(text, sizeof text, "Percent Completed ... %d%%", percent);
  return text;
}

CreatePartitionResult CreatePartitionTableEntry(const PartitionRequest& request, const SessionDisks& sessions,
                                                const std::function<void(int)>& progress) {
  CreatePartitionResult result;
  if (request.slot < 0 || static_cast<std::size_t>(request.slot) >= kPrimaryEntries) return result;
  DiskGeometry geometry;
  if (!ReadGeometry(PhysicalDrivePath(request.disk), geometry)) return result;
  SessionDiskHandle handle = OpenSessionDiskForWrite(request.disk, sessions);
  if (!handle.IsValid()) return result;
  result.opened = true;
  const bool extendedPath = request.calls == LayoutCalls::Extended;
  bool read = false;
  DriveLayout layout = ReadDriveLayoutEx(handle.Get(), kExtendedLayoutBufferSize, &read);
  // A failed read is a zeroed table: writing it back with the new entry would erase every other
  // partition without a word.
  if (!read || layout.PartitionStyle != kPartitionStyleMbr) return result;
  if (extendedPath && progress) progress(20);
  EnsureFourEntries(layout);
  FillNewPartitionEntry(layout.entries[static_cast<std::size_t>(request.slot)], request.regionStart,
                        request.requestedMiB, request.newNumber, geometry.BytesPerSector, extendedPath);
  result.written = WriteDriveLayout(handle.Get(), LayoutCalls::Extended, layout, true);
  DriveLayout after = ReadDriveLayoutEx(handle.Get(), kExtendedLayoutBufferSize);
  if (static_cast<std::size_t>(request.slot) < after.entries.size()) {
    result.partitionNumber = after.entries[static_cast<std::size_t>(request.slot)].PartitionNumber;
  }
  return result;
}

bool DeletePartitionEntry(std::int32_t disk, std::int32_t number, const SessionDisks& sessions, DiskPrompts& prompts,
                          const RandomSource& random, const std::function<void()>& beforeWrite) {
  LayoutCalls calls = ChooseLayoutCalls();
  DiskGeometry geometry;
  if (!ReadGeometry(PhysicalDrivePath(disk), geometry)) return false;
  SessionDiskHandle handle = OpenSessionDiskForWrite(disk, sessions);
  if (!handle.IsValid()) return false;
  DriveLayout layout = ReadDriveLayout(handle.Get(), calls);
  if (EnsureDiskInitialized(handle, calls, layout, prompts, random) == InitResult::Abandon) return false;
  EnsureFourEntries(layout);
  // A number the table no longer holds (the view is stale) must not empty some other slot.
  const int slot = FindSlot(layout, number);
  if (number == 0 || slot < 0) return false;
  EmptyPartitionEntry(layout.entries[static_cast<std::size_t>(slot)], calls == LayoutCalls::Extended);
  if (beforeWrite) beforeWrite();
  return WriteDriveLayout(handle.Get(), calls, layout, true);
}

DriveLayout WholeDiskTable(std::int64_t diskSize, std::uint32_t requestedMiB, std::uint32_t bytesPerSector,
                           std::uint32_t signature) {
  DriveLayout layout;
  layout.PartitionStyle = kPartitionStyleMbr;
  layout.PartitionCount = 4;
  layout.Signature = signature;
  layout.entries.resize(kPrimaryEntries);
  for (auto& e : layout.entries) e.RewritePartition = 1;
  PartitionEntry& first = layout.entries[0];
  first.StartingOffset = kWizardPartitionStart;
  first.PartitionLength = std::min(static_cast<std::int64_t>(requestedMiB) * kMiB, diskSize - kWizardPartitionStart);
  first.HiddenSectors = bytesPerSector != 0 ? static_cast<std::uint32_t>(kWizardPartitionStart / bytesPerSector) : 0;
  first.PartitionNumber = 1;
  first.PartitionType = kPartitionIfs;
  first.BootIndicator = 0;
  first.RecognizedPartition = 1;
  return layout;
}

bool WritePartitionTableForWizard(std::int32_t disk, std::optional<std::uint32_t> requestedMiB,
                                  const SessionDisks& sessions, const RandomSource& random) {
  if (!sessions.Contains(disk)) return false;
  LayoutCalls calls = ChooseLayoutCalls();
  DiskGeometry geometry;
  if (!ReadGeometry(PhysicalDrivePath(disk), geometry)) return false;
  const std::int64_t size = GeometrySize(geometry);
  // A disk too small for the first partition would get a negative length.
  if (size <= kWizardPartitionStart) return false;
  const auto wholeMiB = static_cast<std::uint32_t>(std::min<std::int64_t>(size / kMiB, 0xFFFFFFFFll));
  std::uint32_t mib = requestedMiB.value_or(wholeMiB);
  SessionDiskHandle handle = OpenSessionDiskForWrite(disk, sessions);
  if (!handle.IsValid()) return false;
  DriveLayout table = WholeDiskTable(size, mib, geometry.BytesPerSector, NewDiskSignature(random));
  if (calls == LayoutCalls::Legacy) {
    std::vector<std::uint8_t> buffer = PackDriveLayout(table, kLegacyLayoutBufferSize);
    io::DeviceIoControl(handle.Get(), kIoctlDiskSetDriveLayout, buffer.data(),
                        static_cast<std::uint32_t>(buffer.size()), nullptr, 0, nullptr);
  } else {
    std::vector<std::uint8_t> buffer = PackDriveLayoutEx(table, kWizardLayoutExBufferSize);
    io::DeviceIoControl(handle.Get(), kIoctlDiskSetDriveLayoutEx, buffer.data(),
                        static_cast<std::uint32_t>(buffer.size()), nullptr, 0, nullptr);
    io::DeviceIoControl(handle.Get(), kIoctlDiskUpdateProperties, nullptr, 0, nullptr, 0, nullptr);
  }
  return true;
}

bool LayoutWouldBeErased(const DriveLayout& layout) {
  if (layout.PartitionStyle == kPartitionStyleGpt) return true;
  if (layout.PartitionStyle != kPartitionStyleMbr) return false;
  for (std::size_t i = 0; i < Examined(layout); ++i) {
    if (layout.entries[i].PartitionType != kPartitionEntryUnused && layout.entries[i].PartitionLength > 0) return true;
  }
  return false;
}

std::string DescribeErasedContents(std::int32_t disk, const DriveLayout& layout,
                                   const std::vector<PartitionVolume>& volumes) {
  char line[160];
  std::string text;
  if (layout.PartitionStyle == kPartitionStyleGpt) {
    std::snprintf(line, sizeof line, "Disk %d uses the GPT partition style and holds %u partition(s).\n", disk,
                  layout.PartitionCount);
    text += line;
  } else {
    std::snprintf(line, sizeof line, "Disk %d already holds:\n", disk);
    text += line;
    for (std::size_t i = 0; i < Examined(layout); ++i) {
      const PartitionEntry& e = layout.entries[i];
      if (e.PartitionType == kPartitionEntryUnused || e.PartitionLength <= 0) continue;
      std::string what;
      for (const auto& v : volumes) {
        if (v.disk == disk && v.partition == static_cast<std::int32_t>(e.PartitionNumber) && e.PartitionNumber != 0) {
          what = v.fileSystem + (v.volumePath.empty() || v.volumePath == "*" ? "" : " on " + v.volumePath);
          break;
        }
      }
      if (what.empty()) {
        const char* name = TypeName(e.PartitionType);
        char type[24];
        std::snprintf(type, sizeof type, "type 0x%02X", e.PartitionType);
        what = name != nullptr ? name : type;
      }
      std::snprintf(line, sizeof line, "  partition %u: %lld MB, %s\n", e.PartitionNumber != 0 ? e.PartitionNumber : static_cast<unsigned>(i + 1),
                    static_cast<long long>(e.PartitionLength / kMiB), what.c_str());
      text += line;
    }
  }
  text += kEraseQuestionTail;
  return text;
}

WizardEraseCheck CheckWizardErase(std::int32_t disk, const std::vector<PartitionVolume>& volumes) {
  WizardEraseCheck check;
  io::DiskHandle handle = io::OpenDisk(PhysicalDrivePath(disk), io::DiskAccess::Query);
  if (!handle.IsValid()) return check;
  bool ok = false;
  DriveLayout layout = ReadDriveLayoutEx(handle, kWizardLayoutExBufferSize, &ok);
  if (!ok) layout = ReadDriveLayout(handle, LayoutCalls::Legacy, &ok);
  io::CloseDisk(handle);
  if (!ok) {
    // What cannot be read may still be there: ask rather than assume an empty disk.
    char line[160];
    std::snprintf(line, sizeof line, "The partition table of disk %d cannot be read; it may hold partitions.\n", disk);
    check.wouldErase = true;
    check.question = std::string(line) + kEraseQuestionTail;
    return check;
  }
  check.wouldErase = LayoutWouldBeErased(layout);
  if (check.wouldErase) check.question = DescribeErasedContents(disk, layout, volumes);
  return check;
}

}  // namespace sw::disk
