// Partition table changes on simulated disks, judged by sfdisk reading the image files.
// SW_DISK_SHOW_DUMPS=1 prints the sfdisk dumps of the operation sequence. The random roads are in
// partition_roads_test.cpp.

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "disk/disk_access.h"
#include "simulated_machine.h"
#include "disk/partitions.h"
#include "shell_command.h"

namespace sw::disk {
namespace {

namespace fs = std::filesystem;

constexpr std::uint64_t kCylinder = 255ull * 63 * 512;
constexpr std::uint64_t kDiskSize = 16 * kCylinder;  // 125 MiB, whole cylinders: geometry = image size

struct Part {
  int number = 0;
  std::uint64_t start = 0;
  std::uint64_t size = 0;
  std::string type;
};

using test::Shell;

std::string Dump(const std::string& image) { return Shell("sfdisk --dump '" + image + "' 2>&1"); }

bool Verify(const std::string& image) {
  int status = -1;
  Shell("sfdisk --verify '" + image + "' >/dev/null 2>&1", &status);
  return status == 0;
}

std::vector<Part> Parts(const std::string& image) {
  std::vector<Part> parts;
  std::string dump = Dump(image);
  std::size_t pos = 0;
  while ((pos = dump.find(image, pos)) != std::string::npos) {
    std::size_t eol = dump.find('\n', pos);
    std::string line = dump.substr(pos + image.size(), eol - pos - image.size());
    pos = eol;
    Part p;
    unsigned long long start = 0, size = 0;
    char type[16] = "";
    if (std::sscanf(line.c_str(), "%d : start= %llu, size= %llu, type=%15[0-9a-fA-F]", &p.number, &start, &size, type) == 4) {
      p.start = start;
      p.size = size;
      p.type = type;
      parts.push_back(p);
    }
  }
  return parts;
}

std::string LabelId(const std::string& image) {
  std::string dump = Dump(image);
  std::size_t at = dump.find("label-id: ");
  return at == std::string::npos ? "" : dump.substr(at + 10, dump.find('\n', at) - at - 10);
}

std::string ReadFile(const std::string& path) {
  std::string bytes;
  std::FILE* f = std::fopen(path.c_str(), "rb");
  if (f == nullptr) return bytes;
  std::vector<char> chunk(1 << 20);
  std::size_t n;
  while ((n = std::fread(chunk.data(), 1, chunk.size(), f)) > 0) bytes.append(chunk.data(), n);
  std::fclose(f);
  return bytes;
}

class ScriptedPrompts : public DiskPrompts {
 public:
  explicit ScriptedPrompts(bool initialize) : initialize_(initialize) {}
  void ShowNotHandled() override { ++notHandled; }
  bool AskInitialize() override {
    ++asked;
    return initialize_;
  }
  void Refuse(const std::string& text) override { refusals.push_back(text); }
  bool ConfirmErase(const std::string& question) override {
    questions.push_back(question);
    return initialize_;
  }
  int notHandled = 0;
  int asked = 0;
  std::vector<std::string> refusals;
  std::vector<std::string> questions;

 private:
  bool initialize_;
};

class DiskImageTest : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    char pattern[] = "/tmp/sw-disk-XXXXXX";
    ASSERT_NE(mkdtemp(pattern), nullptr);
    dir_ = pattern;
  }
  void TearDown() override {
    test::MachineTest::TearDown();
    fs::remove_all(dir_);
  }

  std::string Image(const std::string& name, std::uint64_t size, const std::string& sfdiskScript = "") {
    std::string path = dir_ + "/" + name;
    std::ofstream(path, std::ios::binary).close();
    fs::resize_file(path, size);
    if (!sfdiskScript.empty()) {
      int status = -1;
      Shell("printf '" + sfdiskScript + "' | sfdisk -q '" + path + "' >/dev/null 2>&1", &status);
      EXPECT_EQ(status, 0) << sfdiskScript;
    }
    return path;
  }

  // Disk 0 the system disk (in memory), `number` the session disk on `image`.
  void UseDisks(std::vector<winsim::DiskConfig> extra) {
    winsim::DiskConfig system;
    system.number = 0;
    system.sizeBytes = 64ull << 30;
    system.local = true;
    extra.insert(extra.begin(), system);
    machine.disks.SetAttachedDisks(extra);
  }

