// The disk manager's decisions: volume rows and groups, the disk table, sizes and scroll steps,
// and the Delete question.

#include <gtest/gtest.h>

#include "disk/disk_manager.h"

namespace sw::disk {
namespace {

VolumeRecord Record(const char* disk, const char* partition, const char* path, const char* target) {
  VolumeRecord r;
  r.diskNumberText = disk;
  r.partitionNumberText = partition;
  r.volumePath = path;
  r.fileSystem = "NTFS";
  r.capacityText = "1.00 Gb";
  r.targetName = target;
  return r;
}

// Groups start where the disk text changes (ignoring case), alternate colours, and fill the disk
// table; a seventh disk is listed but has no table entry.
TEST(DiskManagerList, GroupsColoursAndTheDiskTable) {
  VolumeTable table = {Record("2", "1", "E:\\", "iqn.x:a"), Record("2", "2", "F:\\", "iqn.x:a"),
                       Record("3", "*", "*", "plain")};
  for (int d = 4; d <= 8; ++d) table.push_back(Record(std::to_string(d).c_str(), "1", "*", "t:u:v"));
  VolumeListFill fill = BuildVolumeList(table);
  ASSERT_EQ(8u, fill.rows.size());
  EXPECT_EQ((VolumeRow{"2", "1", "E:\\", "NTFS", "1.00 Gb", "a"}), fill.rows[0]);
  EXPECT_EQ("", fill.rows[1][0]);
  EXPECT_EQ("plain", fill.rows[2][5]);
  EXPECT_EQ("u:v", fill.rows[3][5]);
  EXPECT_EQ(7, fill.diskCount);
  EXPECT_EQ((std::array<std::int32_t, 6>{2, 3, 4, 5, 6, 7}), fill.diskTable);
  // The row-0 override first, then one per row: the groups alternate.
  ASSERT_EQ(9u, fill.backgrounds.size());
  EXPECT_EQ(kFirstGroupColour, fill.backgrounds[2].second);
  EXPECT_EQ(kSecondGroupColour, fill.backgrounds[3].second);
  EXPECT_EQ(kFirstGroupColour, fill.backgrounds[4].second);

  VolumeListFill one = BuildVolumeList({Record("1", "1", "E:\\", ""), Record("1", "2", "F:\\", "")});
  EXPECT_EQ(1, one.diskCount);
  EXPECT_EQ(kNoDisk, one.diskTable[1]);
}

// Scroll ranges for three to six disks and the steps: never below 0 or past the range.
TEST(DiskManagerScroll, RangesAndSteps) {
  const int expectedMax[] = {130, 210, 315, 420};
  for (int disks = 3; disks <= 6; ++disks) {
    ManagerSize size = DiskManagerSize(disks);
    EXPECT_TRUE(size.scrollBar);
    EXPECT_EQ(expectedMax[disks - 3], size.scrollMax) << disks;
  }
  EXPECT_EQ(445, DiskManagerSize(2).height);
  EXPECT_FALSE(DiskManagerSize(2).scrollBar);
  EXPECT_EQ(DiskManagerSize(6).scrollMax, DiskManagerSize(9).scrollMax);

  const int range = ScrollRange(130, 3);  // 118
  EXPECT_EQ(0, ScrollTarget(3, 0, 0, range));
  EXPECT_EQ(5 + 11, ScrollTarget(5, 3, 0, range));
  EXPECT_EQ(range, ScrollTarget(0, 5, 500, range));
  EXPECT_EQ(5, ScrollTarget(0, 1, 0, 40)) << "the step is at least 5";
  EXPECT_EQ(10, WheelTarget(5, -120, 100));
  EXPECT_EQ(0, WheelTarget(3, 120, 100));
  EXPECT_EQ(100, DragTarget(90, 300, 250, 100));
  EXPECT_EQ(0, ScrollLimit(2, 445)) << "two bars fit the window";
}

// The Delete question names the partition; a partition without letter or file system says so.
TEST(DiskManagerDelete, QuestionNamesThePartition) {
  BarSegment s;
  s.number = 2;
  s.occupied = 1;
  s.volumePath = "E:\\";
  s.length = 10ll << 30;
  s.fileSystem = "NTFS";
  EXPECT_EQ("Delete partition 2 (E:\\, 10.00 GB, NTFS)?\nAll data on this partition will be lost.",
            DeletePartitionQuestion(s));
  s.volumePath = "*";
  s.fileSystem.clear();
  EXPECT_EQ(0u, DeletePartitionQuestion(s).find("Delete partition 2 (no drive letter, 10.00 GB, no known file system)"));
}

}  // namespace
}  // namespace sw::disk
