// Whole Add, Delete, Mount and UnMount roads on a session disk of the simulated initiator: the
// table judged by sfdisk, the file systems by blkid, and every byte outside sector 0 and the
// partitions the roads formatted compared with what was there.
// SW_DISK_PROPERTY_STEPS and SW_DISK_PROPERTY_SEED set the random run (default 24 steps, seed from
// the clock; both printed). SW_DISK_RECORD=1 prints sfdisk --dump and blkid after each operation of
// the record test (scripts/disk-record).

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <algorithm>
#include <map>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include "disk/disk_access.h"
#include "simulated_machine.h"
#include "disk/partition_operations.h"
#include "disk/volume_mounts.h"
#include "fabric/fabric.h"
#include "host/clock.h"
#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "recording_format_dialog.h"
#include "shell_command.h"

namespace sw::disk {
namespace {

namespace fs = std::filesystem;

constexpr const char* kDevice = "10.77.0.11";
constexpr const char* kTarget = "iqn.2009-11.com.halden:nas2.disk1";

using test::Shell;

bool Verify(const std::string& image) {
  int status = -1;
  Shell("sfdisk --verify '" + image + "' >/dev/null 2>&1", &status);
  return status == 0;
}

std::size_t SfdiskPartitions(const std::string& image) {
  const std::string dump = Shell("sfdisk --dump '" + image + "' 2>/dev/null");
  std::size_t count = 0;
  for (std::size_t at = dump.find("start="); at != std::string::npos; at = dump.find("start=", at + 1)) ++count;
  return count;
}

std::string Blkid(const std::string& image, std::int64_t offset) {
  return Shell("blkid -p -o export -s TYPE -s LABEL -O " + std::to_string(offset) + " '" + image + "' 2>&1");
}

// What the pattern writer put at `offset`, and what the image held there before.
char PatternByte(std::uint64_t offset) { return static_cast<char>('a' + (offset * 2654435761u >> 7) % 26); }

class ScriptedPrompts : public DiskPrompts {
 public:
  void ShowNotHandled() override { ++notHandled; }
  bool AskInitialize() override { return ++asked, true; }
  // The seeded patterns make a fresh disk one that holds data: the road is asked, and agrees.
  bool ConfirmErase(const std::string&) override { return ++asked, true; }
  int notHandled = 0;
  int asked = 0;
};

// Opens "the Partition dialog" on Add: the user asks for `mib` on `drivePath`, then Format.
class ScriptedPartitionDialog : public PartitionDialogOpener {
 public:
  ScriptedPartitionDialog(std::uint32_t mib, std::string drivePath, bool ntfs)
      : mib_(mib), drivePath_(std::move(drivePath)), dialog_(FormatDialogKind::Partition, ntfs, !ntfs) {}
  bool OpenPartitionDialog(const PartitionRequest& request) override {
    PartitionRequest filled = request;
    filled.requestedMiB = mib_;
    filled.drivePath = drivePath_;
    start = request.regionStart;
    outcome = CreatePartition(filled, dialog_, ConnectedSessionDisks());
    return outcome == CreateOutcome::FormatStarted;
  }
  RecordingFormatDialog::Shown AfterWorker() { return dialog_.AfterWorker(); }
  CreateOutcome outcome = CreateOutcome::NotWritten;
  std::int64_t start = -1;

 private:
  std::uint32_t mib_;
  std::string drivePath_;
  RecordingFormatDialog dialog_;
};

class PartitionRoadsTest : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    char pattern[] = "/tmp/sw-roads-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
    host::InstallClock(&clock_);
    machine.services.SetInitiatorInstall({});
    machine.initiator.SetImageFolder(dir_);
    ASSERT_TRUE(machine.SetFabricText(fabric::DefaultFabricJson()));
    winsim::DiskConfig system;
    system.number = 0;
    system.sizeBytes = 64ull << 30;
    system.local = true;
    system.letter = 'C';
    machine.disks.SetAttachedDisks({system});
    ASSERT_EQ(0, machine.initiator.AddSendTargetPortal(kDevice));
    ASSERT_TRUE(iscsi::RunCommand(iscsi::LoginTargetCommand(kTarget, winsim::kDefaultInitiatorName).value()));
    for (const auto& s : machine.initiator.SessionDisks()) {
      disk_ = s.diskNumber;
      image_ = s.imagePath;
    }
    ASSERT_GT(disk_, 0);
    size_ = fs::file_size(image_);
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    host::InstallClock(nullptr);
    fs::remove_all(dir_);
  }