  void UseWindows(const char* name) {
    winsim::WindowsVersion windows;
    ASSERT_TRUE(winsim::ParseWindowsVersion(name, windows));
    machine.SetVersion(windows);
  }

  // Add through the same steps the disk manager takes: refresh, prepare, write.
  CreatePartitionResult Add(std::int32_t disk, int row, std::uint32_t mib, const SessionDisks& sessions,
                            DiskPrompts& prompts) {
    DiskLayoutRead read = ReadDiskRegions(disk);
    AddPreparation prep = PrepareAddPartition(disk, read.regions, row, sessions, prompts);
    if (prep.outcome != AddOutcome::Ready) return {};
    prep.request.requestedMiB = mib;
    return CreatePartitionTableEntry(prep.request, sessions);
  }

  // Delete as the manager asks it: the partition numbered `number` as the disk reads now.
  bool Delete(std::int32_t disk, std::int32_t number, const SessionDisks& sessions, DiskPrompts& prompts) {
    const DiskLayoutRead read = ReadDiskRegions(disk);
    for (const DiskRegion& r : read.regions) {
      if (r.number == number) return DeletePartitionEntry(disk, r, read.read.layout.Signature, sessions, prompts);
    }
    return false;
  }
  // The wizard's table on the disk as it is now (as a wizard that just asked about it writes it).
  static bool WizardTable(std::int32_t disk, std::optional<std::uint32_t> mib, const SessionDisks& sessions) {
    return WritePartitionTableForWizard(disk, mib, sessions, CheckWizardErase(disk, {}).identity).written;
  }

  void Show(const char* step, const std::string& image) {
    const char* show = std::getenv("SW_DISK_SHOW_DUMPS");
    if (show != nullptr && *show == '1') std::printf("--- %s\n%s", step, Dump(image).c_str());
  }

  std::string dir_;
};

const SessionDisks kSessions(std::vector<std::int32_t>{2});

TEST_F(DiskImageTest, InitialiseAddTwiceDeleteAndWizardTableAsSfdiskReadsThem) {
  std::string image = Image("disk2.img", kDiskSize);
  UseDisks({{2, image, kDiskSize, false}});
  ScriptedPrompts yes(true);

  // Raw disk: the extended calls report it raw, which is not handled; the legacy calls read an empty
  // table, so on Windows 2000 the first Add asks, initialises and writes into the last unused slot.
  EXPECT_EQ(Add(2, 0, 30, kSessions, yes).opened, false);
  EXPECT_EQ(yes.notHandled, 1);
  UseWindows("2000");
  CreatePartitionResult first = Add(2, 0, 30, kSessions, yes);
  UseWindows("win7");
  EXPECT_EQ(yes.asked, 1);
  ASSERT_TRUE(first.written);
  EXPECT_EQ(first.partitionNumber, 1u);  // Windows numbers real partitions in table order
  std::string label = LabelId(image);
  EXPECT_NE(label, "");
  EXPECT_NE(label, "0x00000000");
  EXPECT_NE(label, "0x5ec0a11d");  // the system disk's
  Show("initialise + Add 30 MiB", image);
  ASSERT_TRUE(Verify(image));
  auto parts = Parts(image);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].number, 4);
  EXPECT_EQ(parts[0].start, 63u);
  EXPECT_EQ(parts[0].size, 30u * 2048);
  EXPECT_EQ(parts[0].type, "7");

  CreatePartitionResult second = Add(2, 1, 50, kSessions, yes);
  ASSERT_TRUE(second.written);
  EXPECT_EQ(yes.asked, 1);  // an initialised disk is not asked about again
  Show("Add 50 MiB", image);
  ASSERT_TRUE(Verify(image));
  parts = Parts(image);
  ASSERT_EQ(parts.size(), 2u);
  EXPECT_EQ(parts[0].number, 3);  // the last unused entry then
  EXPECT_EQ(second.partitionNumber, 1u);  // before the first partition's entry: it is number 1 now
  EXPECT_EQ(parts[0].start, 63u + 30u * 2048);
  EXPECT_EQ(parts[0].size, 50u * 2048);
  EXPECT_EQ(LabelId(image), label);

  ASSERT_TRUE(Delete(2, 2, kSessions, yes));  // the 30 MiB partition, renumbered 2
  Show("Delete partition 2", image);
  ASSERT_TRUE(Verify(image));
  parts = Parts(image);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].number, 3);

  // The wizard asks first, naming what it would erase; an oversize request ends at the last byte.
  WizardEraseCheck check = CheckWizardErase(2, {{2, 1, "F:\\", "NTFS"}});
  EXPECT_TRUE(check.wouldErase);
  EXPECT_NE(check.question.find("Disk 2"), std::string::npos);
  EXPECT_NE(check.question.find("50 MB, NTFS on F:\\"), std::string::npos) << check.question;
  machine.disks.ClearCalls();
  ASSERT_TRUE(WizardTable(2, 100000, kSessions));
  Show("wizard table, 100000 MiB requested", image);
  ASSERT_TRUE(Verify(image));
  parts = Parts(image);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].number, 1);
  EXPECT_EQ(parts[0].start, 63u);
  EXPECT_EQ((parts[0].start + parts[0].size) * 512, static_cast<std::uint64_t>(ReadDiskSize(2)));
  bool sent2496 = false;
  for (const auto& call : machine.disks.Calls()) {
    sent2496 = sent2496 || (call.code == kIoctlDiskSetDriveLayoutEx && call.inSize == 2496);
  }
  EXPECT_TRUE(sent2496);
  EXPECT_FALSE(CheckWizardErase(2, {}).question.empty());
}

