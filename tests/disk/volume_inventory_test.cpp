// The volume inventory and the drive-letter operations over simulated disks whose tables sfdisk
// wrote and whose file systems mkntfs and mkfs.fat made; sessions come from the simulated
// initiator. SW_VOLUME_SHOW=1 prints, per step, sfdisk --dump and blkid beside the inventory.

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "simulated_machine.h"
#include "disk/partitions.h"
#include "disk/volume_inventory.h"
#include "disk/volume_io.h"
#include "disk/volume_mounts.h"
#include "fabric/fabric.h"
#include "host/clock.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "share/network_drives.h"
#include "shell_command.h"

namespace sw::disk {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDevice = "10.77.0.11";
constexpr const char* kPlain = "iqn.2009-11.com.halden:nas2.disk1";
constexpr const char* kChap = "iqn.2009-11.com.halden:nas2.disk2";
constexpr std::uint64_t kPartitionSectors = 64 * 2048;  // 64 MiB

using test::Shell;

class VolumeInventoryTest : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    char pattern[] = "/tmp/sw-volumes-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    machine.services.SetInitiatorInstall({});
    machine.initiator.SetImageFolder(dir_);
    ASSERT_TRUE(machine.SetFabricText(fabric::DefaultFabricJson()));  // C: fixed, D: CD-ROM
    machine.volumes.SetArrivalDelay(0);

    // Disk 0 the system disk on C:; disk 1 a USB stick with FAT32 that calls itself fixed, as
    // some do, but reports removable media.
    winsim::DiskConfig system;
    system.number = 0;
    system.sizeBytes = 64ull << 30;
    system.local = true;
    system.letter = 'C';
    winsim::DiskConfig stick;
    stick.number = 1;
    stick.imagePath = dir_ + "/stick.img";
    stick.sizeBytes = 128ull << 20;
    stick.local = true;
    stick.mediaType = 11;
    stick.letter = 'U';
    std::ofstream(stick.imagePath, std::ios::binary).close();
    fs::resize_file(stick.imagePath, stick.sizeBytes);
    Partition(stick.imagePath, "fat32");
    machine.disks.SetAttachedDisks({system, stick});
    ASSERT_EQ(0, machine.initiator.AddSendTargetPortal(kDevice));
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    host::InstallClock(nullptr);
    fs::remove_all(dir_);
  }

  // Logs in to `target`; the session's disk number.
  int Login(const std::string& target) {
    const std::string initiator = winsim::kDefaultInitiatorName;
    auto line = target == kChap ? iscsi::ChapLoginTargetCommand(target, initiator, "nas2chap", "chapsecret12")
                                : iscsi::LoginTargetCommand(target, initiator);
    EXPECT_TRUE(iscsi::RunCommand(line.value()));
    for (const auto& s : machine.initiator.SessionDisks()) {
      if (s.targetName == target) return s.diskNumber;
    }
    ADD_FAILURE() << "no session for " << target;
    return -1;
  }
  std::string ImageOf(int disk) {
    for (const auto& s : machine.initiator.SessionDisks()) {
      if (s.diskNumber == disk) return s.imagePath;
    }
    return "";
  }
  void LogoutAll() {
    for (const auto& s : machine.initiator.Snapshot().sessions) {
      EXPECT_TRUE(iscsi::RunCommand(iscsi::LogoutTargetCommand(s.sessionId).value()));
    }
  }

  // A 64 MiB partition of type 7 at sector 2048 made by sfdisk, with `fileSystem` ("ntfs",
  // "fat32", "" for none) made by its own tool in a scratch file and copied in sparsely.
  void Partition(const std::string& image, const std::string& fileSystem) {
    int status = -1;
    Shell("printf 'start=2048, size=" + std::to_string(kPartitionSectors) + ", type=7\\n' | sfdisk -q '" + image +
              "' >/dev/null 2>&1",
          &status);
    ASSERT_EQ(0, status);
    if (fileSystem.empty()) return;
    const std::string scratch = dir_ + "/scratch.fs";
    std::ofstream(scratch, std::ios::binary).close();
    fs::resize_file(scratch, kPartitionSectors * 512);
    const std::string make = fileSystem == "ntfs" ? "mkntfs -Q -F -q -L iSCSI -p 2048 -H 255 -S 63 '" + scratch + "'"
                                                  : "mkfs.fat -F 32 -n ISCSI -h 2048 '" + scratch + "'";
    Shell(make + " >/dev/null 2>&1", &status);
    ASSERT_EQ(0, status) << make;
    Shell("dd if='" + scratch + "' of='" + image + "' bs=1M seek=1 conv=notrunc,sparse status=none", &status);
    ASSERT_EQ(0, status);
    fs::remove(scratch);
  }

  VolumeTable Table() {
    VolumeTable table;
    BuildVolumeTable(table);
    return table;
  }

  void Show(const char* step, const VolumeTable& table) {
    const char* show = std::getenv("SW_VOLUME_SHOW");
    if (show == nullptr || *show != '1') return;
    std::printf("=== %s\n", step);
    for (const auto& s : machine.initiator.SessionDisks()) {
      std::printf("disk %d %s\n%s%s", s.diskNumber, s.targetName.c_str(),
                  Shell("sfdisk --dump '" + s.imagePath + "' 2>&1 | grep -v '^\\(device\\|unit\\|label:\\)'").c_str(),
                  Shell("blkid -p -O 1048576 '" + s.imagePath + "' 2>&1").c_str());
    }
    for (const auto& r : table) {
      std::printf("  [%s] disk %s part %s  %s  %s  %s  %s\n", r.targetName.c_str(), r.diskNumberText.c_str(),
                  r.partitionNumberText.c_str(), r.volumePath.c_str(), r.fileSystem.c_str(), r.capacityText.c_str(),
                  r.volumeName.c_str());
    }
  }

  std::string dir_;
};

