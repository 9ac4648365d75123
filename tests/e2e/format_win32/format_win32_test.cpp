// The simulated format as seekwell-sim.exe runs it, under Wine: the worker and the callback over
// the simulated format port, which starts Debian's mkntfs and mkfs.fat by their Unix paths through
// CreateProcessA. blkid, run the same way, must recognise what they wrote into the image.

#include <windows.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>

#include <gtest/gtest.h>

#include "simulated_machine.h"
#include "disk/format_tools.h"
#include "mbr_sector.h"
#include "disk/partitions.h"
#include "disk/volume_format.h"
#include "host/clock.h"
#include "recording_format_dialog.h"

namespace sw::disk {
namespace {

constexpr std::uint64_t kStart = 63 * 512;

// SW_FORMAT_PARTITION_MIB sets the partition's size (default 64 MiB), for timing larger formats.
std::uint64_t PartitionLength() {
  const char* mib = std::getenv("SW_FORMAT_PARTITION_MIB");
  return (mib != nullptr ? std::strtoull(mib, nullptr, 10) : 64) << 20;
}
const std::uint64_t kLength = PartitionLength();
const std::uint64_t kSize = kStart + kLength + (1 << 20);

std::string TempFile(const char* name) {
  char folder[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + name;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

// blkid's answer for the partition, through a Linux shell that writes it to a file.
std::string Blkid(const std::string& image) {
  const std::string out = TempFile("seekwell-format-blkid.txt");
  tools::CreateEmptyFile(out, 0);
  const std::string command = "/usr/sbin/blkid -p -o export -O " + std::to_string(kStart) + " '" +
                              tools::ToolFilePath(image) + "' > '" + tools::ToolFilePath(out) + "' 2>&1";
  EXPECT_EQ(0, tools::RunTool({"/bin/sh", "-c", command}));
  std::string text = ReadText(out);
  tools::RemoveFile(out);
  return text;
}

TEST(SimulatedFormatUnderWine, BlkidRecognisesBothFileSystems) {
  host::FakeClock clock;
  host::InstallClock(&clock);
  const std::string image = TempFile("seekwell-format-disk1.img");
  tools::RemoveFile(image);
  ASSERT_TRUE(tools::CreateEmptyFile(image, kSize));
  ASSERT_FALSE(tools::ToolFilePath(image).empty()) << "no Unix path: not running under Wine?";
  std::uint8_t sector[kMbrSectorSize] = {};
  MbrEntry entries[4];
  entries[0].type = 0x07;
  entries[0].firstLba = static_cast<std::uint32_t>(kStart / 512);
  entries[0].sectorCount = static_cast<std::uint32_t>(kLength / 512);
  WriteMbrSector(sector, 0x1234ABCDu, entries, 255, 63);
  {
    std::fstream f(image, std::ios::binary | std::ios::in | std::ios::out);
    f.write(reinterpret_cast<const char*>(sector), sizeof sector);
  }
  winsim::DiskConfig local;
  local.number = 0;
  local.sizeBytes = 64ull << 30;
  local.local = true;
  winsim::TheMachine().disks.SetAttachedDisks({local, {1, image, kSize, false}});
  winsim::TheMachine().format.SetLocator([](char letter) -> std::optional<winsim::VolumeLocation> {
    if (letter != 'E') return std::nullopt;
    return winsim::VolumeLocation{1, kStart, kLength, 512, {}};
  });

  for (bool ntfs : {true, false}) {
    RecordingFormatDialog dialog(FormatDialogKind::Partition, ntfs, !ntfs);
    const auto begin = std::chrono::steady_clock::now();
    ASSERT_TRUE(StartVolumeFormat(dialog, {"E:\\", 1}, SessionDisks({1})));
    const auto shown = dialog.AfterWorker();
    std::printf("quick format of %llu MiB, %s: %lld ms\n", static_cast<unsigned long long>(kLength >> 20),
                ntfs ? "NTFS" : "FAT32",
                static_cast<long long>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                           std::chrono::steady_clock::now() - begin).count()));
    EXPECT_EQ(kFormatSucceededText, shown.status) << (ntfs ? "NTFS" : "FAT32");
    const std::string blkid = Blkid(image);
    std::printf("blkid after %s:\n%s", ntfs ? "NTFS" : "FAT32", blkid.c_str());
    EXPECT_NE(std::string::npos, blkid.find(ntfs ? "TYPE=ntfs\n" : "TYPE=vfat\n")) << blkid;
    EXPECT_NE(std::string::npos, blkid.find("LABEL=iSCSI\n")) << blkid;
  }
  std::uint8_t after[kMbrSectorSize] = {};
  {
    std::ifstream f(image, std::ios::binary);
    f.read(reinterpret_cast<char*>(after), sizeof after);
  }
  EXPECT_EQ(0, std::memcmp(sector, after, sizeof sector)) << "sector 0 changed";
  tools::RemoveFile(image);
  host::InstallClock(nullptr);
}

}  // namespace
}  // namespace sw::disk
