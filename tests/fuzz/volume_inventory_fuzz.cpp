// The volume inventory over whatever Windows answers: volume names, drive types, file system
// names, DOS devices, and the bytes (and byte counts) of the geometry, length, partition and
// extents controls, for volumes and for the sessions' disks. Every record is a volume of a
// session's disk or a session disk without one, carries its disk's target, and its capacity text
// reads back as its size. The volume and disk ports are answered here from the input.

#include <fuzzer/FuzzedDataProvider.h>

#include <cstdio>
#include <cstring>

#include "disk/disk_io.h"
#include "disk/disk_structures.h"
#include "disk/volume_inventory.h"
#include "disk/volume_io.h"
#include "disk/volume_structures.h"
#include "fuzz_client.h"

using sw::protocol::fuzz::Require;
using namespace sw::disk;

namespace {

FuzzedDataProvider* g_in = nullptr;

bool Fits(const std::string& text, std::size_t capacity) { return text.size() + 1 <= capacity; }

// Bytes a control answers: a count up to the buffer, then as many bytes, often one of the
// structures packed whole so that the reading goes on past the size checks.
bool Answer(std::uint32_t code, void* out, std::uint32_t outSize, std::uint32_t* returned) {
  if (g_in->ConsumeIntegralInRange<int>(0, 7) == 0) return false;
  std::vector<std::uint8_t> bytes;
  if (g_in->ConsumeBool()) {
    if (code == kIoctlDiskGetDriveGeometry) {
      DiskGeometry g;
      g.Cylinders = g_in->ConsumeIntegral<std::int64_t>();
      g.MediaType = g_in->ConsumeBool() ? kMediaFixed : g_in->ConsumeIntegral<std::uint32_t>();
      g.TracksPerCylinder = g_in->ConsumeIntegral<std::uint32_t>();
      g.SectorsPerTrack = g_in->ConsumeIntegral<std::uint32_t>();
      g.BytesPerSector = g_in->ConsumeIntegral<std::uint32_t>();
      bytes = PackDiskGeometry(g);
    } else if (code == kIoctlVolumeGetVolumeDiskExtents) {
      std::vector<DiskExtent> extents(g_in->ConsumeIntegralInRange<std::size_t>(0, 3));
      for (auto& e : extents) {
        e.DiskNumber = g_in->ConsumeIntegralInRange<std::uint32_t>(0, 4);
        e.StartingOffset = g_in->ConsumeIntegral<std::int64_t>();
        e.ExtentLength = g_in->ConsumeIntegral<std::int64_t>();
      }
      bytes = PackVolumeDiskExtents(extents);
    }
  }
  if (bytes.empty()) bytes = g_in->ConsumeBytes<std::uint8_t>(g_in->ConsumeIntegralInRange<std::size_t>(0, outSize));
  if (bytes.size() > outSize) return false;  // Windows fails a control whose answer does not fit
  if (!bytes.empty()) std::memcpy(out, bytes.data(), bytes.size());
  *returned = static_cast<std::uint32_t>(bytes.size());
  return true;
}

}  // namespace

namespace sw::disk::volume_io {

VolumeFind FirstVolume(std::string& volumeName, std::size_t capacity) {
  return NextVolume(VolumeFind{1}, volumeName, capacity) ? VolumeFind{1} : VolumeFind{};
}
bool NextVolume(VolumeFind, std::string& volumeName, std::size_t capacity) {
  if (g_in->ConsumeIntegralInRange<int>(0, 3) == 0) return false;
  std::string name = g_in->ConsumeBool() ? "\\\\?\\Volume{" + std::to_string(g_in->ConsumeIntegral<std::uint8_t>()) + "}\\"
                                         : g_in->ConsumeRandomLengthString(120);
  if (!Fits(name, capacity)) return false;
  volumeName = name;
  return true;
}
void CloseVolumeFind(VolumeFind& find) { find.value = -1; }
std::uint32_t DriveTypeOf(const std::string&) { return g_in->ConsumeBool() ? 3u : g_in->ConsumeIntegralInRange(0u, 6u); }
bool GetVolumeFileSystem(const std::string&, std::string& fileSystem, std::size_t capacity) {
  std::string name = g_in->ConsumeRandomLengthString(80);
  if (!g_in->ConsumeBool() || !Fits(name, capacity)) return false;
  fileSystem = name;
  return true;
}
bool DosDeviceOf(const std::string&, std::string& target, std::size_t capacity) {
  if (g_in->ConsumeIntegralInRange<int>(0, 3) != 0) return false;
  std::string device = g_in->ConsumeBool() ? "\\Device\\HarddiskVolume1" : g_in->ConsumeRandomLengthString(300);
  if (!Fits(device, capacity)) return false;
  target = device;
  return true;
}
VolumeHandle OpenVolume(const std::string&) { return g_in->ConsumeIntegralInRange<int>(0, 7) == 0 ? VolumeHandle{} : VolumeHandle{7}; }
void CloseVolume(VolumeHandle& handle) { handle.value = -1; }
bool VolumeIoControl(VolumeHandle, std::uint32_t code, const void*, std::uint32_t, void* out, std::uint32_t outSize,
                     std::uint32_t* returned) {
  return Answer(code, out, outSize, returned);
}
bool GetDiskTotalBytes(const std::string&, std::uint64_t& totalBytes) {
  if (!g_in->ConsumeBool()) return false;
  totalBytes = g_in->ConsumeIntegral<std::uint64_t>();
  return true;
}
void FailCriticalErrors() {}
bool SetMountPoint(const std::string&, const std::string&) { return false; }
bool DeleteMountPoint(const std::string&) { return false; }

}  // namespace sw::disk::volume_io

