// The real Win32 backend of the volume port, run under Wine: the enumeration, drive types, file
// system names and DOS device names that the inventory's letter lookup is built on, and the
// capacity checks of the buffers. Each volume's findings are printed for the log.

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "disk/disk_structures.h"
#include "disk/volume_io.h"
#include "disk/volume_structures.h"

namespace sw::disk {
namespace {

std::vector<std::string> Volumes() {
  std::vector<std::string> names;
  std::string name;
  volume_io::VolumeFind find = volume_io::FirstVolume(name, 100);
  if (!find.IsValid()) return names;
  do {
    names.push_back(name);
  } while (volume_io::NextVolume(find, name, 100));
  volume_io::CloseVolumeFind(find);
  return names;
}

struct Findings {
  std::uint32_t driveType = 0;
  bool fileSystemRead = false;
  std::string fileSystem;
  std::string device;
  bool opened = false;
  bool ioctl[4] = {};
  std::uint32_t returned[4] = {};
};

const std::uint32_t kCodes[4] = {kIoctlDiskGetDriveGeometry, kIoctlDiskGetLengthInfo, kIoctlDiskGetPartitionInfo,
                                 kIoctlVolumeGetVolumeDiskExtents};

// What the inventory asks of one volume, printed for the log.
Findings Probe(const std::string& name) {
  Findings f;
  f.driveType = volume_io::DriveTypeOf(name);
  f.fileSystemRead = volume_io::GetVolumeFileSystem(name, f.fileSystem, 64);
  const std::string bare = name.substr(0, name.size() - 1);
  volume_io::DosDeviceOf(bare.substr(4), f.device, 260);
  volume_io::VolumeHandle h = volume_io::OpenVolume(bare);
  f.opened = h.IsValid();
  std::string ioctls;
  for (int i = 0; i < 4 && f.opened; ++i) {
    std::uint8_t out[512] = {};
    f.ioctl[i] = volume_io::VolumeIoControl(h, kCodes[i], nullptr, 0, out, sizeof out, &f.returned[i]);
    char line[64];
    std::snprintf(line, sizeof line, " %08x:%s/%u(error %lu)", kCodes[i], f.ioctl[i] ? "ok" : "failed",
                  f.returned[i], f.ioctl[i] ? 0ul : GetLastError());
    ioctls += line;
  }
  volume_io::CloseVolume(h);
  std::printf("%s drive type %u, file system %s, device %s, opened %d;%s\n", name.c_str(), f.driveType,
              f.fileSystemRead ? f.fileSystem.c_str() : "(failed)", f.device.c_str(), f.opened ? 1 : 0,
              ioctls.c_str());
  return f;
}

// Wine lists a volume per configured drive; the one behind C: is found by the inventory's letter
// look-up, gives its file system, opens, and answers the geometry and disk-extent queries with the
// sizes the inventory checks. (Wine 8 answers 0 for the drive type of a volume name and does not
// implement the length and partition queries on a volume: printed, not asserted.)
TEST(VolumeWin32, EnumerationLetterLookUpAndVolumeQueries) {
  const std::vector<std::string> volumes = Volumes();
  ASSERT_FALSE(volumes.empty());
  std::string cDevice;
  ASSERT_TRUE(volume_io::DosDeviceOf("C:", cDevice, 260));
  EXPECT_EQ(3u, volume_io::DriveTypeOf("C:\\"));
  int found = 0;
  for (const auto& v : volumes) {
    EXPECT_EQ(0u, v.rfind("\\\\?\\Volume{", 0)) << v;
    EXPECT_EQ('\\', v.back()) << v;
    const Findings f = Probe(v);
    if (f.device != cDevice) continue;
    ++found;
    EXPECT_TRUE(f.fileSystemRead && !f.fileSystem.empty());
    ASSERT_TRUE(f.opened);
    EXPECT_TRUE(f.ioctl[0] && f.returned[0] >= kDiskGeometrySize);
    EXPECT_TRUE(f.ioctl[3] && f.returned[3] >= kVolumeDiskExtentsHeaderSize + kDiskExtentSize);
  }
  EXPECT_EQ(1, found) << "one volume resolves to C:'s device " << cDevice;
  std::string tooSmall;
  EXPECT_FALSE(volume_io::DosDeviceOf("C:", tooSmall, 4)) << "a name that does not fit fails the call";
  EXPECT_TRUE(tooSmall.empty());
  std::string name;
  volume_io::VolumeFind find = volume_io::FirstVolume(name, 10);
  EXPECT_FALSE(find.IsValid()) << "a 10-character buffer cannot hold a volume name";
  volume_io::CloseVolumeFind(find);

  // The mount-point calls, on a letter nothing uses: printed.
  const bool set = volume_io::SetMountPoint("R:\\", volumes.back());
  const unsigned long setError = set ? 0 : GetLastError();
  const bool removed = volume_io::DeleteMountPoint("R:\\");
  std::printf("SetVolumeMountPointA %s (error %lu), DeleteVolumeMountPointA %s (error %lu)\n", set ? "ok" : "failed",
              setError, removed ? "ok" : "failed", removed ? 0ul : GetLastError());
}

}  // namespace
}  // namespace sw::disk
