// The Partition dialog and the partition wizard over the headless UI and the simulated initiator,
// disks (image files), volumes (arriving after the simulated mount delay) and format; tables are
// judged by sfdisk, file systems by blkid.

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <regex>

#include "app/partition_dlg.h"
#include "base/product.h"
#include "app/wizard_dlg.h"
#include "disk/disk_access.h"
#include "simulated_machine.h"
#include "disk/partition_sizes.h"
#include "disk/volume_format.h"
#include "disk/volume_inventory.h"
#include "disk/volume_mounts.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "protocol/protocol_state.h"
#include "resource.h"
#include "ui/headless.h"

namespace sw::app {
namespace {

namespace hl = ui::headless;
namespace fs = std::filesystem;

constexpr const char* kDevice = "10.77.0.11";
constexpr const char* kDisk = "iqn.2009-11.com.halden:nas.disk";     // 1024 MiB: 1019 MiB of whole cylinders
constexpr const char* kSmall = "iqn.2009-11.com.halden:nas.small";   // 100 MiB: 94 MiB
constexpr const char* kFabric = R"({"devices": [
  {"name": "NAS", "address": "10.77.0.11", "iscsi": true, "targets": [
    {"name": "iqn.2009-11.com.halden:nas.disk", "sizeMiB": 1024},
    {"name": "iqn.2009-11.com.halden:nas.small", "sizeMiB": 100}]}]})";

std::string Shell(const std::string& command) {
  std::string out;
  if (std::FILE* pipe = popen((command + " 2>&1").c_str(), "r")) {
    char buffer[512];
    while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
    pclose(pipe);
  }
  return out;
}

class YesPrompts : public disk::DiskPrompts {
 public:
  void ShowNotHandled() override { ADD_FAILURE() << "not handled"; }
  bool AskInitialize() override { return true; }
};

class PartitionDialogsFlow : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    hl::Reset();
    machine.services.SetInitiatorInstall({});
    dir_ = fs::temp_directory_path() /
           ("seekwell-partition-flow-" + std::string(testing::UnitTest::GetInstance()->current_test_info()->name()));
    fs::remove_all(dir_);
    machine.initiator.SetImageFolder(dir_.string());
    ASSERT_TRUE(machine.SetFabricText(kFabric));
    machine.volumes.SetArrivalDelay(1500);
    disk::NoFormatCompletedYet = true;
    protocol::SetSelectedDeviceIp(protocol::GetProtocolState(), kDevice);
    ASSERT_EQ(0, machine.initiator.AddSendTargetPortal(kDevice));
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    fs::remove_all(dir_);
  }

  int Login(const std::string& target) {
    EXPECT_TRUE(iscsi::RunCommand(*iscsi::LoginTargetCommand(target, winsim::kDefaultInitiatorName)));
    for (const auto& s : machine.initiator.SessionDisks()) {
      if (s.targetName == target) {
        image_ = s.imagePath;
        return s.diskNumber;
      }
    }
    ADD_FAILURE() << "no session for " << target;
    return -1;
  }
  bool LoggedIn(const std::string& target) {
    for (const auto& s : machine.initiator.Snapshot().sessions) {
      if (s.targetName == target) return true;
    }
    return false;
  }
  // Sector 0 as the image holds it.
  std::string Dump() { return Shell("sfdisk --dump '" + image_ + "'"); }
  std::string Blkid(std::uint64_t offset) {
    return Shell("blkid -p -o export -s TYPE -s LABEL -O " + std::to_string(offset) + " '" + image_ + "'");
  }
  static std::string ChosenLetter(ui::CDialog& dialog) {
    const hl::Window* combo = hl::Control(dialog, IDC_NEW_DRIVE);
    return combo->curSel >= 0 ? combo->items[static_cast<std::size_t>(combo->curSel)] : "";
  }
  // Runs the dialog's Format and waits until the dialog has ended (the format's close) or the
  // real time is up.
  static void FormatAndWait(ui::CDialog& dialog) {
    ASSERT_TRUE(hl::Click(dialog, ui::kIdOk));
    EXPECT_TRUE(hl::PumpMessagesUntil([&] { return dialog.HasEnded(); }, 60000)) << hl::Text(dialog, IDC_STATUS);
    if (!dialog.HasEnded()) hl::Click(dialog, ui::kIdCancel);
  }

  fs::path dir_;
  std::string image_;
};