namespace sw::disk::io {

DiskHandle OpenDisk(const std::string&, DiskAccess) { return g_in->ConsumeBool() ? DiskHandle{9} : DiskHandle{}; }
void CloseDisk(DiskHandle& handle) { handle.value = -1; }
bool DeviceIoControl(DiskHandle, std::uint32_t code, const void*, std::uint32_t, void* out, std::uint32_t outSize,
                     std::uint32_t* returned, std::uint32_t* error) {
  const bool answered = Answer(code, out, outSize, returned);
  if (!answered && error != nullptr) *error = g_in->ConsumeBool() ? kErrorInsufficientBuffer : 1u;
  return answered;
}
bool ReadDisk(DiskHandle, std::uint64_t, void*, std::uint32_t, std::uint32_t*) { return false; }
bool FlushDisk(DiskHandle) { return false; }

}  // namespace sw::disk::io

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  FuzzedDataProvider in(data, size);
  g_in = &in;

  // The extents reader over raw bytes, then over what it packs.
  const std::vector<std::uint8_t> raw = in.ConsumeBytes<std::uint8_t>(in.ConsumeIntegralInRange<std::size_t>(0, 80));
  DiskExtent extent;
  if (UnpackFirstDiskExtent(raw.data(), raw.size(), extent)) Require(raw.size() >= kVolumeDiskExtentsHeaderSize + kDiskExtentSize);
  const DiskExtent packed{in.ConsumeIntegral<std::uint32_t>(), in.ConsumeIntegral<std::int64_t>(),
                          in.ConsumeIntegral<std::int64_t>()};
  const std::vector<std::uint8_t> bytes = PackVolumeDiskExtents({packed});
  Require(UnpackFirstDiskExtent(bytes.data(), bytes.size(), extent) && extent.DiskNumber == packed.DiskNumber &&
          extent.StartingOffset == packed.StartingOffset && extent.ExtentLength == packed.ExtentLength);

  std::vector<sw::iscsi::SessionDevicesRecord> sessions(in.ConsumeIntegralInRange<std::size_t>(0, 3));
  for (auto& s : sessions) {
    s.targetName = in.ConsumeRandomLengthString(60);
    s.devices.resize(in.ConsumeIntegralInRange<std::size_t>(0, 2));
    for (auto& d : s.devices) {
      d.deviceNumber = in.ConsumeIntegralInRange<std::uint32_t>(0, 4);
      d.legacyName = in.ConsumeRandomLengthString(30);
    }
  }
  VolumeTable table;
  BuildVolumeTable(table, sessions);
  for (const VolumeRecord& r : table) {
    bool sessionDisk = false;
    std::string target;
    for (const auto& s : sessions) {
      for (const auto& d : s.devices) {
        if (static_cast<std::int32_t>(d.deviceNumber) == r.diskNumber) {
          sessionDisk = true;
          target = s.targetName;  // a later session wins
        }
      }
    }
    Require(sessionDisk && r.targetName == target && r.diskNumberText == std::to_string(r.diskNumber));
    Require(r.sizeMegabytes == static_cast<std::uint32_t>(r.sizeBytes >> 20));
    if (r.capacityText != kNoValue) {
      unsigned long long whole = 0, hundredths = 0;
      Require(std::sscanf(r.capacityText.c_str(), "%llu.%llu Gb", &whole, &hundredths) == 2);
      // Hundredths of a gibibyte, rounded up from 6 MiB below, a full hundred carried to the whole.
      const std::uint64_t rest = r.sizeBytes & ((1ull << 30) - 1);
      Require(hundredths < 100 && whole * 100 + hundredths == (r.sizeBytes >> 30) * 100 + (((rest + 6291455ull) * 100) >> 30));
    }
  }
  g_in = nullptr;
  return 0;
}
