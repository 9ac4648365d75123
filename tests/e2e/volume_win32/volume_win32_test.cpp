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

void Probe(const std::string& name) {
  std::string fs = "-", device = "-";
  bool gotFs = volume_io::GetVolumeFileSystem(name, fs, 64);
  std::string bare = name.substr(0, name.size() - 1);
  bool gotDevice = volume_io::DosDeviceOf(bare.substr(4), device, 260);
  volume_io::VolumeHandle h = volume_io::OpenVolume(bare);
  std::string ioctls;
  if (h.IsValid()) {
    for (std::uint32_t code : {kIoctlDiskGetDriveGeometry, kIoctlDiskGetLengthInfo, kIoctlDiskGetPartitionInfo,
                               kIoctlVolumeGetVolumeDiskExtents}) {
      std::uint8_t out[512] = {};
      std::uint32_t returned = 0;
      bool ok = volume_io::VolumeIoControl(h, code, nullptr, 0, out, sizeof out, &returned);
      char line[64];
      std::snprintf(line, sizeof line, " %08x:%s/%u(err %lu)", code, ok ? "ok" : "fail", returned,
                    ok ? 0ul : GetLastError());
      ioctls += line;
    }
    volume_io::CloseVolume(h);
  }
  std::printf("%s type=%u fs=%s(%d) device=%s(%d) open=%d%s\n", name.c_str(), volume_io::DriveTypeOf(name),
              fs.c_str(), gotFs, device.c_str(), gotDevice, h.IsValid() ? 1 : 0, ioctls.c_str());
}

// Wine lists a volume per configured drive, and one of them is the fixed C:, whose device name
// its letter resolves to: the lookup the inventory makes for every volume.
TEST(VolumeWin32, EnumerationAndLetterLookUp) {
  const std::vector<std::string> volumes = Volumes();
  for (const auto& v : volumes) Probe(v);
  ASSERT_FALSE(volumes.empty());
  std::string cDevice;
  ASSERT_TRUE(volume_io::DosDeviceOf("C:", cDevice, 260));
  EXPECT_EQ(3u, volume_io::DriveTypeOf("C:\\"));
  bool found = false;
  for (const auto& v : volumes) {
    EXPECT_EQ(0u, v.rfind("\\\\?\\Volume{", 0)) << v;
    EXPECT_EQ('\\', v.back()) << v;
    std::string device;
    if (volume_io::DosDeviceOf(v.substr(4, v.size() - 5), device, 260) && device == cDevice) found = true;
  }
  EXPECT_TRUE(found) << "no volume resolves to C:'s device " << cDevice;
  std::string tooSmall;
  EXPECT_FALSE(volume_io::DosDeviceOf("C:", tooSmall, 4)) << "a name that does not fit fails the call";
  EXPECT_TRUE(tooSmall.empty());
}

}  // namespace
}  // namespace sw::disk