  void UseWindows(const char* name) {
    winsim::WindowsVersion windows;
    ASSERT_TRUE(winsim::ParseWindowsVersion(name, windows));
    machine.SetVersion(windows);
  }

  std::vector<VolumeRecord> VolumesOfDisk() {
    VolumeTable table;
    BuildVolumeTable(table);
    std::vector<VolumeRecord> mine;
    for (const auto& r : table) {
      if (r.diskNumber == disk_ && r.partitionNumber > 0) mine.push_back(r);
    }
    return mine;
  }

  // The whole Add road on region `row`: the Partition dialog asks for `mib` on `drivePath`; the
  // format's worker is waited for. The partition is then one the road formatted.
  RecordingFormatDialog::Shown Add(int row, std::uint32_t mib, const std::string& drivePath, bool ntfs) {
    ScriptedPartitionDialog dialog(mib, drivePath, ntfs);
    AddPartitionResult added =
        AddPartition(disk_, ReadDiskRegions(disk_).regions, row, ConnectedSessionDisks(), prompts_, dialog);
    EXPECT_TRUE(added.partitionChanged) << static_cast<int>(dialog.outcome);
    if (dialog.start >= 0) formatted_.emplace_back(dialog.start, dialog.start + static_cast<std::int64_t>(mib) * kMiB);
    return dialog.AfterWorker();
  }

  // An extended partition with two logical drives at the end of the disk, as another system made
  // it; every sector that holds something then is kept as it is (the EBRs).
  void AddLogicalDrives() {
    const std::uint64_t start = (size_ / 512) - 120 * 2048;
    const std::string script = "label: dos\\n" + image_ + "3 : start=" + std::to_string(start) + ", size=100M, type=5\\n" +
                               image_ + "5 : size=30M, type=7\\n" + image_ + "6 : size=30M, type=83\\n";
    int status = -1;
    Shell("printf '" + script + "' | sfdisk -q '" + image_ + "' >/dev/null 2>&1", &status);
    ASSERT_EQ(0, status);
    int fd = ::open(image_.c_str(), O_RDONLY);
    ASSERT_GE(fd, 0);
    char block[512];
    for (off_t data = ::lseek(fd, 512, SEEK_DATA); data >= 0; data = ::lseek(fd, data + 512, SEEK_DATA)) {
      const off_t sector = data / 512 * 512;
      ASSERT_EQ(static_cast<ssize_t>(sizeof block), ::pread(fd, block, sizeof block, sector));
      if (std::any_of(block, block + sizeof block, [](char c) { return c != 0; })) {
        kept_[sector] = std::string(block, sizeof block);
      }
      data = sector;
    }
    ::close(fd);
    ASSERT_FALSE(kept_.empty());
  }

  // Seeds `count` 512-byte patterns at random sectors past sector 0 (never on a kept sector).
  void WritePatterns(std::mt19937_64& rng, int count) {
    int fd = ::open(image_.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < count; ++i) {
      const std::uint64_t offset = (1 + rng() % (size_ / 512 - 1)) * 512;
      if (kept_.count(static_cast<std::int64_t>(offset)) != 0) continue;
      char block[512];
      for (std::uint64_t b = 0; b < sizeof block; ++b) block[b] = PatternByte(offset + b);
      ASSERT_EQ(static_cast<ssize_t>(sizeof block), ::pwrite(fd, block, sizeof block, static_cast<off_t>(offset)));
      patterns_.push_back(offset);
    }
    ::close(fd);
  }

