// Packing of the disk control structures at their published offsets, independent of the host's
// byte order and structure padding.

#include "disk/disk_structures.h"

namespace sw::disk {

namespace {

void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
void Put64(std::uint8_t* p, std::int64_t value) {
  auto v = static_cast<std::uint64_t>(value);
  for (int i = 0; i < 8; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}
std::uint32_t Get32(const std::uint8_t* p) {
  std::uint32_t v = 0;
  for (int i = 3; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}
std::int64_t Get64(const std::uint8_t* p) {
  std::uint64_t v = 0;
  for (int i = 7; i >= 0; --i) v = (v << 8) | p[i];
  return static_cast<std::int64_t>(v);
}

// PARTITION_INFORMATION: StartingOffset 0, PartitionLength 8, HiddenSectors 16, PartitionNumber 20,
// PartitionType 24, BootIndicator 25, RecognizedPartition 26, RewritePartition 27.
// PARTITION_INFORMATION_EX: PartitionStyle 0, StartingOffset 8, PartitionLength 16,
// PartitionNumber 24, RewritePartition 28, then the MBR member at 32: PartitionType 32,
// BootIndicator 33, RecognizedPartition 34, HiddenSectors 36.
// DRIVE_LAYOUT_INFORMATION: PartitionCount 0, Signature 4, entries from 8.
// DRIVE_LAYOUT_INFORMATION_EX: PartitionStyle 0, PartitionCount 4, MBR Signature 8, entries from 48.

std::size_t EntriesReadable(std::uint32_t count, std::size_t size, std::size_t header, std::size_t entry) {
  std::size_t room = size > header ? (size - header) / entry : 0;
  return count < room ? count : room;
}

}  // namespace

std::vector<std::uint8_t> PackDiskGeometry(const DiskGeometry& g) {
  std::vector<std::uint8_t> out(kDiskGeometrySize, 0);
  Put64(&out[0], g.Cylinders);
  Put32(&out[8], g.MediaType);
  Put32(&out[12], g.TracksPerCylinder);
  Put32(&out[16], g.SectorsPerTrack);
  Put32(&out[20], g.BytesPerSector);
  return out;
}

bool UnpackDiskGeometry(const std::uint8_t* data, std::size_t size, DiskGeometry& g) {
  g = DiskGeometry{};
  if (data == nullptr || size < kDiskGeometrySize) return false;
  g.Cylinders = Get64(data);
  g.MediaType = Get32(data + 8);
  g.TracksPerCylinder = Get32(data + 12);
  g.SectorsPerTrack = Get32(data + 16);
  g.BytesPerSector = Get32(data + 20);
  return true;
}

void PackPartitionInformation(const PartitionEntry& e, std::uint8_t* out) {
  for (std::size_t i = 0; i < kPartitionInformationSize; ++i) out[i] = 0;
  Put64(out, e.StartingOffset);
  Put64(out + 8, e.PartitionLength);
  Put32(out + 16, e.HiddenSectors);
  Put32(out + 20, e.PartitionNumber);
  out[24] = e.PartitionType;
  out[25] = e.BootIndicator;
  out[26] = e.RecognizedPartition;
  out[27] = e.RewritePartition;
}

PartitionEntry UnpackPartitionInformation(const std::uint8_t* in) {
  PartitionEntry e;
  e.PartitionStyle = kPartitionStyleMbr;
  e.StartingOffset = Get64(in);
  e.PartitionLength = Get64(in + 8);
  e.HiddenSectors = Get32(in + 16);
  e.PartitionNumber = Get32(in + 20);
  e.PartitionType = in[24];
  e.BootIndicator = in[25];
  e.RecognizedPartition = in[26];
  e.RewritePartition = in[27];
  return e;
}

void PackPartitionInformationEx(const PartitionEntry& e, std::uint8_t* out) {
  for (std::size_t i = 0; i < kPartitionInformationExSize; ++i) out[i] = 0;
  Put32(out, e.PartitionStyle);
  Put64(out + 8, e.StartingOffset);
  Put64(out + 16, e.PartitionLength);
  Put32(out + 24, e.PartitionNumber);
  out[28] = e.RewritePartition;
  out[32] = e.PartitionType;
  out[33] = e.BootIndicator;
  out[34] = e.RecognizedPartition;
  Put32(out + 36, e.HiddenSectors);
}

PartitionEntry UnpackPartitionInformationEx(const std::uint8_t* in) {
  PartitionEntry e;
  e.PartitionStyle = Get32(in);
  e.StartingOffset = Get64(in + 8);
  e.PartitionLength = Get64(in + 16);
  e.PartitionNumber = Get32(in + 24);
  e.RewritePartition = in[28];
  e.PartitionType = in[32];
  e.BootIndicator = in[33];
  e.RecognizedPartition = in[34];
  e.HiddenSectors = Get32(in + 36);
  return e;
}

std::vector<std::uint8_t> PackDriveLayout(const DriveLayout& layout, std::size_t bufferSize) {
  std::vector<std::uint8_t> out(bufferSize, 0);
  if (bufferSize < kDriveLayoutHeaderSize) return out;
  Put32(&out[0], layout.PartitionCount);
  Put32(&out[4], layout.Signature);
  std::size_t room = (bufferSize - kDriveLayoutHeaderSize) / kPartitionInformationSize;
  for (std::size_t i = 0; i < layout.entries.size() && i < room; ++i) {
    PackPartitionInformation(layout.entries[i], &out[kDriveLayoutHeaderSize + i * kPartitionInformationSize]);
  }
  return out;
}

bool UnpackDriveLayout(const std::uint8_t* data, std::size_t size, DriveLayout& layout) {
  layout = DriveLayout{};
  if (data == nullptr || size < kDriveLayoutHeaderSize) return false;
  layout.PartitionStyle = kPartitionStyleMbr;
  layout.PartitionCount = Get32(data);
  layout.Signature = Get32(data + 4);
  std::size_t n = EntriesReadable(layout.PartitionCount, size, kDriveLayoutHeaderSize, kPartitionInformationSize);
  for (std::size_t i = 0; i < n; ++i) {
    layout.entries.push_back(UnpackPartitionInformation(data + kDriveLayoutHeaderSize + i * kPartitionInformationSize));
  }
  return true;
}

std::vector<std::uint8_t> PackDriveLayoutEx(const DriveLayout& layout, std::size_t bufferSize) {
  std::vector<std::uint8_t> out(bufferSize, 0);
  if (bufferSize < kDriveLayoutExHeaderSize) return out;
  Put32(&out[0], layout.PartitionStyle);
  Put32(&out[4], layout.PartitionCount);
  if (layout.PartitionStyle == kPartitionStyleMbr) Put32(&out[8], layout.Signature);
  std::size_t room = (bufferSize - kDriveLayoutExHeaderSize) / kPartitionInformationExSize;
  for (std::size_t i = 0; i < layout.entries.size() && i < room; ++i) {
    PackPartitionInformationEx(layout.entries[i], &out[kDriveLayoutExHeaderSize + i * kPartitionInformationExSize]);
  }
  return out;
}

bool UnpackDriveLayoutEx(const std::uint8_t* data, std::size_t size, DriveLayout& layout) {
  layout = DriveLayout{};
  if (data == nullptr || size < kDriveLayoutExHeaderSize) return false;
  layout.PartitionStyle = Get32(data);
  layout.PartitionCount = Get32(data + 4);
  if (layout.PartitionStyle == kPartitionStyleMbr) layout.Signature = Get32(data + 8);
  std::size_t n = EntriesReadable(layout.PartitionCount, size, kDriveLayoutExHeaderSize, kPartitionInformationExSize);
  for (std::size_t i = 0; i < n; ++i) {
    layout.entries.push_back(UnpackPartitionInformationEx(data + kDriveLayoutExHeaderSize + i * kPartitionInformationExSize));
  }
  return true;
}

// CREATE_DISK: PartitionStyle 0, then the MBR member's Signature at 4 (the GPT member fills 24).
std::vector<std::uint8_t> PackCreateDisk(const CreateDisk& create) {
  std::vector<std::uint8_t> out(kCreateDiskSize, 0);
  Put32(&out[0], create.PartitionStyle);
  if (create.PartitionStyle == kPartitionStyleMbr) Put32(&out[4], create.Signature);
  return out;
}

bool UnpackCreateDisk(const std::uint8_t* data, std::size_t size, CreateDisk& create) {
  create = CreateDisk{};
  if (data == nullptr || size < kCreateDiskSize) return false;
  create.PartitionStyle = Get32(data);
  if (create.PartitionStyle == kPartitionStyleMbr) create.Signature = Get32(data + 4);
  return true;
}

std::vector<std::uint8_t> PackLengthInformation(std::int64_t length) {
  std::vector<std::uint8_t> out(kLengthInformationSize, 0);
  Put64(&out[0], length);
  return out;
}

bool UnpackLengthInformation(const std::uint8_t* data, std::size_t size, std::int64_t& length) {
  if (data == nullptr || size < kLengthInformationSize) return false;
  length = Get64(data);
  return true;
}

}  // namespace sw::disk
