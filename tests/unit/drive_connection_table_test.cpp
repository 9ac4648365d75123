#include "share/drive_connection_table.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

#include "share/network_drives.h"
#include "simulated_machine.h"

namespace sw::share {
namespace {

class DriveTableTest : public test::MachineTest {
 protected:
  void SetUp() override {
    test::MachineTest::SetUp();
    machine.SetFabric(fabric::Fabric{});
    std::memset(table_, 0, sizeof table_);
  }

  static int EntryOf(char letter) { return 'Z' - letter; }

  DriveConnectionTableArray table_;
};

TEST(SplitRemoteName, ServerUpToFirstBackslashShareIsTheRest) {
  DriveConnectionEntry e{};
  ASSERT_TRUE(SplitRemoteName("\\\\SRV\\SHARE\\SUB", e));
  EXPECT_STREQ(e.server, "SRV");
  EXPECT_STREQ(e.share, "SHARE\\SUB");

  // Without a backslash after the server the entry keeps what it had.
  std::strcpy(e.server, "OLD");
  std::strcpy(e.share, "KEPT");
  EXPECT_FALSE(SplitRemoteName("\\\\SRVONLY", e));
  EXPECT_FALSE(SplitRemoteName("\\\\", e));
  EXPECT_STREQ(e.server, "OLD");
  EXPECT_STREQ(e.share, "KEPT");

  // A backslash at index 2 or later counts; one at index 2 gives an empty server.
  ASSERT_TRUE(SplitRemoteName("\\\\\\X", e));
  EXPECT_STREQ(e.server, "");
  EXPECT_STREQ(e.share, "X");
}

TEST_F(DriveTableTest, RefreshReadsEveryLetterAndClearsStaleEntries) {
  machine.letters.SetConnection('Q', "\\\\SRV\\SHARE\\SUB");
  machine.letters.SetConnection('A', "\\\\NAS1\\Volume_1");
  std::strcpy(table_[EntryOf('X')].server, "STALE");
  std::strcpy(table_[EntryOf('X')].share, "STALE");
  RefreshDriveConnections(table_);

  for (int n = 0; n < kDriveLetterCount; ++n) {
    EXPECT_EQ(table_[n].driveLabel, (std::string{char('Z' - n), ':'}));
  }
  EXPECT_STREQ(table_[EntryOf('Q')].server, "SRV");
  EXPECT_STREQ(table_[EntryOf('Q')].share, "SHARE\\SUB");
  EXPECT_STREQ(table_[25].server, "NAS1") << "entry 25 is A:";
  EXPECT_STREQ(table_[EntryOf('X')].server, "") << "a letter without a connection is emptied";
  EXPECT_STREQ(table_[EntryOf('X')].share, "");

  // A remote name that does not fit the 256-byte buffer counts as no connection.
  machine.letters.SetConnection('Q', "\\\\SRV\\" + std::string(300, 's'));
  RefreshDriveConnections(table_);
  EXPECT_STREQ(table_[EntryOf('Q')].server, "");
}

TEST_F(DriveTableTest, ComboWithEveryLetterFreeListsZToCAndSelectsZ) {
  unsigned types[kDriveLetterCount];
  for (auto& t : types) t = kDriveNoRootDir;
  RefreshDriveConnections(table_);
  DriveLetterComboContent combo = BuildDriveLetterCombo(table_, types);
  ASSERT_EQ(combo.items.size(), 24u) << "B: and A: are never offered";
  EXPECT_EQ(combo.items.front(), "Z:");
  EXPECT_EQ(combo.items.back(), "C:");
  EXPECT_EQ(combo.selection, 0);
}

TEST_F(DriveTableTest, ComboSkipsLocalDrivesListsMappedOnesAndSelectsHighestFree) {
  unsigned types[kDriveLetterCount];
  for (auto& t : types) t = kDriveNoRootDir;
  types[EntryOf('Z')] = kDriveRemote;     // mapped, offered
  types[EntryOf('Y')] = kDriveFixed;      // local disk
  types[EntryOf('X')] = kDriveRemovable;  // USB stick
  types[EntryOf('W')] = kDriveCdRom;
  types[EntryOf('V')] = kDriveRamDisk;
  types[EntryOf('U')] = kDriveUnknown;    // offered
  machine.letters.SetConnection('Z', "\\\\SRV\\SHARE");
  RefreshDriveConnections(table_);
  DriveLetterComboContent combo = BuildDriveLetterCombo(table_, types);
  ASSERT_EQ(combo.items.size(), 20u);
  EXPECT_EQ(combo.items[0], "Z: \\\\SRV\\SHARE");
  EXPECT_EQ(combo.items[1], "U:");
  EXPECT_EQ(combo.selection, 1) << "a mapped letter is never the pre-selected one";
  for (const auto& item : combo.items) {
    for (char local : {'Y', 'X', 'W', 'V', 'B', 'A'}) EXPECT_NE(item[0], local) << item;
  }
}

TEST_F(DriveTableTest, FreeLettersOfTheDiskDialogsLeaveOutMappedLettersAndEndInABackslash) {
  unsigned types[kDriveLetterCount];
  for (auto& t : types) t = kDriveFixed;
  types[EntryOf('Z')] = kDriveRemote;     // a live mapping is not free here
  types[EntryOf('Y')] = kDriveNoRootDir;  // a mapping whose share is gone: offered, not selected
  types[EntryOf('X')] = kDriveCdRom;
  types[EntryOf('W')] = kDriveUnknown;
  types[EntryOf('E')] = kDriveNoRootDir;
  types[EntryOf('B')] = kDriveUnknown;    // never offered
  machine.letters.SetConnection('Z', "\\\\SRV\\SHARE");
  machine.letters.SetConnection('Y', "\\\\SRV\\GONE");
  RefreshDriveConnections(table_);
  DriveLetterComboContent combo = BuildFreeDriveLetters(table_, types);
  EXPECT_EQ(combo.items, (std::vector<std::string>{"Y: \\\\SRV\\GONE\\", "W:\\", "E:\\"}));
  EXPECT_EQ(combo.selection, 1);
  for (auto& t : types) t = kDriveFixed;
  EXPECT_EQ(BuildFreeDriveLetters(table_, types).selection, -1);
}

TEST_F(DriveTableTest, ComboWithEveryOfferedLetterMappedSelectsNothing) {
  unsigned types[kDriveLetterCount];
  for (int n = 0; n < kDriveLetterCount; ++n) {
    types[n] = kDriveRemote;
    machine.letters.SetConnection(DriveLetterOf(n), "\\\\SRV\\S" + std::to_string(n));
  }
  RefreshDriveConnections(table_);
  DriveLetterComboContent combo = BuildDriveLetterCombo(table_, types);
  EXPECT_EQ(combo.items.size(), 24u);
  EXPECT_EQ(combo.selection, -1);
}

TEST_F(DriveTableTest, CurrentComboAsksTheSimulatedDriveTypes) {
  // The default simulated Windows: C: fixed, D: CD-ROM; a mapped letter becomes remote.
  machine.letters.SetConnection('Q', "\\\\SRV\\SHARE");
  RefreshDriveConnections();
  DriveLetterComboContent combo = CurrentDriveLetterCombo();
  ASSERT_EQ(combo.items.size(), 22u);
  EXPECT_EQ(combo.items.back(), "E:");
  EXPECT_EQ(combo.items['Z' - 'Q'], "Q: \\\\SRV\\SHARE");
  EXPECT_EQ(combo.selection, 0);
  EXPECT_EQ(DriveNameOf(combo.items['Z' - 'Q']), "Q:");
  EXPECT_EQ(DriveNameOf("X"), "");
}

TEST_F(DriveTableTest, LocationFollowsTheCaseRulesAndShowsTheLowestLetter) {
  machine.letters.SetConnection('X', "\\\\NAS1\\volume_1");  // share case differs: always a match
  machine.letters.SetConnection('Q', "\\\\nas1\\Volume_1");  // server case differs
  machine.letters.SetConnection('P', "\\\\10.77.0.10\\Public");
  RefreshDriveConnections(table_);

  EXPECT_EQ(LocationOfVolume(table_, "NAS1", "10.77.0.10", "Volume_1", true), "X:")
      << "after Connect the server must match exactly";
  EXPECT_EQ(LocationOfVolume(table_, "NAS1", "10.77.0.10", "Volume_1", false), "Q:")
      << "after Disconnect case is ignored and the lowest letter wins";
  EXPECT_EQ(LocationOfVolume(table_, "NAS1", "10.77.0.10", "Public", true), "P:") << "the address matches too";
  EXPECT_EQ(LocationOfVolume(table_, "NAS2", "10.77.0.11", "Volume_1", false), "");
  EXPECT_EQ(LocationOfVolume(table_, "NAS1", "10.77.0.10", "Volume", false), "") << "no prefix match";
}

}  // namespace
}  // namespace sw::share