  // Every byte of the image's data outside sector 0 and the formatted partitions must be a pattern
  // byte where a pattern was written and zero elsewhere (the holes are zero anyway). The first
  // changed byte, or -1.
  std::int64_t FirstChangedByte() {
    std::vector<std::pair<std::int64_t, std::int64_t>> allowed = formatted_;
    allowed.emplace_back(0, 512);
    std::sort(allowed.begin(), allowed.end());
    int fd = ::open(image_.c_str(), O_RDONLY);
    if (fd < 0) return 0;
    std::vector<char> got(1 << 16), expected(1 << 16);
    std::int64_t changed = -1;
    for (off_t data = ::lseek(fd, 0, SEEK_DATA); data >= 0 && changed < 0;) {
      const off_t hole = ::lseek(fd, data, SEEK_HOLE);
      std::int64_t at = data;
      while (at < hole && changed < 0) {
        // Skip what may change; stop the piece where the next allowed range begins.
        std::int64_t end = hole;
        for (const auto& r : allowed) {
          if (at >= r.first && at < r.second) at = r.second;
          if (r.first > at) end = std::min<std::int64_t>(end, r.first);
        }
        if (at >= end) continue;
        const auto n = static_cast<std::size_t>(std::min<std::int64_t>(end - at, static_cast<std::int64_t>(got.size())));
        if (::pread(fd, got.data(), n, at) != static_cast<ssize_t>(n)) return at;
        std::fill(expected.begin(), expected.begin() + static_cast<std::ptrdiff_t>(n), 0);
        for (std::uint64_t p : patterns_) {
          const auto from = std::max<std::int64_t>(at, static_cast<std::int64_t>(p));
          const auto to = std::min<std::int64_t>(at + static_cast<std::int64_t>(n), static_cast<std::int64_t>(p) + 512);
          for (std::int64_t o = from; o < to; ++o) expected[static_cast<std::size_t>(o - at)] = PatternByte(static_cast<std::uint64_t>(o));
        }
        for (const auto& [sector, bytes] : kept_) {
          const auto from = std::max<std::int64_t>(at, sector);
          const auto to = std::min<std::int64_t>(at + static_cast<std::int64_t>(n), sector + 512);
          for (std::int64_t o = from; o < to; ++o) expected[static_cast<std::size_t>(o - at)] = bytes[static_cast<std::size_t>(o - sector)];
        }
        auto diff = std::mismatch(got.begin(), got.begin() + static_cast<std::ptrdiff_t>(n), expected.begin());
        if (diff.first != got.begin() + static_cast<std::ptrdiff_t>(n)) changed = at + (diff.first - got.begin());
        at += static_cast<std::int64_t>(n);
      }
      data = ::lseek(fd, hole, SEEK_DATA);
    }
    ::close(fd);
    return changed;
  }

  void Record(const char* step) {
    const char* record = std::getenv("SW_DISK_RECORD");
    if (record == nullptr || *record != '1') return;
    std::printf("=== %s\n$ sfdisk --dump disk%d.img\n%s$ blkid -p disk%d.img\n%s", step, disk_,
                Shell("sfdisk --dump '" + image_ + "' 2>&1").c_str(), disk_,
                Shell("blkid -p '" + image_ + "' 2>&1").c_str());
    for (const auto& region : ReadDiskRegions(disk_).regions) {
      if (region.number == 0) continue;
      std::printf("$ blkid -p -O %lld disk%d.img   (partition %d)\n%s", static_cast<long long>(region.start), disk_,
                  region.number,
                  Shell("blkid -p -O " + std::to_string(region.start) + " '" + image_ + "' 2>&1").c_str());
    }
  }

  // The wizard's table on the disk as it is now (as a wizard that just asked about it writes it).
  bool WizardTable(std::optional<std::uint32_t> mib, const SessionDisks& sessions) {
    return WritePartitionTableForWizard(disk_, mib, sessions, CheckWizardErase(disk_, {}).identity).written;
  }

  host::FakeClock clock_;
  ScriptedPrompts prompts_;
  std::string dir_;
  std::string image_;
  std::int32_t disk_ = -1;
  std::uint64_t size_ = 0;
  std::vector<std::pair<std::int64_t, std::int64_t>> formatted_;
  std::vector<std::uint64_t> patterns_;
  std::map<std::int64_t, std::string> kept_;  // sectors that must keep their bytes (EBRs)
};

std::string FreeLetter(std::mt19937_64& rng) {
  std::vector<char> free;
  for (char c = 'E'; c <= 'Z'; ++c) {
    if (winsim::TheMachine().letters.IsFree(c)) free.push_back(c);
  }
  return free.empty() ? std::string() : std::string(1, free[rng() % free.size()]) + ":\\";
}

