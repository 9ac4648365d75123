// Simulated backend of the disk port: translates each call to the simulated machine's disks
// (winsim/disks.h), packing and unpacking the same buffers Windows would get. What the machine
// answers is its own; here only the structures' sizes are checked, as the disk driver checks them:
// an output buffer too small for the whole answer fails with ERROR_INSUFFICIENT_BUFFER and nothing
// written.

#include <cstring>

#include "disk/disk_io.h"
#include "disk/disk_structures.h"
#include "winsim/machine.h"

namespace sw::disk::io {

namespace {

PartitionEntry ToEntry(const winsim::LayoutEntry& e) {
  PartitionEntry out;
  out.PartitionStyle = e.style;
  out.StartingOffset = e.start;
  out.PartitionLength = e.length;
  out.HiddenSectors = e.hiddenSectors;
  out.PartitionNumber = e.number;
  out.PartitionType = e.type;
  out.BootIndicator = e.boot ? 1 : 0;
  out.RecognizedPartition = e.recognized ? 1 : 0;
  out.RewritePartition = e.rewrite ? 1 : 0;
  return out;
}

winsim::LayoutEntry FromEntry(const PartitionEntry& e) {
  winsim::LayoutEntry out;
  out.style = e.PartitionStyle;
  out.start = e.StartingOffset;
  out.length = e.PartitionLength;
  out.hiddenSectors = e.HiddenSectors;
  out.number = e.PartitionNumber;
  out.type = e.PartitionType;
  out.boot = e.BootIndicator != 0;
  out.recognized = e.RecognizedPartition != 0;
  out.rewrite = e.RewritePartition != 0;
  return out;
}

std::uint32_t Control(std::intptr_t handle, std::uint32_t code, const std::uint8_t* in, std::uint32_t inSize,
                      std::uint8_t* out, std::uint32_t outSize, std::uint32_t& returned, std::int32_t& diskNumber) {
  winsim::Machine& machine = winsim::TheMachine();
  winsim::DiskAccess access = winsim::DiskAccess::Query;
  if (const std::uint32_t error = machine.disks.HandleDisk(handle, diskNumber, access)) return error;
  const bool writable = access == winsim::DiskAccess::ReadWrite;
  auto give = [&](const std::vector<std::uint8_t>& bytes) {
    if (out == nullptr || outSize < bytes.size()) return winsim::kErrorInsufficientBuffer;
    std::memcpy(out, bytes.data(), bytes.size());
    returned = static_cast<std::uint32_t>(bytes.size());
    return winsim::kErrorSuccess;
  };
  switch (code) {
    case kIoctlDiskGetDriveGeometry: {
      winsim::DiskGeometry g;
      if (const std::uint32_t error = machine.disks.Geometry(diskNumber, g)) return error;
      return give(PackDiskGeometry(
          DiskGeometry{g.cylinders, g.mediaType, g.tracksPerCylinder, g.sectorsPerTrack, g.bytesPerSector}));
    }
    case kIoctlDiskGetLengthInfo: {
      const auto disk = machine.disks.Find(diskNumber);
      if (!disk) return winsim::kErrorDeviceNotConnected;
      return give(PackLengthInformation(static_cast<std::int64_t>(disk->sizeBytes)));
    }
    case kIoctlDiskGetDriveLayout:
    case kIoctlDiskGetDriveLayoutEx: {
      const bool extended = code == kIoctlDiskGetDriveLayoutEx;
      winsim::DiskLayout read;
      if (const std::uint32_t error = machine.disks.ReadLayout(diskNumber, extended, read)) return error;
      DriveLayout layout;
      layout.PartitionStyle = read.style;
      layout.Signature = read.signature;
      layout.PartitionCount = static_cast<std::uint32_t>(read.entries.size());
      for (const auto& e : read.entries) layout.entries.push_back(ToEntry(e));
      const std::size_t need = extended ? kDriveLayoutExHeaderSize + layout.entries.size() * kPartitionInformationExSize
                                        : kDriveLayoutHeaderSize + layout.entries.size() * kPartitionInformationSize;
      if (outSize < need) return winsim::kErrorInsufficientBuffer;
      return give(extended ? PackDriveLayoutEx(layout, need) : PackDriveLayout(layout, need));
    }
    case kIoctlDiskSetDriveLayout:
    case kIoctlDiskSetDriveLayoutEx: {
      if (!writable) return winsim::kErrorAccessDenied;
      DriveLayout layout;
      const bool unpacked = code == kIoctlDiskSetDriveLayout ? UnpackDriveLayout(in, inSize, layout)
                                                              : UnpackDriveLayoutEx(in, inSize, layout);
      // The input must hold as many entries as its count says.
      if (!unpacked || layout.entries.size() < layout.PartitionCount) return winsim::kErrorInvalidParameter;
      winsim::DiskLayout write;
      write.style = code == kIoctlDiskSetDriveLayout ? winsim::kStyleMbr : layout.PartitionStyle;
      write.signature = layout.Signature;
      for (std::uint32_t i = 0; i < layout.PartitionCount; ++i) write.entries.push_back(FromEntry(layout.entries[i]));
      return machine.disks.WriteLayout(diskNumber, write);
    }
    case kIoctlDiskCreateDisk: {
      CreateDisk create;
      if (!writable) return winsim::kErrorAccessDenied;
      if (!UnpackCreateDisk(in, inSize, create)) return winsim::kErrorInvalidParameter;
      return machine.disks.CreateDisk(diskNumber, create.PartitionStyle, create.Signature);
    }
    case kIoctlDiskUpdateProperties:
      return winsim::kErrorSuccess;
    default:
      return winsim::kErrorInvalidFunction;
  }
}

}  // namespace

DiskHandle OpenDisk(const std::string& path, DiskAccess access) {
  std::uint32_t error = 0;
  DiskHandle handle;
  const winsim::DiskAccess wanted = access == DiskAccess::Query  ? winsim::DiskAccess::Query
                                    : access == DiskAccess::Read ? winsim::DiskAccess::Read
                                                                 : winsim::DiskAccess::ReadWrite;
  const std::intptr_t h = winsim::TheMachine().disks.Open(path, wanted, error);
  if (h != 0) handle.value = h;
  return handle;
}

void CloseDisk(DiskHandle& handle) {
  if (handle.IsValid()) winsim::TheMachine().disks.Close(handle.value);
  handle = DiskHandle{};
}

bool DeviceIoControl(DiskHandle handle, std::uint32_t code, const void* in, std::uint32_t inSize, void* out,
                     std::uint32_t outSize, std::uint32_t* returned, std::uint32_t* error) {
  winsim::DiskCall call;
  call.code = code;
  call.inSize = inSize;
  call.outSize = outSize;
  std::uint32_t bytes = 0;
  const std::uint32_t result = Control(handle.value, code, static_cast<const std::uint8_t*>(in), inSize,
                                       static_cast<std::uint8_t*>(out), outSize, bytes, call.disk);
  call.succeeded = result == winsim::kErrorSuccess;
  call.error = result;
  winsim::TheMachine().disks.LogCall(call);
  if (call.succeeded && returned != nullptr) *returned = bytes;
  if (!call.succeeded && error != nullptr) *error = result;
  return call.succeeded;
}

bool ReadDisk(DiskHandle handle, std::uint64_t offset, void* out, std::uint32_t size, std::uint32_t* error) {
  winsim::Machine& machine = winsim::TheMachine();
  std::int32_t disk = -1;
  winsim::DiskAccess access = winsim::DiskAccess::Query;
  std::uint32_t result = machine.disks.HandleDisk(handle.value, disk, access);
  if (result == winsim::kErrorSuccess && access == winsim::DiskAccess::Query) result = winsim::kErrorAccessDenied;
  if (result == winsim::kErrorSuccess) {
    result = machine.disks.ReadSectors(disk, offset, static_cast<std::uint8_t*>(out), size);
  }
  if (result != winsim::kErrorSuccess && error != nullptr) *error = result;
  return result == winsim::kErrorSuccess;
}

bool FlushDisk(DiskHandle handle) {
  std::int32_t disk = -1;
  winsim::DiskAccess access = winsim::DiskAccess::Query;
  return winsim::TheMachine().disks.HandleDisk(handle.value, disk, access) == winsim::kErrorSuccess &&
         access == winsim::DiskAccess::ReadWrite;
}

}  // namespace sw::disk::io
