// Partition table changes on session disks.

#include "disk/partitions.h"

#include "disk/disk_contents.h"
#include "disk/partition_sizes.h"

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

bool Used(const PartitionEntry& e) { return e.PartitionType != kPartitionEntryUnused && e.PartitionLength > 0; }

// [start, end) overlaps a used entry of the whole layout (primaries, containers, logical drives).
bool OverlapsAnything(const DriveLayout& layout, std::int64_t start, std::int64_t end) {
  for (const PartitionEntry& e : layout.entries) {
    if (!Used(e) || e.StartingOffset < 0) continue;
    const std::int64_t eEnd = e.StartingOffset + e.PartitionLength;
    if (start < eEnd && e.StartingOffset < end) return true;
  }
  return false;
}

// Whole sectors, each of start and length within what an MBR entry's 32 bits hold.
bool MbrAddressable(std::int64_t start, std::int64_t length, std::uint32_t bytesPerSector) {
  if (bytesPerSector == 0 || start < 0 || length <= 0) return false;
  const auto bps = static_cast<std::int64_t>(bytesPerSector);
  return start % bps == 0 && length % bps == 0 && static_cast<std::uint64_t>(start / bps) <= kMbrMaxSectors &&
         static_cast<std::uint64_t>(length / bps) <= kMbrMaxSectors;
}

std::uint64_t AddressableMiB(std::int64_t start, std::uint32_t bytesPerSector) {
  const std::uint64_t bytes = kMbrMaxSectors * bytesPerSector;
  const auto from = static_cast<std::uint64_t>(start);
  return bytes > from ? (bytes - from) / kMiB : 0;
}

std::string Format(const char* format, std::int64_t a, const std::string& text = std::string()) {
  char line[400];
  std::snprintf(line, sizeof line, format, static_cast<long long>(a), text.c_str());
  return line;
}

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
    LayoutRead read = ReadLayoutEx(handle, kExtendedLayoutBufferSize);
    if (!read.ok) read = ReadLayout(handle, LayoutCalls::Legacy);
    io::CloseDisk(handle);
    if (read.IsMbr() && read.layout.Signature != 0) signatures.push_back(read.layout.Signature);
  }
  return signatures;
}

std::uint32_t NewDiskSignature(const RandomSource& random) {
  return ChooseDiskSignature(SignaturesInUse(), OrDefault(random));
}