// The Partition dialog's write on the extended path shows 20, 30 and 40 before the format's own
// values, moves the new volume to the chosen letter (or gives it one when it arrived without, as
// with automount off) and registers it; the legacy path shows neither 20 nor 40. A layout that
// cannot be read is not written back as an empty table.
TEST_F(PartitionRoadsTest, CreatePartitionReportsMovesTheLetterAndNeverWritesAnUnreadTable) {
  ASSERT_TRUE(WizardTable(100u, ConnectedSessionDisks()));
  DiskLayoutRead read = ReadDiskRegions(disk_);
  ASSERT_EQ(2u, read.regions.size());
  const std::string before = Shell("sfdisk --dump '" + image_ + "'");

  PartitionRequest request = PrepareAddPartition(disk_, read.regions, 1, ConnectedSessionDisks(), prompts_).request;
  request.requestedMiB = 50;
  request.drivePath = "K:\\";
  RecordingFormatDialog unused(FormatDialogKind::Partition, true, false);
  machine.disks.FailNextLayoutReads(1);
  EXPECT_EQ(CreateOutcome::NotWritten, CreatePartition(request, unused, ConnectedSessionDisks()));
  EXPECT_EQ(before, Shell("sfdisk --dump '" + image_ + "'"));

  for (const std::string letter : {"K:\\", "L:\\", "M:\\"}) {
    const bool extended = letter != "L:\\";
    UseWindows(extended ? "win7" : "2000");
    machine.volumes.SetAutomount(letter != "M:\\");
    read = ReadDiskRegions(disk_);
    const RecordingFormatDialog::Shown shown = Add(static_cast<int>(read.regions.size()) - 1, 30, letter, true);
    // The format reports its own 30; 20 and 40 come from this write alone.
    const int at20 = shown.IndexOf("status Percent Completed ... 20%"), at30 = shown.IndexOf("status Percent Completed ... 30%"),
              at40 = shown.IndexOf("status Percent Completed ... 40%"), at50 = shown.IndexOf("status Percent Completed ... 50%");
    if (extended) {
      EXPECT_TRUE(at20 >= 0 && at20 < at30 && at30 < at40 && at40 < at50) << at20 << " " << at30 << " " << at40;
    } else {
      EXPECT_TRUE(at20 < 0 && at40 < 0 && at50 >= 0) << at20 << " " << at40 << " " << at50;
    }
    EXPECT_EQ(kFormatSucceededText, shown.status);
    EXPECT_EQ("iscsicli AddPersistentDevice " + letter, machine.initiator.ToolRuns().back());
    bool found = false;
    for (const auto& v : VolumesOfDisk()) found = found || (v.volumePath == letter && v.fileSystem == "NTFS");
    EXPECT_TRUE(found) << letter;
  }
  EXPECT_TRUE(Verify(image_));
}