// Every size check of both dialogs in its order, with its text and caption; nothing is written on
// a refusal, the bar stays where it was and Format and Cancel work again.
TEST_F(PartitionDialogsFlow, SizeChecksRefuseInOrderBeforeAnythingIsWritten) {
  struct Row {
    bool wizard;
    const char* target;    // wizard: whose disk
    const char* size;      // nullptr: "Use Maximum Available Space"
    bool fat32;
    bool noFileSystem;
    const char* text;      // nullptr: accepted
    const char* caption;
  } rows[] = {
      {false, nullptr, "-5", false, false, "Partition size exceeds space available", kDefaultMessageCaption},
      {false, nullptr, "7", false, false, "Partition size cannot be less than 8Mb", kDefaultMessageCaption},
      {false, nullptr, "40000", true, false, "FAT32 partition cannot exceed 32768Mb", kDefaultMessageCaption},
      {false, nullptr, "511", true, false, "FAT32 partition cannot be less than 512Mb", kDefaultMessageCaption},
      {false, nullptr, "8", false, true, "Please Select Format Type.", "Warning"},
      {false, nullptr, "8", false, false, nullptr, nullptr},
      {true, kDisk, "12a", false, false, "Invalid partition size.", "Ra DUROV"},
      {true, kDisk, "-5", false, false, "Invalid partition size.\nPartition must be less than 1019Mb", "Ra DUROV"},
      {true, kDisk, "7", false, false, "Invalid partition size.\nPartition must be greater than 8Mb", "Ra DUROV"},
      {true, kDisk, "1020", false, false, "Invalid partition size.\nPartition must be less than 1019Mb", "Ra DUROV"},
      {true, kDisk, "511", true, false, "FAT32 partition cannot be less than 512Mb", "Ra DUROV"},
      {true, kDisk, "600", false, true, "Please Select Format Type.", "Warning"},
      {true, kSmall, nullptr, true, false, "FAT32 partition cannot be less than 512Mb", base::kProductCaption},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.wizard ? "wizard " : "partition ") + (row.size ? row.size : "max") +
                 (row.fat32 ? " FAT32" : ""));
    const std::size_t boxes = hl::MessageBoxes().size();
    hl::ScriptModal(row.wizard ? IDD_WIZARD : IDD_PARTITION, [&](ui::CDialog& dialog) {
      if (row.size) {
        hl::Click(dialog, IDC_MAX_SPACE);
        hl::TypeText(dialog, IDC_PARTITION_SIZE, row.size);
      }
      if (row.fat32) hl::Click(dialog, IDC_FAT32);
      if (row.noFileSystem) hl::Click(dialog, IDC_NTFS);
      ASSERT_TRUE(hl::Click(dialog, ui::kIdOk));
      EXPECT_TRUE(hl::Visible(dialog, IDC_PROGRESS) == (row.text == nullptr || row.wizard));
      EXPECT_TRUE(hl::Enabled(dialog, ui::kIdOk));
      EXPECT_TRUE(hl::Enabled(dialog, ui::kIdCancel));
      hl::Click(dialog, ui::kIdCancel);
    });
    if (row.wizard) {
      const int disk = Login(row.target);
      OpenPartitionWizard(row.target, false);
      EXPECT_EQ(0u, machine.disks.WritesOf(disk).count);
    } else {
      // Disk 0 is never written: an accepted size ends at the table write, silently.
      disk::PartitionRequest request;
      request.availableMiB = 1000;
      request.disk = 0;
      request.newNumber = 1;
      request.regionStart = 1 << 20;
      request.regionLength = 1000ll << 20;
      OpenPartitionDialog(request);
    }
    if (row.text == nullptr) {
      EXPECT_EQ(boxes, hl::MessageBoxes().size());
      continue;
    }
    ASSERT_EQ(boxes + 1, hl::MessageBoxes().size());
    EXPECT_EQ(row.text, hl::MessageBoxes().back().text);
    EXPECT_EQ(row.caption, hl::MessageBoxes().back().caption);
  }
}

// Cancel before a completed format logs the target out (its session gone); after one it does not.
TEST_F(PartitionDialogsFlow, WizardCancelLogsOutOnlyBeforeACompletedFormat) {
  for (bool completed : {false, true}) {
    SCOPED_TRACE(completed ? "completed" : "not completed");
    Login(kDisk);
    hl::ScriptModal(IDD_WIZARD, [](ui::CDialog& dialog) { hl::Click(dialog, ui::kIdCancel); });
    const WizardResult result = OpenPartitionWizard(kDisk, completed);
    EXPECT_EQ(!completed, result.targetLoggedOut);
    EXPECT_EQ(completed, LoggedIn(kDisk));
  }
}