TEST_F(DiskImageTest, Windows2000UsesTheLegacyCalls) {
  UseWindows("2000");
  std::string image = Image("disk2.img", kDiskSize);
  UseDisks({{2, image, kDiskSize, false}});
  ScriptedPrompts yes(true);
  machine.disks.ClearCalls();
  ASSERT_TRUE(Add(2, 0, 50, kSessions, yes).written);
  ASSERT_TRUE(Delete(2, 1, kSessions, yes));
  ASSERT_TRUE(WizardTable(2, std::nullopt, kSessions));  // whole MiB of the disk
  int legacySets = 0;
  for (const auto& call : machine.disks.Calls()) {
    EXPECT_NE(call.code, kIoctlDiskCreateDisk);
    if (call.code == kIoctlDiskSetDriveLayout) {
      EXPECT_EQ(call.inSize, 552u);
      ++legacySets;
    }
  }
  EXPECT_EQ(legacySets, 3);  // initialise, delete, wizard
  ASSERT_TRUE(Verify(image));
  auto parts = Parts(image);
  ASSERT_EQ(parts.size(), 1u);
  EXPECT_EQ(parts[0].size * 512, kDiskSize / kMiB * kMiB);
  EXPECT_NE(LabelId(image), "0x00000000");
}

// A layout read that fails is "cannot read", never "empty": nobody is asked to initialise, nothing
// is written, and the manager shows the disk as unreadable rather than free.
TEST_F(DiskImageTest, AFailedReadIsNeverAnEmptyDisk) {
  std::string image = Image("disk2.img", kDiskSize, "label: dos\nsize=20M,type=7\nsize=20M,type=7\n");
  UseDisks({{2, image, kDiskSize, false}});
  ScriptedPrompts yes(true);
  const std::string before = ReadFile(image);
  DiskLayoutRead read = ReadDiskRegions(2);
  ASSERT_EQ(3u, read.regions.size());
  machine.disks.ClearCalls();
  for (const char* legacyOrNot : {"win7", "2000"}) {
    UseWindows(legacyOrNot);
    machine.disks.FailNextLayoutReads(1);
    EXPECT_EQ(AddOutcome::Abandoned, PrepareAddPartition(2, read.regions, 2, kSessions, yes).outcome) << legacyOrNot;
    machine.disks.FailNextLayoutReads(1);
    EXPECT_FALSE(DeletePartitionEntry(2, read.regions[0], read.read.layout.Signature, kSessions, yes)) << legacyOrNot;
    machine.disks.FailNextLayoutReads(1);
    const DiskLayoutRead unreadable = ReadDiskRegions(2);
    EXPECT_TRUE(unreadable.unreadable && unreadable.regions.empty()) << legacyOrNot;
  }
  UseWindows("win7");
  machine.disks.FailNextLayoutReads(2);  // the extended and the legacy read of the wizard's check
  EXPECT_TRUE(CheckWizardErase(2, {}).wouldErase);
  EXPECT_EQ(0, yes.asked);
  ASSERT_EQ(4u, yes.refusals.size());
  EXPECT_NE(std::string::npos, yes.refusals[0].find("could not be read")) << yes.refusals[0];
  EXPECT_EQ(ReadFile(image), before);
  for (const auto& call : machine.disks.Calls()) {
    EXPECT_TRUE(call.code != kIoctlDiskSetDriveLayout && call.code != kIoctlDiskSetDriveLayoutEx &&
                call.code != kIoctlDiskCreateDisk);
  }
}