InitResult EnsureDiskInitialized(SessionDiskHandle& disk, LayoutCalls calls, LayoutRead& read, DiskPrompts& prompts,
                                 const RandomSource& random) {
  // What cannot be read is not empty: nothing is written and nobody is asked to initialise it.
  if (!read.ok) {
    prompts.Refuse(LayoutUnreadableText(disk.Disk()));
    disk.Close();
    return InitResult::Abandon;
  }
  DriveLayout& layout = read.layout;
  if (calls == LayoutCalls::Extended && layout.PartitionStyle != kPartitionStyleMbr) {
    prompts.ShowNotHandled();
    disk.Close();
    return InitResult::Abandon;
  }
  if (!IsEmptyTable(layout)) return InitResult::Proceed;
  // No table may still mean data: a disk written whole by another system.
  if (layout.Signature == 0) {
    DiskGeometry geometry;
    const RawContents contents = QueryGeometry(disk.Get(), geometry)
                                     ? ReadRawContents(disk.Disk(), GeometrySize(geometry), geometry.BytesPerSector)
                                     : RawContents{};
    if (!contents.read || !contents.description.empty()) {
      if (!prompts.ConfirmErase(RawDataQuestion(disk.Disk(), contents))) {
        disk.Close();
        return InitResult::Abandon;
      }
    } else if (!prompts.AskInitialize()) {
      disk.Close();
      return InitResult::Abandon;
    }
  } else if (!prompts.AskInitialize()) {
    disk.Close();
    return InitResult::Abandon;
  }
  if (calls == LayoutCalls::Legacy) {
    DriveLayout fresh;
    fresh.PartitionCount = 4;
    fresh.Signature = NewDiskSignature(random);
    fresh.entries.resize(kPrimaryEntries);
    std::vector<std::uint8_t> buffer = PackDriveLayout(fresh, kLegacyLayoutBufferSize);
    if (!io::DeviceIoControl(disk.Get(), kIoctlDiskSetDriveLayout, buffer.data(),
                             static_cast<std::uint32_t>(buffer.size()), nullptr, 0, nullptr)) {
      prompts.Refuse(LayoutUnreadableText(disk.Disk()));
      disk.Close();
      return InitResult::Abandon;
    }
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
  read = ReadLayoutEx(disk.Get(), kExtendedLayoutBufferSize);
  if (!read.IsMbr()) {
    prompts.Refuse(LayoutUnreadableText(disk.Disk()));
    disk.Close();
    return InitResult::Abandon;
  }
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
      std::count_if(regions.begin(), regions.end(), [](const DiskRegion& r) { return r.number != 0 && !r.logical; }));
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
  LayoutRead read = ReadLayout(handle.Get(), calls);
  if (EnsureDiskInitialized(handle, calls, read, prompts, random) == InitResult::Abandon) {
    result.outcome = AddOutcome::Abandoned;
    return result;
  }
  const DriveLayout& layout = read.layout;
  const DiskRegion& region = regions[static_cast<std::size_t>(selectedRow)];
  result.request.availableMiB = static_cast<std::uint32_t>(region.length / kMiB);
  result.request.calls = calls;
  result.request.disk = disk;
  result.request.slot = FindSlot(layout, region.number);
  if (result.request.slot < 0) {
    // Every entry holds a partition or an extended partition: there is no room for another.
    if (region.number == 0) result.outcome = AddOutcome::TooManyPartitions;
    return result;
  }
  result.request.newNumber = NextPartitionNumber(layout);
  result.request.regionStart = region.start;
  result.request.regionLength = region.length;
  result.request.signature = layout.Signature;
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
  // Everything the Add decided on is checked again now, from a fresh read of the whole layout.
  LayoutRead read = ReadLayoutEx(handle.Get(), kExtendedLayoutBufferSize);
  const std::int64_t size = GeometrySize(geometry);
  const std::int64_t start = request.regionStart;
  const std::int64_t length = static_cast<std::int64_t>(request.requestedMiB) * kMiB;
  if (!read.ok || size == 0) {
    result.refusal = LayoutUnreadableText(request.disk);
    return result;
  }
  DriveLayout& layout = read.layout;
  EnsureFourEntries(layout);
  const PartitionEntry& slot = layout.entries[static_cast<std::size_t>(request.slot)];
  const std::int64_t reserved = kReservedSectors * static_cast<std::int64_t>(geometry.BytesPerSector);
  if (layout.PartitionStyle != kPartitionStyleMbr || layout.Signature != request.signature) {
    result.refusal = DiskChangedText(request.disk, kAnotherDiskNow);
  } else if (slot.PartitionType != kPartitionEntryUnused || slot.PartitionNumber != 0) {
    result.refusal = DiskChangedText(request.disk, kEntryInUseNow);
  } else if (start < reserved || length <= 0 || start > size - length || OverlapsAnything(layout, start, start + length)) {
    result.refusal = DiskChangedText(request.disk, kSpaceTakenNow);
  } else if (!MbrAddressable(start, length, geometry.BytesPerSector)) {
    result.refusal = MbrLimitText(request.disk, geometry.BytesPerSector, AddressableMiB(start, geometry.BytesPerSector));
  }
  if (!result.refusal.empty()) return result;
  if (extendedPath && progress) progress(20);
  FillNewPartitionEntry(layout.entries[static_cast<std::size_t>(request.slot)], start, request.requestedMiB,
                        request.newNumber, geometry.BytesPerSector, extendedPath);
  result.written = WriteDriveLayout(handle.Get(), LayoutCalls::Extended, layout, true);
  if (!result.written) {
    result.refusal = kTableWriteFailedText;
    return result;
  }
  const LayoutRead after = ReadLayoutEx(handle.Get(), kExtendedLayoutBufferSize);
  if (after.ok && static_cast<std::size_t>(request.slot) < after.layout.entries.size()) {
    result.partitionNumber = after.layout.entries[static_cast<std::size_t>(request.slot)].PartitionNumber;
  }
  return result;
}

bool DeletePartitionEntry(std::int32_t disk, const DiskRegion& region, std::uint32_t signature,
                          const SessionDisks& sessions, DiskPrompts& prompts, const std::function<void()>& beforeWrite) {
  const LayoutCalls calls = ChooseLayoutCalls();
  DiskGeometry geometry;
  if (region.number == 0 || !ReadGeometry(PhysicalDrivePath(disk), geometry)) return false;
  SessionDiskHandle handle = OpenSessionDiskForWrite(disk, sessions);
  if (!handle.IsValid()) return false;
  // The partition the user confirmed must still be the one in the table, on the same disk.
  LayoutRead read = ReadLayout(handle.Get(), calls);
  if (!read.ok) {
    prompts.Refuse(LayoutUnreadableText(disk));
    return false;
  }
  DriveLayout& layout = read.layout;
  if (calls == LayoutCalls::Extended && layout.PartitionStyle != kPartitionStyleMbr) {
    prompts.ShowNotHandled();
    return false;
  }
  if (layout.Signature != signature) {
    prompts.Refuse(DiskChangedText(disk, kAnotherDiskNow));
    return false;
  }
  auto isRegion = [&](const PartitionEntry& e) {
    return static_cast<std::int64_t>(e.PartitionNumber) == region.number && e.StartingOffset == region.start &&
           e.PartitionLength == region.length;
  };
  EnsureFourEntries(layout);
  int slot = -1;
  for (std::size_t i = 0; i < kPrimaryEntries; ++i) {
    if (isRegion(layout.entries[i])) slot = static_cast<int>(i);
  }
  if (slot < 0) {
    bool logical = false;
    for (std::size_t i = kPrimaryEntries; i < layout.entries.size(); ++i) logical = logical || isRegion(layout.entries[i]);
    prompts.Refuse(logical ? LogicalDriveText(region.number) : DiskChangedText(disk, kPartitionGoneNow));
    return false;
  }
  EmptyPartitionEntry(layout.entries[static_cast<std::size_t>(slot)], calls == LayoutCalls::Extended);
  if (beforeWrite) beforeWrite();
  const bool written = WriteDriveLayout(handle.Get(), calls, layout, true);
  if (!written) prompts.Refuse(LayoutUnreadableText(disk));
  return written;
}

