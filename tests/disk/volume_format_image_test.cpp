// The simulated format on image files, judged by the file systems' own tools: blkid, fsck.fat,
// ntfsinfo, and sfdisk for the table around the partition. SW_FORMAT_TIMING=1 adds the timing of
// a quick format of a 2 GiB partition (NTFS and FAT32).

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "simulated_machine.h"
#include "disk/partitions.h"
#include "disk/volume_format.h"
#include "host/clock.h"
#include "iscsi/command_lines.h"
#include "recording_format_dialog.h"
#include "shell_command.h"

namespace sw::disk {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kStart = 63 * 512;
constexpr std::uint64_t kMiB = 1 << 20;

using test::Shell;

int Status(const std::string& command) {
  int status = -1;
  Shell(command + " >/dev/null 2>&1", &status);
  return status;
}

std::string ReadRange(const std::string& path, std::uint64_t offset, std::uint64_t size) {
  std::ifstream in(path, std::ios::binary);
  in.seekg(static_cast<std::streamoff>(offset));
  std::string bytes(size, '\0');
  in.read(&bytes[0], static_cast<std::streamsize>(size));
  bytes.resize(static_cast<std::size_t>(in.gcount()));
  return bytes;
}

void WriteRange(const std::string& path, std::uint64_t offset, const std::string& bytes) {
  std::fstream out(path, std::ios::binary | std::ios::in | std::ios::out);
  out.seekp(static_cast<std::streamoff>(offset));
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

std::string Pattern(std::size_t size, char seed) {
  std::string s(size, '\0');
  for (std::size_t i = 0; i < size; ++i) s[i] = static_cast<char>(seed + i * 7 % 251);
  return s;
}

// One session disk (number 1) as an image: a partition from sector 63 written by sfdisk, patterns
// in the gap before it and the tail after it, old data inside it, drive E: on it.
class FormatImageTest : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    dir_ = fs::temp_directory_path() / ("seekwell-format-" + std::to_string(::getpid()));
    fs::create_directories(dir_);
    host::InstallClock(&clock_);
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    host::InstallClock(nullptr);
    fs::remove_all(dir_);
  }

  void MakeDisk(std::uint64_t partitionBytes, std::uint64_t tailBytes = kMiB, bool oldData = true) {
    image_ = (dir_ / "disk1.img").string();
    length_ = partitionBytes;
    size_ = kStart + partitionBytes + tailBytes;
    fs::remove(image_);
    std::ofstream(image_).close();
    fs::resize_file(image_, size_);
    ASSERT_EQ(0, Status("echo 'start=63, size=" + std::to_string(partitionBytes / 512) + ", type=7' | sfdisk '" +
                        image_ + "'"));
    WriteRange(image_, 512, Pattern(kStart - 512, 'g'));
    WriteRange(image_, kStart + length_, Pattern(tailBytes, 't'));
    if (oldData) WriteRange(image_, kStart, Pattern(2 * kMiB, 'o'));
    outside_ = Outside();
    winsim::DiskConfig local;
    local.number = 0;
    local.sizeBytes = 64ull << 30;
    local.local = true;
    winsim::DiskConfig session;
    session.number = 1;
    session.imagePath = image_;
    session.sizeBytes = size_;
    machine.disks.SetAttachedDisks({local, session});
    Locate(1, kStart, length_);
  }
  void Locate(std::int32_t disk, std::uint64_t offset, std::uint64_t length) {
    machine.format.SetLocator([=](char letter) -> std::optional<winsim::VolumeLocation> {
      if (letter != 'E') return std::nullopt;
      return winsim::VolumeLocation{disk, offset, length, 512, {}};
    });
  }
  std::string Outside() { return ReadRange(image_, 0, kStart) + ReadRange(image_, kStart + length_, size_ - kStart - length_); }

  // The partition alone, for the checkers that take no offset.
  std::string ExtractPartition() {
    std::string part = (dir_ / "part.img").string();
    Shell("dd if='" + image_ + "' of='" + part + "' bs=512 skip=63 count=" + std::to_string(length_ / 512) +
          " conv=sparse status=none");
    return part;
  }
  std::string Blkid() {
    return Shell("blkid -p -o export -s TYPE -s LABEL -O " + std::to_string(kStart) + " '" + image_ + "' 2>&1");
  }

  RecordingFormatDialog::Shown Format(FormatDialogKind kind, bool ntfs) {
    RecordingFormatDialog dialog(kind, ntfs, !ntfs);
    EXPECT_TRUE(StartVolumeFormat(dialog, {"e:\\", 1}, sessions_));
    return dialog.AfterWorker();
  }

  host::FakeClock clock_;
  SessionDisks sessions_{{1}};
  fs::path dir_;
  std::string image_;
  std::uint64_t length_ = 0, size_ = 0;
  std::string outside_;
};