// Only fixed volumes of session disks are listed, each from what its image holds; a session disk
// without a volume gets one "*" record; a volume without a letter keeps its file system; target
// names follow the sessions; without sessions nothing is listed.
TEST_F(VolumeInventoryTest, ListsTheSessionVolumesThatTheImagesHold) {
  EXPECT_TRUE(Table().empty()) << "no session: not the C: disk, the stick or the CD drive";

  const int a = Login(kPlain);
  Partition(ImageOf(a), "ntfs");
  const int b = Login(kChap);
  ASSERT_EQ(2, a);
  ASSERT_EQ(3, b);
  VolumeTable table = Table();
  Show("NTFS partition on disk 2, empty disk 3", table);
  ASSERT_EQ(2u, table.size());
  EXPECT_EQ("E:\\", table[0].volumePath) << "C: is the system's, D: the CD drive's";
  EXPECT_EQ("NTFS", table[0].fileSystem);
  EXPECT_EQ("1", table[0].partitionNumberText);
  EXPECT_EQ("2", table[0].diskNumberText);
  EXPECT_EQ(kPartitionSectors * 512, table[0].sizeBytes);
  EXPECT_EQ("0.06 Gb", table[0].capacityText);
  EXPECT_EQ(kPlain, table[0].targetName);
  EXPECT_EQ(0, table[0].volumeName.rfind("\\\\?\\Volume{", 0));
  EXPECT_EQ("*", table[1].volumePath);
  EXPECT_EQ("*", table[1].fileSystem);
  EXPECT_EQ("*", table[1].partitionNumberText);
  EXPECT_EQ(0, table[1].partitionNumber);
  EXPECT_EQ("3", table[1].diskNumberText);
  EXPECT_EQ("\\\\.\\PhysicalDrive3", table[1].volumeName);
  // The 1 GiB target less its partial cylinder: 1069286400 bytes, which rounds up to 1 GiB.
  EXPECT_EQ(1069286400u, table[1].sizeBytes);
  EXPECT_EQ("1.00 Gb", table[1].capacityText);
  EXPECT_EQ(kChap, table[1].targetName);
  TargetDiskState() = 0;
  CheckTargetDisk(kChap);
  EXPECT_EQ(1, TargetDiskState());
  CheckTargetDisk(kPlain);
  EXPECT_EQ(0, TargetDiskState());
  TargetDiskState() = 1;
  CheckTargetDisk("iqn.2009-11.com.halden:NAS2.DISK1");  // names compare exactly
  EXPECT_EQ(1, TargetDiskState());

  // Disk 3 gets FAT32 outside the program (it mounts on F:), then loses its letter.
  Partition(ImageOf(b), "fat32");
  table = Table();
  ASSERT_EQ(2u, table.size());
  EXPECT_EQ("F:\\", table[1].volumePath);
  ASSERT_TRUE(volume_io::DeleteMountPoint("F:\\"));
  table = Table();
  Show("FAT32 partition on disk 3, its letter removed", table);
  ASSERT_EQ(2u, table.size());
  EXPECT_EQ("*", table[1].volumePath);
  EXPECT_EQ("FAT32", table[1].fileSystem);
  EXPECT_EQ("1", table[1].partitionNumberText);
  EXPECT_EQ(kChap, table[1].targetName);
  CheckTargetDisk(kChap);
  EXPECT_EQ(0, TargetDiskState());

  // A partition whose boot sector holds no file system is listed as "Unknown".
  Shell("dd if=/dev/zero of='" + ImageOf(a) + "' bs=512 seek=2048 count=1 conv=notrunc status=none");
  EXPECT_EQ("Unknown", Table()[0].fileSystem);

  LogoutAll();
  EXPECT_TRUE(Table().empty());
  EXPECT_EQ("", machine.letters.VolumeOn('E')) << "the letter left with the disk";
  EXPECT_TRUE(machine.volumes.CriticalErrorsFail());
}

