// The simulated Windows answers the disk and volume calls as Windows documents them (the rows of
// docs/simulated-windows.md): images made by sfdisk, asked through the same ports the program uses.

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "disk/disk_access.h"
#include "disk/disk_io.h"
#include "disk/disk_structures.h"
#include "disk/volume_io.h"
#include "shell_command.h"
#include "simulated_machine.h"

namespace sw::disk {
namespace {

namespace fs = std::filesystem;
using test::Shell;

constexpr std::uint64_t kSize = 128ull << 20;

class SimulatedWindowsDisks : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    char pattern[] = "/tmp/sw-simwin-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    machine.volumes.SetArrivalDelay(0);
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    fs::remove_all(dir_);
  }

  // A disk image of kSize bytes, given to sfdisk's script `script` (with IMG standing for the
  // image's path), attached as disk `number`.
  std::string Disk(std::int32_t number, const std::string& script, std::uint64_t size = kSize) {
    const std::string image = dir_ + "/disk" + std::to_string(number) + "-" + std::to_string(++images_) + ".img";
    std::ofstream(image, std::ios::binary).close();
    fs::resize_file(image, size);
    std::string text = script;
    for (std::size_t at = text.find("IMG"); at != std::string::npos; at = text.find("IMG")) text.replace(at, 3, image);
    if (!text.empty()) {
      int status = -1;
      Shell("printf '" + text + "' | sfdisk -q '" + image + "' >/dev/null 2>&1", &status);
      EXPECT_EQ(0, status) << text;
    }
    disks_.push_back({number, image, size, false});
    machine.disks.SetAttachedDisks(disks_);
    return image;
  }

  // The extended layout call into `size` bytes: its result, error and the layout.
  struct Get {
    bool ok = false;
    std::uint32_t error = 0;
    std::uint32_t returned = 0;
    DriveLayout layout;
  };
  Get Layout(std::int32_t disk, std::uint32_t code, std::size_t size) {
    Get get;
    io::DiskHandle handle = io::OpenDisk(PhysicalDrivePath(disk), io::DiskAccess::Query);
    std::vector<std::uint8_t> buffer(size, 0xAB);
    get.ok = io::DeviceIoControl(handle, code, nullptr, 0, buffer.data(), static_cast<std::uint32_t>(size),
                                 &get.returned, &get.error);
    io::CloseDisk(handle);
    if (get.ok) {
      code == kIoctlDiskGetDriveLayoutEx ? UnpackDriveLayoutEx(buffer.data(), size, get.layout)
                                         : UnpackDriveLayout(buffer.data(), size, get.layout);
    } else {
      EXPECT_EQ(0xAB, buffer[0]) << "a refused call writes nothing";
    }
    return get;
  }

  std::string dir_;
  std::vector<winsim::DiskConfig> disks_;
  int images_ = 0;
};

// Four entries for the MBR and four for every EBR; only a buffer that holds them all is answered;
// real partitions numbered in table order, containers and unused entries 0; GPT entries as used;
// a disk without a table is RAW; a chain that loops ends where it turns back.
TEST_F(SimulatedWindowsDisks, LayoutsAreReportedAsWindowsReportsThem) {
  Disk(1, "label: dos\\nIMG1 : start=2048, size=10M, type=7\\nIMG2 : start=22528, size=10M, type=7\\n"
          "IMG3 : start=43008, size=40M, type=5\\nIMG5 : size=10M, type=7\\nIMG6 : size=10M, type=83\\n");
  Get tooSmall = Layout(1, kIoctlDiskGetDriveLayoutEx, kExtendedLayoutBufferSize);
  EXPECT_FALSE(tooSmall.ok);
  EXPECT_EQ(io::kErrorInsufficientBuffer, tooSmall.error);
  for (std::uint32_t code : {kIoctlDiskGetDriveLayoutEx, kIoctlDiskGetDriveLayout}) {
    Get get = Layout(1, code, 4096);
    ASSERT_TRUE(get.ok) << std::hex << code;
    ASSERT_EQ(12u, get.layout.PartitionCount);
    std::vector<std::uint32_t> numbers, types;
    for (const auto& e : get.layout.entries) {
      numbers.push_back(e.PartitionNumber);
      types.push_back(e.PartitionType);
    }
    EXPECT_EQ((std::vector<std::uint32_t>{1, 2, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0}), numbers);
    EXPECT_EQ((std::vector<std::uint32_t>{7, 7, 5, 0, 7, 5, 0, 0, 0x83, 0, 0, 0}), types);
    EXPECT_EQ(45056 * 512, get.layout.entries[4].StartingOffset) << "a logical drive's offset is absolute";
    EXPECT_EQ(code == kIoctlDiskGetDriveLayoutEx ? 48u + 12 * 144 : 8u + 12 * 32, get.returned);
  }

  Disk(2, "label: gpt\\nsize=10M\\nsize=10M\\nsize=10M\\n");
  Get gpt = Layout(2, kIoctlDiskGetDriveLayoutEx, 4096);
  ASSERT_TRUE(gpt.ok);
  EXPECT_EQ(kPartitionStyleGpt, gpt.layout.PartitionStyle);
  EXPECT_EQ(3u, gpt.layout.PartitionCount);
  EXPECT_EQ(kPartitionStyleGpt, Layout(2, kIoctlDiskGetDriveLayoutEx, 4096).layout.entries[0].PartitionStyle);
  EXPECT_FALSE(Layout(2, kIoctlDiskGetDriveLayout, 4096).ok) << "the legacy call knows no GPT";

  Disk(3, "");
  Get raw = Layout(3, kIoctlDiskGetDriveLayoutEx, 4096);
  ASSERT_TRUE(raw.ok);
  EXPECT_EQ(kPartitionStyleRaw, raw.layout.PartitionStyle);
  EXPECT_EQ(0u, raw.layout.PartitionCount);

  // An EBR whose link points back at itself: the chain ends after it.
  const std::string looping = Disk(4, "label: dos\\nIMG1 : start=2048, size=40M, type=5\\nIMG5 : size=10M, type=7\\n");
  std::fstream f(looping, std::ios::binary | std::ios::in | std::ios::out);
  const std::uint8_t link[16] = {0, 0, 0, 0, 0x05, 0, 0, 0, 0, 0, 0, 0, 0, 0x50, 0, 0};  // relative LBA 0: itself
  f.seekp(2048 * 512 + 446 + 16);
  f.write(reinterpret_cast<const char*>(link), sizeof link);
  f.close();
  Get loop = Layout(4, kIoctlDiskGetDriveLayoutEx, 1 << 16);
  ASSERT_TRUE(loop.ok);
  EXPECT_EQ(8u, loop.layout.PartitionCount);
}