// The whole wizard on an empty session disk: the table, the wait for the volume that arrives late,
// the chosen letter, NTFS, the persistent device, and the dialog closed by the format.
TEST_F(PartitionDialogsFlow, WizardPartitionsFormatsAndClosesOnAnEmptyDisk) {
  const int disk = Login(kDisk);
  std::string chosen, target;
  hl::ScriptModal(IDD_WIZARD, [&](ui::CDialog& dialog) {
    target = hl::Text(dialog, IDC_TARGET_TEXT);
    EXPECT_EQ("Megabytes (Avaliable: 1019 MB)", hl::Text(dialog, IDC_SIZE_LABEL));
    chosen = ChosenLetter(dialog);
    hl::Click(dialog, IDC_MAX_SPACE);
    hl::TypeText(dialog, IDC_PARTITION_SIZE, "300");
    FormatAndWait(dialog);
  });
  const WizardResult result = OpenPartitionWizard(kDisk, false);
  EXPECT_EQ("nas.disk", target);
  EXPECT_FALSE(result.targetLoggedOut);
  EXPECT_TRUE(LoggedIn(kDisk));
  EXPECT_TRUE(disk::WizardFormatCompleted.load());

  EXPECT_EQ("", Shell("sfdisk --verify -q '" + image_ + "'"));
  const std::string dump = Dump();
  std::printf("sfdisk --dump after the wizard:\n%s", dump.c_str());
  EXPECT_TRUE(std::regex_search(dump, std::regex(": start=\\s*63, size=\\s*614400, type=7\n"))) << dump;
  const std::string blkid = Blkid(63 * 512);
  std::printf("blkid:\n%s", blkid.c_str());
  EXPECT_NE(std::string::npos, blkid.find("TYPE=ntfs\n")) << blkid;
  EXPECT_NE(std::string::npos, blkid.find("LABEL=iSCSI\n")) << blkid;

  // The volume came only after the table write; the wizard waited for it, then moved its letter.
  const auto volume = disk::FindDiskVolume(disk, 1);
  ASSERT_TRUE(volume.has_value());
  ASSERT_EQ(3u, chosen.size());
  EXPECT_EQ(chosen, volume->volumePath);
  int waits = 0;
  for (const std::string& line : hl::Log()) waits += line == "wait-painting 1000";
  EXPECT_GE(waits, 2);
  EXPECT_EQ(iscsi::AddPersistentDeviceCommand(chosen).value(), machine.processes.Launches().back());
}

// Add on a disk with free space: the Partition dialog's FAT32 partition over all of it, formatted,
// and the dialog ends with the disk changed.
TEST_F(PartitionDialogsFlow, PartitionDialogAddsAFormattedFat32Partition) {
  const int disk = Login(kDisk);
  YesPrompts yes;
  const disk::SessionDisks sessions = disk::ConnectedSessionDisks();
  // An MBR disk with an empty table, read as the manager would.
  Shell("echo 'label: dos' | sfdisk -q '" + image_ + "'");
  const disk::DiskLayoutRead read = disk::ReadDiskRegions(disk);
  int freeRow = -1;
  for (std::size_t i = 0; i < read.regions.size(); ++i) {
    if (read.regions[i].number == 0) freeRow = static_cast<int>(i);
  }
  ASSERT_GE(freeRow, 0);
  const disk::AddPreparation add = disk::PrepareAddPartition(disk, read.regions, freeRow, sessions, yes);
  ASSERT_EQ(disk::AddOutcome::Ready, add.outcome);
  const disk::PartitionRequest& r = add.request;

  std::string chosen;
  hl::ScriptModal(IDD_PARTITION, [&](ui::CDialog& dialog) {
    chosen = ChosenLetter(dialog);
    hl::Click(dialog, IDC_FAT32);
    FormatAndWait(dialog);
  });
  const PartitionDialogResult result = OpenPartitionDialog(r);
  EXPECT_TRUE(result.partitionChanged);
  EXPECT_FALSE(disk::NoFormatCompletedYet.load());

  EXPECT_EQ("", Shell("sfdisk --verify -q '" + image_ + "'"));
  const std::string dump = Dump();
  std::printf("sfdisk --dump after Add:\n%s", dump.c_str());
  const std::string start = std::to_string(r.regionStart / 512);
  const std::string size = std::to_string(static_cast<std::int64_t>(r.availableMiB) * 2048);
  EXPECT_TRUE(std::regex_search(dump, std::regex(": start=\\s*" + start + ", size=\\s*" + size + ", type=7\n")))
      << dump;
  const std::string blkid = Blkid(static_cast<std::uint64_t>(r.regionStart));
  std::printf("blkid:\n%s", blkid.c_str());
  EXPECT_NE(std::string::npos, blkid.find("TYPE=vfat\n")) << blkid;
  EXPECT_NE(std::string::npos, blkid.find("LABEL=iSCSI\n")) << blkid;
  const auto volume = disk::FindDiskVolume(disk, 0);  // its only partition, numbered as Windows reports it
  ASSERT_TRUE(volume.has_value());
  EXPECT_EQ(chosen, volume->volumePath);
}

}  // namespace
}  // namespace sw::app