// Random Add (with its format), Delete, Mount and UnMount, either call set chosen afresh: sfdisk
// accepts every table, the regions match what sfdisk reads, each new partition holds the file
// system asked for, and no byte outside sector 0 and the formatted partitions changes.
TEST_F(PartitionRoadsTest, PropertyRandomRoadsKeepTheTableValidAndOtherBytesUntouched) {
  const char* stepsText = std::getenv("SW_DISK_PROPERTY_STEPS");
  const char* seedText = std::getenv("SW_DISK_PROPERTY_SEED");
  const int steps = stepsText != nullptr ? std::atoi(stepsText) : 24;
  const auto seed = seedText != nullptr ? std::strtoull(seedText, nullptr, 10)
                                        : static_cast<unsigned long long>(
                                              std::chrono::steady_clock::now().time_since_epoch().count());
  std::printf("property: seed %llu (SW_DISK_PROPERTY_SEED), %d steps\n", seed, steps);
  SCOPED_TRACE("seed " + std::to_string(seed));
  std::mt19937_64 rng(seed);
  const bool logicals = rng() % 2 == 0;
  if (logicals) AddLogicalDrives();
  WritePatterns(rng, 256);
  std::printf("property: %s\n", logicals ? "with an extended partition and two logical drives" : "a fresh disk");
  UseWindows("2000");  // a fresh disk is raw: only the legacy calls offer to initialise it
  int adds = 0, deletes = 0, mounts = 0, unmounts = 0, failedReads = 0, sfdiskRuns = 0;
  const auto started = std::chrono::steady_clock::now();
  for (int step = 0; step < steps; ++step) {
    SCOPED_TRACE("step " + std::to_string(step));
    if (step > 0 && rng() % 4 == 0) {
      // The Windows XP and later calls report a disk without a table as not handled (only the
      // legacy calls offer to initialise it): they come in once the road has given it one.
      const bool legacy = rng() % 2 == 0;
      winsim::DiskLayout table;
      if (legacy || (machine.disks.Table(disk_, table) && table.style == winsim::kStyleMbr)) UseWindows(legacy ? "2000" : "win7");
    }
    const DiskLayoutRead layoutRead = ReadDiskRegions(disk_);
    const std::vector<DiskRegion>& regions = layoutRead.regions;
    const std::vector<VolumeRecord> volumes = VolumesOfDisk();
    std::vector<int> freeRows, partitionRows;
    for (std::size_t i = 0; i < regions.size(); ++i) {
      if (regions[i].number == 0) freeRows.push_back(static_cast<int>(i));
      if (regions[i].number != 0 && !regions[i].logical) partitionRows.push_back(static_cast<int>(i));
    }
    std::size_t entriesUsed = 0;
    for (std::size_t i = 0; i < 4 && i < layoutRead.read.layout.entries.size(); ++i) {
      entriesUsed += layoutRead.read.layout.entries[i].PartitionType != 0 ? 1 : 0;
    }
    std::vector<VolumeRecord> lettered, unlettered;
    for (const auto& v : volumes) (v.volumePath == "*" ? unlettered : lettered).push_back(v);
    std::vector<int> choices;
    if (!freeRows.empty() && entriesUsed < 4) choices.insert(choices.end(), {0, 0});
    if (!partitionRows.empty()) choices.push_back(1);
    if (!lettered.empty()) choices.push_back(2);
    if (!unlettered.empty()) choices.push_back(3);
    if (!regions.empty()) choices.push_back(4);
    ASSERT_FALSE(choices.empty());
    const SessionDisks sessions = ConnectedSessionDisks();
    switch (choices[rng() % choices.size()]) {
      case 0: {
        const int row = freeRows[rng() % freeRows.size()];
        const auto available = static_cast<std::uint32_t>(regions[row].length / kMiB);
        const std::uint32_t mib = 8 + static_cast<std::uint32_t>(rng() % (std::min(available, 200u) - 7));
        const bool ntfs = mib < 64 || rng() % 2 == 0;  // mkfs.fat needs room for FAT32's clusters
        const std::string letter = FreeLetter(rng);
        const RecordingFormatDialog::Shown shown = Add(row, mib, letter, ntfs);
        ASSERT_EQ(kFormatSucceededText, shown.status);
        const std::string blkid = Blkid(image_, regions[row].start);
        EXPECT_NE(std::string::npos, blkid.find(ntfs ? "TYPE=ntfs" : "TYPE=vfat")) << blkid;
        EXPECT_NE(std::string::npos, blkid.find("LABEL=iSCSI")) << blkid;
        EXPECT_EQ("iscsicli AddPersistentDevice " + letter, machine.initiator.ToolRuns().back());
        ++adds;
        break;
      }
      case 1: {
        const int row = partitionRows[rng() % partitionRows.size()];
        VolumeTable table;
        BuildVolumeTable(table);
        const std::string path = RefreshDiskLayoutData(disk_, PartitionVolumes(table)).view.segments[row].volumePath;
        ASSERT_TRUE(DeletePartition(disk_, regions[row], layoutRead.read.layout.Signature, path, sessions, prompts_));
        EXPECT_EQ("iscsicli RemovePersistentDevice " + path, machine.initiator.ToolRuns().back());
        ++deletes;
        break;
      }
      case 2: {
        const VolumeRecord& v = lettered[rng() % lettered.size()];
        ASSERT_TRUE(UnmountVolume(v, sessions));
        EXPECT_EQ("*", FindDiskVolume(disk_, v.partitionNumber).value().volumePath);
        ++unmounts;
        break;
      }
      case 4: {
        // A layout read that fails: whatever the operation, nothing is written.
        const std::uint64_t writes = machine.disks.WritesOf(disk_).count;
        const int row = static_cast<int>(rng() % regions.size());
        machine.disks.FailNextLayoutReads(1);
        if (regions[static_cast<std::size_t>(row)].number == 0) {
          EXPECT_NE(AddOutcome::Ready, PrepareAddPartition(disk_, regions, row, sessions, prompts_).outcome);
        } else {
          EXPECT_FALSE(DeletePartition(disk_, regions[static_cast<std::size_t>(row)], layoutRead.read.layout.Signature,
                                       "*", sessions, prompts_));
        }
        machine.disks.FailNextLayoutReads(0);  // unused when a full table refused before reading
        EXPECT_EQ(writes, machine.disks.WritesOf(disk_).count);
        ++failedReads;
        break;
      }
      default: {
        const VolumeRecord& v = unlettered[rng() % unlettered.size()];
        const std::string letter = FreeLetter(rng);
        ASSERT_TRUE(MountVolume(v, letter, sessions));
        EXPECT_EQ(letter, FindDiskVolume(disk_, v.partitionNumber).value().volumePath);
        ++mounts;
        break;
      }
    }
    ASSERT_TRUE(Verify(image_)) << Shell("sfdisk --dump '" + image_ + "' 2>&1");
    // sfdisk lists the extended partition and its logical drives too; Windows shows every partition.
    std::size_t shown = 0;
    for (const DiskRegion& r : ReadDiskRegions(disk_).regions) shown += r.number != 0 ? 1 : 0;
    ASSERT_EQ(SfdiskPartitions(image_), shown + (logicals ? 1u : 0u));
    ASSERT_EQ(-1, FirstChangedByte());
    sfdiskRuns += 2;
  }
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::printf("property: %d steps: %d adds (each formatted), %d deletes, %d mounts, %d unmounts, %d failed reads; "
              "%d sfdisk runs; %zu partitions formatted; %.2f s\n",
              steps, adds, deletes, mounts, unmounts, failedReads, sfdiskRuns, formatted_.size(), seconds);
  EXPECT_GT(adds, 0);
}