TEST_F(DiskImageTest, AddRefusesAFifthAndNumbersIntoTheLastUnusedSlot) {
  std::string full = Image("full.img", kDiskSize,
                           "label: dos\\nsize=20M,type=7\\nsize=20M,type=7\\nsize=20M,type=7\\nsize=20M,type=7\\n");
  std::string gappy = Image("gappy.img", kDiskSize, "label: dos\\nsize=20M,type=7\\nsize=20M,type=7\\nsize=20M,type=7\\n");
  Shell("sfdisk -q --delete '" + gappy + "' 2 >/dev/null 2>&1");
  UseDisks({{2, full, kDiskSize, false}, {3, gappy, kDiskSize, false}});
  const SessionDisks sessions(std::vector<std::int32_t>{2, 3});
  ScriptedPrompts yes(true);

  std::string before = ReadFile(full);
  DiskLayoutRead read = ReadDiskRegions(2);
  ASSERT_EQ(CountPartitions(read.regions), 4u);
  EXPECT_EQ(PrepareAddPartition(2, read.regions, static_cast<int>(read.regions.size()) - 1, sessions, yes).outcome,
            AddOutcome::TooManyPartitions);
  EXPECT_EQ(ReadFile(full), before);

  read = ReadDiskRegions(3);
  int freeRow = -1;
  for (std::size_t i = 0; i < read.regions.size(); ++i) {
    if (read.regions[i].number == 0 && freeRow < 0) freeRow = static_cast<int>(i);
  }
  ASSERT_GE(freeRow, 0);
  AddPreparation prep = PrepareAddPartition(3, read.regions, freeRow, sessions, yes);
  ASSERT_EQ(prep.outcome, AddOutcome::Ready);
  EXPECT_EQ(prep.request.slot, 3);
  EXPECT_EQ(prep.request.newNumber, 3u);  // Windows numbered the two partitions 1 and 2
  prep.request.requestedMiB = 10;
  EXPECT_EQ(CreatePartitionTableEntry(prep.request, sessions).partitionNumber, 3u);
  ASSERT_TRUE(Verify(gappy));
  auto parts = Parts(gappy);
  ASSERT_EQ(parts.size(), 3u);
  EXPECT_EQ(parts[2].number, 4);
  EXPECT_EQ(parts[2].size, 10u * 2048);
  EXPECT_EQ(yes.asked, 0);
}