std::int64_t WizardPartitionStart(std::uint32_t bytesPerSector) {
  return kReservedSectors * static_cast<std::int64_t>(bytesPerSector != 0 ? bytesPerSector : 512);
}

DriveLayout WholeDiskTable(std::int64_t diskSize, std::uint32_t requestedMiB, std::uint32_t bytesPerSector,
                           std::uint32_t signature) {
  DriveLayout layout;
  layout.PartitionStyle = kPartitionStyleMbr;
  layout.PartitionCount = 4;
  layout.Signature = signature;
  layout.entries.resize(kPrimaryEntries);
  for (auto& e : layout.entries) e.RewritePartition = 1;
  const std::int64_t start = WizardPartitionStart(bytesPerSector);
  const auto sector = static_cast<std::int64_t>(bytesPerSector != 0 ? bytesPerSector : 512);
  PartitionEntry& first = layout.entries[0];
  first.StartingOffset = start;
  first.PartitionLength = std::min(static_cast<std::int64_t>(requestedMiB) * kMiB, diskSize - start) / sector * sector;
  first.HiddenSectors = static_cast<std::uint32_t>(start / sector);
  first.PartitionNumber = 1;
  first.PartitionType = kPartitionIfs;
  first.BootIndicator = 0;
  first.RecognizedPartition = 1;
  return layout;
}

bool DiskIdentity::operator==(const DiskIdentity& o) const {
  if (read != o.read || style != o.style || signature != o.signature || entries.size() != o.entries.size()) return false;
  for (std::size_t i = 0; i < entries.size(); ++i) {
    const PartitionEntry& a = entries[i];
    const PartitionEntry& b = o.entries[i];
    if (a.StartingOffset != b.StartingOffset || a.PartitionLength != b.PartitionLength ||
        a.PartitionType != b.PartitionType || a.PartitionNumber != b.PartitionNumber) {
      return false;
    }
  }
  return true;
}

DiskIdentity IdentityOf(const LayoutRead& read) {
  DiskIdentity identity;
  identity.read = read.ok;
  if (!read.ok) return identity;
  identity.style = read.layout.PartitionStyle;
  identity.signature = read.layout.Signature;
  identity.entries = read.layout.entries;
  return identity;
}

namespace {

// The layout the wizard reads to ask about a disk, and again to check it before writing.
LayoutRead ReadForWizard(io::DiskHandle handle) {
  LayoutRead read = ReadLayoutEx(handle, kWizardLayoutExBufferSize);
  if (!read.ok) read = ReadLayout(handle, LayoutCalls::Legacy);
  return read;
}

}  // namespace