// The wizard's table on an empty disk: its volume appears only after the arrival delay, and the
// wait polls once a second, ten lookups at most, on the clock port.
TEST_F(VolumeInventoryTest, WaitForDiskVolumeSeesTheNewVolumeAfterTheDelay) {
  host::FakeClock clock;
  host::InstallClock(&clock);
  const int disk = Login(kPlain);
  const SessionDisks sessions = ConnectedSessionDisks();
  machine.volumes.SetArrivalDelay(2500);
  ASSERT_TRUE(WritePartitionTableForWizard(disk, 64u, sessions, CheckWizardErase(disk, {}).identity).written);
  EXPECT_EQ("*", FindDiskVolume(disk, 0).value().volumePath) << "only the no-volume record yet";

  auto found = WaitForDiskVolume(disk, 1);
  ASSERT_TRUE(found.has_value());
  EXPECT_EQ("E:\\", found->volumePath);
  EXPECT_EQ(3000u, clock.Now()) << "three one-second waits";

  LogoutAll();
  const int again = Login(kPlain);
  ASSERT_TRUE(WritePartitionTableForWizard(again, 32u, ConnectedSessionDisks(), CheckWizardErase(again, {}).identity).written);
  machine.volumes.SetArrivalDelay(60000);
  const std::uint32_t before = clock.Now();
  found = WaitForDiskVolume(again, 1);
  EXPECT_FALSE(found.has_value()) << "the resized partition has not arrived yet";
  EXPECT_EQ(9000u, clock.Now() - before) << "ten lookups, nine waits";
  EXPECT_FALSE(FindDiskVolume(0, 0).has_value()) << "disk 0 is never managed";
}

// UnMount, Mount and reassignment move letters in the one letter table the network drives share;
// a taken letter changes nothing; disk 0 and disks of no session are refused.
TEST_F(VolumeInventoryTest, MountAndUnmountChangeTheSharedLetterTable) {
  const int disk = Login(kPlain);
  Partition(ImageOf(disk), "ntfs");
  const SessionDisks sessions = ConnectedSessionDisks();
  VolumeRecord entry = FindDiskVolume(disk, 1).value();
  ASSERT_EQ("E:\\", entry.volumePath);
  EXPECT_EQ(share::kDriveFixed, share::GetDriveTypeA("E:"));
  machine.initiator.SetBindableVolumes({});

  EXPECT_TRUE(UnmountVolume(entry, sessions));
  EXPECT_EQ(share::kDriveNoRootDir, share::GetDriveTypeA("E:"));
  EXPECT_EQ("*", FindDiskVolume(disk, 1).value().volumePath);
  EXPECT_EQ("iscsicli RemovePersistentDevice E:\\", machine.initiator.ToolRuns().back());
  entry = FindDiskVolume(disk, 1).value();
  EXPECT_FALSE(UnmountVolume(entry, sessions)) << "a row without a letter: the removal fails";

  machine.letters.SetConnection('H', "\\\\NAS2\\public");
  EXPECT_FALSE(MountVolume(entry, "H:\\", sessions)) << "H: holds a network drive";
  EXPECT_TRUE(MountVolume(entry, "G:\\", sessions));
  EXPECT_EQ("iscsicli AddPersistentDevice G:\\", machine.initiator.ToolRuns().back());
  EXPECT_EQ(entry.volumeName, machine.letters.VolumeOn('G'));
  EXPECT_EQ(share::kDriveFixed, share::GetDriveTypeA("G:"));
  EXPECT_EQ(share::kErrorAlreadyAssigned, share::WNetAddConnection2A("\\\\NAS2\\public", "G:", "", "", 0));

  entry = FindDiskVolume(disk, 1).value();
  EXPECT_FALSE(ReassignDriveLetter(entry, "H:\\", sessions));
  EXPECT_EQ("G:\\", FindDiskVolume(disk, 1).value().volumePath) << "a failed move keeps the old letter";
  EXPECT_TRUE(ReassignDriveLetter(entry, "K:\\", sessions));
  EXPECT_EQ("K:\\", FindDiskVolume(disk, 1).value().volumePath);

  // Disk 0's C: and the stick's U: are not the target's: nothing runs, nothing moves.
  const std::size_t runs = machine.initiator.ToolRuns().size();
  for (char letter : {'C', 'U'}) {
    VolumeRecord local;
    local.diskNumber = letter == 'C' ? 0 : 1;
    local.volumePath = std::string(1, letter) + ":\\";
    local.volumeName = machine.letters.VolumeOn(letter);
    ASSERT_FALSE(local.volumeName.empty());
    EXPECT_FALSE(UnmountVolume(local, sessions));
    EXPECT_FALSE(MountVolume(local, "M:\\", sessions));
    EXPECT_FALSE(ReassignDriveLetter(local, "M:\\", sessions));
    EXPECT_EQ(local.volumeName, machine.letters.VolumeOn(letter));
  }
  EXPECT_EQ(runs, machine.initiator.ToolRuns().size());
  EXPECT_TRUE(machine.letters.IsFree('M'));
}

}  // namespace
}  // namespace sw::disk