// A disk with two primaries, an extended partition and two logical drives, as another system made
// it: Windows reports its twelve entries only to a buffer that holds them, so the read is made
// again until it fits. Every partition shows; Add into the free primary slot and Delete of a
// primary leave both logical drives (and their EBRs) exactly as they were; a logical drive or a
// partition the table no longer holds is never deleted.
TEST_F(DiskImageTest, LogicalDrivesAreShownAndKeptByAddAndDelete) {
  const std::string path = dir_ + "/ext.img";
  std::string image = Image("ext.img", kDiskSize,
                            "label: dos\n" + path + "1 : start=2048, size=10M, type=7\n" + path +
                                "2 : start=22528, size=10M, type=7\n" + path + "3 : start=43008, size=40M, type=5\n" +
                                path + "5 : size=10M, type=7\n" + path + "6 : size=10M, type=83\n");
  UseDisks({{2, image, kDiskSize, false}});
  ScriptedPrompts yes(true);
  auto logicalLines = [&] {
    std::string lines;
    for (const Part& p : Parts(image)) {
      if (p.number >= 5) lines += std::to_string(p.number) + ":" + std::to_string(p.start) + "+" + std::to_string(p.size) + ";";
    }
    return lines;
  };
  const std::string logicals = logicalLines();
  ASSERT_EQ(2u, std::count(logicals.begin(), logicals.end(), ';')) << Dump(image);
  Show("before", image);

  for (const char* windows : {"win7", "2000"}) {
    UseWindows(windows);
    const DiskLayoutRead read = ReadDiskRegions(2);
    ASSERT_FALSE(read.unreadable) << windows;
    std::vector<int> numbers;
    for (const DiskRegion& r : read.regions) numbers.push_back(r.number);
    EXPECT_EQ((std::vector<int>{1, 2, 3, 4, 0}), numbers) << windows << ": primaries, logical drives, free space";
    EXPECT_TRUE(read.regions[2].logical && read.regions[3].logical);
  }
  UseWindows("win7");

  // Add into the free primary slot, in the free space after the extended partition.
  DiskLayoutRead read = ReadDiskRegions(2);
  AddPreparation prep = PrepareAddPartition(2, read.regions, 4, kSessions, yes);
  ASSERT_EQ(AddOutcome::Ready, prep.outcome);
  EXPECT_EQ(3, prep.request.slot);
  prep.request.requestedMiB = 20;
  const CreatePartitionResult added = CreatePartitionTableEntry(prep.request, kSessions);
  ASSERT_TRUE(added.written) << added.refusal;
  EXPECT_EQ(3u, added.partitionNumber);  // the primaries come first in Windows' numbering
  Show("after Add", image);
  ASSERT_TRUE(Verify(image));
  EXPECT_EQ(logicals, logicalLines());

  // Three primaries and the extended partition fill the table: another primary is refused.
  read = ReadDiskRegions(2);
  ASSERT_EQ(0, read.regions.back().number);
  EXPECT_EQ(AddOutcome::TooManyPartitions,
            PrepareAddPartition(2, read.regions, static_cast<int>(read.regions.size()) - 1, kSessions, yes).outcome);

  // Delete of a logical drive and of a number the table no longer holds: refused, nothing written.
  const std::string before = ReadFile(image);
  DiskRegion logical;
  for (const DiskRegion& r : read.regions) {
    if (r.logical) logical = r;
  }
  EXPECT_FALSE(DeletePartitionEntry(2, logical, read.read.layout.Signature, kSessions, yes));
  DiskRegion stale = read.regions[0];
  stale.number = 7;
  EXPECT_FALSE(DeletePartitionEntry(2, stale, read.read.layout.Signature, kSessions, yes));
  ASSERT_EQ(2u, yes.refusals.size());
  EXPECT_NE(std::string::npos, yes.refusals[0].find("logical drive")) << yes.refusals[0];
  EXPECT_EQ(ReadFile(image), before);

  // Delete of the first primary.
  ASSERT_TRUE(DeletePartitionEntry(2, read.regions[0], read.read.layout.Signature, kSessions, yes));
  Show("after Delete of partition 1", image);
  ASSERT_TRUE(Verify(image));
  EXPECT_EQ(logicals, logicalLines());
  EXPECT_EQ(5u, Parts(image).size());  // partitions 2, 3 (extended), 4 and the two logical drives
}