WizardWrite WritePartitionTableForWizard(std::int32_t disk, std::optional<std::uint32_t> requestedMiB,
                                         const SessionDisks& sessions, const DiskIdentity& expected,
                                         const RandomSource& random) {
  WizardWrite result;
  if (!sessions.Contains(disk)) {
    result.refusal = kDiskUnavailableText;
    return result;
  }
  const LayoutCalls calls = ChooseLayoutCalls();
  DiskGeometry geometry;
  const std::int64_t size = ReadGeometry(PhysicalDrivePath(disk), geometry) ? GeometrySize(geometry) : 0;
  const std::int64_t start = WizardPartitionStart(geometry.BytesPerSector);
  // A disk too small for the first partition would get a negative length.
  if (size <= start) {
    result.refusal = kUnableToPartitionText;
    return result;
  }
  const auto wholeMiB = static_cast<std::uint32_t>(std::min<std::int64_t>(size / kMiB, 0xFFFFFFFFll));
  const std::uint32_t mib = requestedMiB.value_or(wholeMiB);
  SessionDiskHandle handle = OpenSessionDiskForWrite(disk, sessions);
  if (!handle.IsValid()) {
    result.refusal = kDiskUnavailableText;
    return result;
  }
  // The disk the user was asked about, as it was then: not another disk that took its number, nor
  // one another program changed since.
  if (!(IdentityOf(ReadForWizard(handle.Get())) == expected)) {
    result.refusal = DiskChangedText(disk, kAnotherDiskNow);
    return result;
  }
  DriveLayout table = WholeDiskTable(size, mib, geometry.BytesPerSector, NewDiskSignature(random));
  const PartitionEntry& first = table.entries[0];
  if (!MbrAddressable(first.StartingOffset, first.PartitionLength, geometry.BytesPerSector)) {
    result.refusal = MbrLimitText(disk, geometry.BytesPerSector, AddressableMiB(start, geometry.BytesPerSector));
    return result;
  }
  bool ok = false;
  if (calls == LayoutCalls::Legacy) {
    std::vector<std::uint8_t> buffer = PackDriveLayout(table, kLegacyLayoutBufferSize);
    ok = io::DeviceIoControl(handle.Get(), kIoctlDiskSetDriveLayout, buffer.data(),
                             static_cast<std::uint32_t>(buffer.size()), nullptr, 0, nullptr);
  } else {
    std::vector<std::uint8_t> buffer = PackDriveLayoutEx(table, kWizardLayoutExBufferSize);
    ok = io::DeviceIoControl(handle.Get(), kIoctlDiskSetDriveLayoutEx, buffer.data(),
                             static_cast<std::uint32_t>(buffer.size()), nullptr, 0, nullptr);
    io::DeviceIoControl(handle.Get(), kIoctlDiskUpdateProperties, nullptr, 0, nullptr, 0, nullptr);
  }
  result.written = ok;
  if (!ok) result.refusal = kTableWriteFailedText;
  return result;
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
  const LayoutRead read = ReadForWizard(handle);
  DiskGeometry geometry;
  const bool sized = QueryGeometry(handle, geometry);
  io::CloseDisk(handle);
  check.identity = IdentityOf(read);
  if (!read.ok) {
    // What cannot be read may still be there: ask rather than assume an empty disk.
    check.wouldErase = true;
    check.question = std::string(LayoutUnreadableText(disk)).substr(0, LayoutUnreadableText(disk).find('\n')) +
                     " It may hold partitions.\n" + kEraseQuestionTail;
    return check;
  }
  check.wouldErase = LayoutWouldBeErased(read.layout);
  if (check.wouldErase) {
    check.question = DescribeErasedContents(disk, read.layout, volumes);
    return check;
  }
  // No partition table at all: a disk written whole by another system still holds data.
  const bool tableless = read.layout.PartitionStyle == kPartitionStyleRaw ||
                         (read.layout.PartitionCount == 0 && read.layout.Signature == 0);
  if (tableless) {
    const RawContents contents =
        sized ? ReadRawContents(disk, GeometrySize(geometry), geometry.BytesPerSector) : RawContents{};
    if (!contents.read || !contents.description.empty()) {
      check.wouldErase = true;
      check.question = RawDataQuestion(disk, contents);
    }
  }
  return check;
}

std::string RawDataQuestion(std::int32_t disk, const RawContents& contents) {
  char line[200];
  if (contents.read) {
    std::snprintf(line, sizeof line, "Disk %d has no partition table, but it is not empty: it holds %s.\n", disk,
                  contents.description.c_str());
  } else {
    std::snprintf(line, sizeof line, "Disk %d has no partition table, and what it holds cannot be read.\n", disk);
  }
  return std::string(line) + kEraseQuestionTail;
}

std::string LayoutUnreadableText(std::int32_t disk) {
  return Format("The partition table of disk %lld could not be read.\nNothing was changed.", disk);
}

std::string DiskChangedText(std::int32_t disk, const std::string& why) {
  return Format("Disk %lld has changed since it was read: %s\nNothing was changed.", disk, why);
}

std::string LogicalDriveText(std::int32_t number) {
  return Format("Partition %lld is a logical drive inside an extended partition; this utility deletes primary "
                "partitions only.\nNothing was changed.",
                number);
}

std::string MbrLimitText(std::int32_t disk, std::uint32_t bytesPerSector, std::uint64_t addressableMiB) {
  char line[320];
  std::snprintf(line, sizeof line,
                "An MBR partition table cannot address disk %d beyond 2^32 sectors of %u bytes.\n"
                "The partition must end within the first %llu MB from its start.\nNothing was changed.",
                disk, bytesPerSector, static_cast<unsigned long long>(addressableMiB));
  return line;
}

}  // namespace sw::disk