// What SET, CREATE_DISK and ReadFile take, and what a handle does when its disk leaves.
TEST_F(SimulatedWindowsDisks, WritesAreTakenAsWindowsTakesThem) {
  const std::string image = Disk(1, "label: dos\\nlabel-id: 0x12345678\\nIMG1 : start=2048, size=10M, type=7\\n");
  io::DiskHandle handle = io::OpenDisk(PhysicalDrivePath(1), io::DiskAccess::ReadWrite);
  LayoutRead read = ReadLayout(handle, LayoutCalls::Extended);
  ASSERT_TRUE(read.ok);
  const std::string before = Shell("sfdisk --dump '" + image + "'");
  DriveLayout misaligned = read.layout;
  misaligned.entries[1] = misaligned.entries[0];
  misaligned.entries[1].StartingOffset = 20 * kMiB + 100;  // not a whole sector
  EXPECT_FALSE(WriteDriveLayout(handle, LayoutCalls::Extended, misaligned, true));
  EXPECT_EQ(before, Shell("sfdisk --dump '" + image + "'"));

  std::uint8_t sector[512];
  std::uint32_t error = 0;
  EXPECT_FALSE(io::ReadDisk(handle, 100, sector, sizeof sector, &error)) << "a read must start on a sector";
  EXPECT_EQ(87u, error);
  EXPECT_TRUE(io::ReadDisk(handle, 0, sector, sizeof sector, &error));
  EXPECT_EQ(0x55, sector[510]);

  CreateDisk create;
  create.Signature = 0x0BADCAFE;
  const std::vector<std::uint8_t> buffer = PackCreateDisk(create);
  ASSERT_TRUE(io::DeviceIoControl(handle, kIoctlDiskCreateDisk, buffer.data(), 24, nullptr, 0, nullptr));
  const std::string created = Shell("sfdisk --dump '" + image + "'");
  EXPECT_NE(std::string::npos, created.find("label-id: 0x0badcafe")) << created;
  EXPECT_EQ(std::string::npos, created.find("start=")) << "an empty table";

  // The disk leaves (another LUN takes the number): the open handle names nothing any more.
  disks_.clear();
  Disk(1, "", 64ull << 20);
  EXPECT_FALSE(io::DeviceIoControl(handle, kIoctlDiskUpdateProperties, nullptr, 0, nullptr, 0, nullptr, &error));
  EXPECT_EQ(1167u, error);
  io::CloseDisk(handle);
  EXPECT_FALSE(io::OpenDisk(PhysicalDrivePath(9), io::DiskAccess::Query).IsValid());
}

// Logical drives are volumes too; a volume without a file system does not answer the file-system
// query; a volume holds one drive letter, and a letter one volume.
TEST_F(SimulatedWindowsDisks, VolumesAreMountedAsWindowsMountsThem) {
  Disk(1, "label: dos\\nIMG1 : start=2048, size=10M, type=7\\nIMG2 : start=22528, size=40M, type=5\\n"
          "IMG5 : size=10M, type=7\\n");
  std::vector<std::string> names;
  std::string name;
  volume_io::VolumeFind find = volume_io::FirstVolume(name, 100);
  for (bool more = find.IsValid(); more; more = volume_io::NextVolume(find, name, 100)) names.push_back(name);
  volume_io::CloseVolumeFind(find);
  std::vector<char> letters;
  for (const auto& volume : names) {
    for (char c = 'A'; c <= 'Z'; ++c) {
      if (machine.letters.VolumeOn(c) == volume && volume.find("cd0000") == std::string::npos) letters.push_back(c);
    }
  }
  ASSERT_EQ(2u, letters.size()) << "the primary and the logical drive: " << ::testing::PrintToString(names);
  std::string fileSystem;
  const std::string root = std::string(1, letters[0]) + ":\\";
  EXPECT_FALSE(volume_io::GetVolumeFileSystem(root, fileSystem, 64)) << "nothing formatted there";
  const std::string volume = machine.letters.VolumeOn(letters[1]);
  EXPECT_FALSE(volume_io::SetMountPoint("Q:\\", volume)) << "the volume holds a letter already";
  EXPECT_FALSE(volume_io::SetMountPoint(root, volume)) << "the letter holds another volume";
  ASSERT_TRUE(volume_io::DeleteMountPoint(std::string(1, letters[1]) + ":\\"));
  EXPECT_TRUE(volume_io::SetMountPoint("Q:\\", volume));
}

}  // namespace
}  // namespace sw::disk