// The record for one disk: initialise, Add twice, Delete, the wizard's table, format NTFS, format
// FAT32, each judged as it happens (printed with SW_DISK_RECORD=1).
TEST_F(PartitionRoadsTest, RecordOfOneDiskThroughEveryOperation) {
  const SessionDisks sessions = ConnectedSessionDisks();
  UseWindows("2000");
  {
    SessionDiskHandle handle = OpenSessionDiskForWrite(disk_, sessions);
    LayoutRead read = ReadLayout(handle.Get(), LayoutCalls::Legacy);
    ASSERT_EQ(InitResult::Proceed, EnsureDiskInitialized(handle, LayoutCalls::Legacy, read, prompts_));
  }
  Record("initialise (Windows 2000 calls)");
  ASSERT_TRUE(Verify(image_));
  UseWindows("win7");
  ASSERT_EQ(kFormatSucceededText, Add(0, 100, "F:\\", false).status);
  Record("Add 100 MiB, FAT32, F:");
  ASSERT_EQ(kFormatSucceededText, Add(1, 200, "G:\\", true).status);
  Record("Add 200 MiB, NTFS, G:");
  ASSERT_EQ(2u, SfdiskPartitions(image_));
  const DiskLayoutRead before = ReadDiskRegions(disk_);
  ASSERT_TRUE(DeletePartition(disk_, before.regions[0], before.read.layout.Signature, "F:\\", sessions, prompts_));
  Record("Delete the 100 MiB partition (F:)");
  ASSERT_EQ(1u, SfdiskPartitions(image_));

  EXPECT_TRUE(CheckWizardErase(disk_, {}).wouldErase);
  ASSERT_TRUE(WizardTable(std::nullopt, sessions));
  Record("wizard table, whole disk (the deleted partition's FAT32 is still in its bytes)");
  ASSERT_TRUE(Verify(image_));
  const auto volume = WaitForDiskVolume(disk_, 1);
  ASSERT_TRUE(volume.has_value());
  for (const bool ntfs : {true, false}) {
    RecordingFormatDialog dialog(ntfs ? FormatDialogKind::Wizard : FormatDialogKind::Partition, ntfs, !ntfs);
    ASSERT_TRUE(StartVolumeFormat(dialog, {volume->volumePath, disk_}, sessions));
    ASSERT_EQ(kFormatSucceededText, dialog.AfterWorker().status);
    Record(ntfs ? "format NTFS (wizard)" : "format FAT32 (Partition dialog)");
    ASSERT_TRUE(Verify(image_));
    const std::string blkid = Blkid(image_, kWizardPartitionStart);
    EXPECT_NE(std::string::npos, blkid.find(ntfs ? "TYPE=ntfs" : "TYPE=vfat")) << blkid;
    EXPECT_NE(std::string::npos, blkid.find("LABEL=iSCSI")) << blkid;
  }
}

}  // namespace
}  // namespace sw::disk