// Every write is checked again at the moment it happens: a slot taken, space taken or another disk
// behind the number since the Add read the disk (another program, a second instance, a reconnect)
// refuses the write and changes nothing.
TEST_F(DiskImageTest, AChangedDiskBetweenTheDialogAndFormatIsRefused) {
  std::string image = Image("disk2.img", kDiskSize, "label: dos\nlabel-id: 0x11112222\nsize=20M,type=7\n");
  UseDisks({{2, image, kDiskSize, false}});
  ScriptedPrompts yes(true);
  const DiskLayoutRead read = ReadDiskRegions(2);
  AddPreparation prep = PrepareAddPartition(2, read.regions, 1, kSessions, yes);
  ASSERT_EQ(AddOutcome::Ready, prep.outcome);
  prep.request.requestedMiB = 30;
  struct Change {
    const char* what;
    std::string script;
    const char* refusal;
  } changes[] = {
      {"slot taken", "label: dos\nlabel-id: 0x11112222\nsize=20M,type=7\n" + image + "4 : start=100M, size=10M, type=83\n",
       kEntryInUseNow},
      {"space taken", "label: dos\nlabel-id: 0x11112222\nsize=20M,type=7\nsize=20M,type=83\n", kSpaceTakenNow},
      {"another disk", "label: dos\nlabel-id: 0x33334444\nsize=20M,type=7\n", kAnotherDiskNow},
  };
  for (const Change& change : changes) {
    int status = -1;
    Shell("printf '" + change.script + "' | sfdisk -q --wipe never '" + image + "' >/dev/null 2>&1", &status);
    ASSERT_EQ(0, status) << change.what;
    const std::string before = ReadFile(image);
    const CreatePartitionResult result = CreatePartitionTableEntry(prep.request, kSessions);
    EXPECT_FALSE(result.written) << change.what;
    EXPECT_NE(std::string::npos, result.refusal.find(change.refusal)) << change.what << ": " << result.refusal;
    EXPECT_EQ(ReadFile(image), before) << change.what;
    Show(change.what, image);
  }
}

// Tables the disk cannot take are refused before anything is written, saying why; a disk with
// 4096-byte sectors gets a table in its own sectors.
TEST_F(DiskImageTest, LargeAndFourKilobyteSectorDisks) {
  const std::uint64_t threeTiB = 3ull << 40;
  std::string large = Image("large.img", threeTiB);
  std::string fourK = Image("4k.img", 512ull << 20);
  winsim::DiskConfig big{2, large, threeTiB, false};
  winsim::DiskConfig native4k{3, fourK, 512ull << 20, false};
  native4k.bytesPerSector = 4096;
  UseDisks({big, native4k});
  const SessionDisks sessions(std::vector<std::int32_t>{2, 3});
  const std::string head = "head -c 1048576 '" + large + "' | md5sum";
  const std::string before = Shell(head);
  WizardWrite write = WritePartitionTableForWizard(2, std::nullopt, sessions, CheckWizardErase(2, {}).identity);
  EXPECT_FALSE(write.written);
  EXPECT_NE(std::string::npos, write.refusal.find("cannot address")) << write.refusal;
  EXPECT_EQ(Shell(head), before);
  EXPECT_TRUE(WizardTable(2, 1u << 20, sessions)) << "1 TiB fits in what an MBR addresses";

  ASSERT_TRUE(WizardTable(3, std::nullopt, sessions));
  // sfdisk counts the image in 512-byte units; the entry holds 4096-byte sectors: 63 of them, then
  // the geometry's 128520 sectors less those.
  const std::string dump = Dump(fourK);
  Show("4096-byte sectors", fourK);
  EXPECT_NE(std::string::npos, dump.find("4k.img1 : start=          63, size=      128457, type=7")) << dump;
}

// A disk without a partition table that another system wrote whole still holds data: the wizard
// asks first, naming what it found, and the legacy Add asks before initialising it.
TEST_F(DiskImageTest, ATableLessDiskWithAFileSystemIsAskedAbout) {
  std::string ext4 = Image("ext4.img", kDiskSize);
  std::string swap = Image("swap.img", kDiskSize);
  int status = -1;
  Shell("mkfs.ext4 -q -F '" + ext4 + "' >/dev/null 2>&1 && mkswap '" + swap + "' >/dev/null 2>&1", &status);
  ASSERT_EQ(0, status);
  UseDisks({{2, ext4, kDiskSize, false}, {3, swap, kDiskSize, false}});
  const SessionDisks sessions(std::vector<std::int32_t>{2, 3});
  const std::string before = ReadFile(ext4);
  Show("whole-disk ext4, before", ext4);
  const WizardEraseCheck check = CheckWizardErase(2, {});
  EXPECT_TRUE(check.wouldErase);
  EXPECT_NE(std::string::npos, check.question.find("Disk 2 has no partition table, but it is not empty: it holds an "
                                                   "ext4 file system."))
      << check.question;
  EXPECT_NE(std::string::npos, CheckWizardErase(3, {}).question.find("a Linux swap area"));

  UseWindows("2000");  // the legacy calls read no table and would initialise
  ScriptedPrompts no(false);
  const DiskLayoutRead read = ReadDiskRegions(2);
  EXPECT_EQ(AddOutcome::Abandoned, PrepareAddPartition(2, read.regions, 0, sessions, no).outcome);
  EXPECT_EQ(0, no.asked);
  ASSERT_EQ(1u, no.questions.size());
  EXPECT_NE(std::string::npos, no.questions[0].find("ext4"));
  Show("whole-disk ext4, after the question was answered No", ext4);
  EXPECT_EQ(ReadFile(ext4), before);
}