// NTFS, then FAT32 over it, then NTFS again (both dialog kinds): each time blkid names the file
// system and the label, its checker accepts it, the table still verifies and not one byte outside
// the partition changed. The dialog sees 100% ("Finalizing...", buttons back) before the done
// report, then the success text and the close.
TEST_F(FormatImageTest, FormatsWriteCheckedFileSystemsInsideThePartitionOnly) {
  MakeDisk(80 * kMiB);
  struct Step {
    bool ntfs;
    FormatDialogKind kind;
    const char* type;
  } steps[] = {{true, FormatDialogKind::Partition, "TYPE=ntfs"},
               {false, FormatDialogKind::Wizard, "TYPE=vfat"},
               {true, FormatDialogKind::Wizard, "TYPE=ntfs"}};
  for (const auto& step : steps) {
    SCOPED_TRACE(step.type);
    NoFormatCompletedYet = true;
    WizardFormatCompleted = false;
    const auto shown = Format(step.kind, step.ntfs);
    EXPECT_EQ(kFormatSucceededText, shown.status);
    EXPECT_TRUE(shown.closed);
    EXPECT_TRUE(FormatReleased(step.kind));
    // At 100 the buttons stay disabled: the format is still finishing until its done report.
    const int finalizing = shown.IndexOf(std::string("status ") + kFinalizingText);
    ASSERT_LT(shown.IndexOf("progress 100"), finalizing);
    EXPECT_LT(finalizing, shown.IndexOf(std::string("status ") + kFormatSucceededText));
    const int enabled = shown.IndexOf("enable 2");
    EXPECT_GT(enabled, finalizing) << "Cancel enabled before the done report";
    if (step.kind == FormatDialogKind::Partition) {
      EXPECT_FALSE(NoFormatCompletedYet.load());
    } else {
      EXPECT_TRUE(WizardFormatCompleted.load());
      EXPECT_EQ(iscsi::AddPersistentDeviceCommand("e:\\").value(), machine.processes.Launches().back());
    }

    std::string blkid = Blkid();
    std::printf("blkid after %s:\n%s", step.ntfs ? "NTFS" : "FAT32", blkid.c_str());
    EXPECT_NE(std::string::npos, blkid.find(std::string(step.type) + "\n")) << blkid;
    EXPECT_NE(std::string::npos, blkid.find("LABEL=iSCSI\n")) << blkid;
    std::string part = ExtractPartition();
    if (step.ntfs) {
      std::string info = Shell("ntfsinfo -m '" + part + "' 2>&1");
      EXPECT_NE(std::string::npos, info.find("Volume Name: iSCSI")) << info;
      EXPECT_EQ(0, Status("ntfs-3g.probe --readonly '" + part + "'"));
    } else {
      EXPECT_EQ(0, Status("fsck.fat -n '" + part + "'")) << Shell("fsck.fat -n '" + part + "' 2>&1");
    }
    EXPECT_EQ(0, Status("sfdisk --verify '" + image_ + "'"));
    EXPECT_TRUE(Outside() == outside_) << "bytes outside the partition changed";
  }
  EXPECT_FALSE(fs::exists(image_ + ".ntfs-scratch"));
}

// What the locator answers is checked against the disks and the bytes of sector 0: disk 0, a
// local disk, a range that is not a partition of the table, and a drive with no volume are never
// written; a missing or failing tool fails the format too. Each leaves the failure text and the
// buttons enabled, with the image as it was.
TEST_F(FormatImageTest, RefusedOrFailedFormatsChangeNothing) {
  fs::create_directories(dir_ / "failing");
  std::ofstream(dir_ / "failing" / "mkfs.fat") << "#!/bin/sh\nexit 1\n";
  fs::permissions(dir_ / "failing" / "mkfs.fat", fs::perms::owner_all);

  struct Case {
    const char* what;
    std::function<void()> arrange;
    bool ntfs;
    bool writes;  // the failure comes after the partition was emptied
  } cases[] = {
      {"disk 0", [&] { Locate(0, kStart, length_); }, true, false},
      {"local disk", [&] { machine.disks.SetAttachedDisks({{1, image_, size_, true}}); }, true, false},
      {"not a partition", [&] { Locate(1, 0, length_ + kStart); }, true, false},
      {"shifted range", [&] { Locate(1, kStart + 512, length_); }, true, false},
      {"no volume", [&] { machine.format.SetLocator({}); }, false, false},
      {"tool missing", [&] { machine.format.SetToolFolder((dir_ / "none").string()); }, true, true},
      {"tool fails", [&] { machine.format.SetToolFolder((dir_ / "failing").string()); }, false, true},
  };
  for (const auto& c : cases) {
    SCOPED_TRACE(c.what);
    MakeDisk(16 * kMiB, kMiB, true);
    const std::string before = ReadRange(image_, 0, size_);
    c.arrange();
    const auto shown = Format(FormatDialogKind::Partition, c.ntfs);
    EXPECT_EQ(kFormatFailedText, shown.status);
    EXPECT_TRUE(shown.okEnabled && shown.cancelEnabled);
    EXPECT_FALSE(shown.closed);
    if (!c.writes) {
      EXPECT_TRUE(ReadRange(image_, 0, size_) == before) << "the image changed";
    } else {
      EXPECT_TRUE(Outside() == outside_) << "bytes outside the partition changed";
    }
  }
}

// The time of a simulated quick format of a 2 GiB partition, each file system.
TEST_F(FormatImageTest, TimingOfTwoGibQuickFormats) {
  if (std::getenv("SW_FORMAT_TIMING") == nullptr) GTEST_SKIP() << "set SW_FORMAT_TIMING=1";
  for (bool ntfs : {true, false}) {
    MakeDisk(2048 * kMiB, kMiB, false);
    auto begin = std::chrono::steady_clock::now();
    EXPECT_EQ(kFormatSucceededText, Format(FormatDialogKind::Partition, ntfs).status);
    auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - begin).count();
    std::printf("quick format of 2 GiB, %s: %lld ms (image uses %llu KiB)\n%s", ntfs ? "NTFS" : "FAT32",
                static_cast<long long>(ms),
                static_cast<unsigned long long>(std::stoull(Shell("du -k '" + image_ + "' | cut -f1"))),
                Blkid().c_str());
  }
}

}  // namespace
}  // namespace sw::disk