TEST_F(DiskImageTest, DisksOfNoSessionAreNeverWritten) {
  std::string local = Image("local.img", kDiskSize, "label: dos\\nsize=20M,type=7\\n");
  std::string stranger = Image("stranger.img", kDiskSize);
  UseDisks({{1, local, kDiskSize, true}, {3, stranger, kDiskSize, false}});
  const SessionDisks sessions(std::vector<std::int32_t>{0, 2});  // disk 0 listed by mistake
  ScriptedPrompts yes(true);
  const std::string localBefore = ReadFile(local), strangerBefore = ReadFile(stranger);
  for (std::int32_t disk : {0, 1, 3}) {
    DiskLayoutRead read = ReadDiskRegions(disk);
    ASSERT_FALSE(read.regions.empty()) << disk;  // reading is allowed
    EXPECT_EQ(PrepareAddPartition(disk, read.regions, 0, sessions, yes).outcome, AddOutcome::Stopped) << disk;
    PartitionRequest request;
    request.disk = disk;
    request.regionStart = 200 * kMiB;
    request.requestedMiB = 10;
    EXPECT_FALSE(CreatePartitionTableEntry(request, sessions).opened) << disk;
    EXPECT_FALSE(DeletePartitionEntry(disk, DiskRegion{1, kMiB, 20 * kMiB, 21 * kMiB}, 0, sessions, yes)) << disk;
    EXPECT_FALSE(WizardTable(disk, std::nullopt, sessions)) << disk;
  }
  EXPECT_EQ(yes.asked, 0);
  EXPECT_EQ(ReadFile(local), localBefore);
  EXPECT_EQ(ReadFile(stranger), strangerBefore);
  for (const auto& call : machine.disks.Calls()) {
    EXPECT_TRUE(call.code != kIoctlDiskSetDriveLayout && call.code != kIoctlDiskSetDriveLayoutEx &&
                call.code != kIoctlDiskCreateDisk);
  }
}

TEST_F(DiskImageTest, GptIsNotHandledAndARefusedInitialisationChangesNothing) {
  std::string gpt = Image("gpt.img", kDiskSize, "label: gpt\\nsize=20M\\nsize=20M\\n");
  std::string raw = Image("raw.img", kDiskSize);
  UseDisks({{2, gpt, kDiskSize, false}, {3, raw, kDiskSize, false}});
  const SessionDisks sessions(std::vector<std::int32_t>{2, 3});
  const std::string gptBefore = ReadFile(gpt), rawBefore = ReadFile(raw);

  ScriptedPrompts no(false);
  DiskLayoutRead read = ReadDiskRegions(2);
  EXPECT_EQ(PrepareAddPartition(2, read.regions, 0, sessions, no).outcome, AddOutcome::Abandoned);
  EXPECT_FALSE(Delete(2, 1, sessions, no));
  EXPECT_EQ(no.notHandled, 2);
  WizardEraseCheck check = CheckWizardErase(2, {});
  EXPECT_TRUE(check.wouldErase);
  EXPECT_NE(check.question.find("Disk 2 uses the GPT partition style and holds 2 partition(s)"), std::string::npos)
      << check.question;

  UseWindows("2000");  // the legacy calls see the raw disk as an empty table and ask
  read = ReadDiskRegions(3);
  EXPECT_EQ(PrepareAddPartition(3, read.regions, 0, sessions, no).outcome, AddOutcome::Abandoned);
  EXPECT_EQ(no.asked, 1);
  UseWindows("win7");
  EXPECT_FALSE(CheckWizardErase(3, {}).wouldErase);
  EXPECT_EQ(ReadFile(gpt), gptBefore);
  EXPECT_EQ(ReadFile(raw), rawBefore);
}

}  // namespace
}  // namespace sw::disk
