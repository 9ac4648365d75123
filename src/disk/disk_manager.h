#pragma once
// What the disk manager dialog decides, short of its windows: the rows and colours of its volume
// list with the disk table behind its bars, its size and scroll range for the number of disks,
// the scroll steps, the rows a right click selects, and the question before a partition is
// deleted.

#include <array>
#include <cstdint>
#include <string>
#include <vector>

#include "disk/disk_layout.h"
#include "disk/volume_inventory.h"

namespace sw::disk {

constexpr int kMaxBars = 6;
constexpr int kNoDisk = -1;

// Colours as 0x00BBGGRR.
constexpr std::uint32_t RgbColour(unsigned r, unsigned g, unsigned b) { return r | (g << 8) | (b << 16); }
constexpr std::uint32_t kFirstGroupColour = RgbColour(255, 235, 205);
constexpr std::uint32_t kSecondGroupColour = RgbColour(255, 248, 220);

// Columns of the volume list: Disk, Partition, Volume, File System, Capacity, Target.
using VolumeRow = std::array<std::string, 6>;
constexpr int kVolumeColumn = 2;
constexpr int kPartitionColumn = 1;

struct VolumeListFill {
  std::vector<VolumeRow> rows;
  // (row, background) overrides in the order they are added; the later entry for a row wins.
  std::vector<std::pair<int, std::uint32_t>> backgrounds;
  // The disk number behind each bar 1..6 (index 0..5), kNoDisk for none.
  std::array<std::int32_t, kMaxBars> diskTable;
  int diskCount = 0;  // groups of rows, one per disk; may exceed six (only six get bars)
};

// The part of a target name after its first ':' (the whole name when it has none).
std::string TargetShortName(const std::string& targetName);

// Rows in table order, a new group (and a flip of the group colour) wherever the disk text
// changes, case-insensitively; the Disk column only on a group's first row.
VolumeListFill BuildVolumeList(const VolumeTable& inventory);

// The program-wide disk table of the bars, rebuilt by every fill of the volume list.
std::array<std::int32_t, kMaxBars>& DiskTable();

// First bar at y 235 (client pixels), 80 high, the next 90 below.
constexpr int kBarLeft = 20, kBarRight = 435, kBarTop = 235, kBarHeight = 80, kBarPitch = 90;
constexpr int kManagerLeft = 100, kManagerTop = 225;

struct ManagerSize {
  int width = 0;
  int height = 0;
  bool scrollBar = false;
  int scrollMax = 0;
  int scrollPage = 0;
};
// 460 x 265 without disks, 90 more per disk for one or two, 470 x 445 with a scroll bar for more.
ManagerSize DiskManagerSize(int diskCount);

// How far the scroll bar's requests move: the range and the line and page steps.
int ScrollRange(int scrollMax, int diskCount);
int ScrollLineStep(int range);
int ScrollPageStep(int range);
// The new position for a WM_VSCROLL request (code, thumb position) from `pos`, within 0..range.
int ScrollTarget(int pos, unsigned code, int thumbPos, int range);
// The wheel: steps of max(5, limit / 20), down for a negative turn, within 0..limit.
int WheelTarget(int pos, int wheelDelta, int limit);
// Dragging the background: the old position plus how far the mouse moved up, within 0..limit.
int DragTarget(int pos, int previousY, int currentY, int limit);
// How far wheel and drag may scroll: until the last bar's bottom (and a margin) is in view.
int ScrollLimit(int barsShown, int clientHeight);

// Rows of the volume list (one per record of `inventory`) of disk `disk` whose Volume equals
// `volumePath` (ignoring case) and whose Partition, read as a decimal number, equals
// `partitionNumber`: a segment's partition on another disk (a "*" volume, or the same number) is not
// the one clicked.
std::vector<int> MatchingVolumeRows(const VolumeTable& inventory, std::int32_t disk, const std::string& volumePath,
                                    std::int32_t partitionNumber);

// The question before Delete: the partition's number, drive path, size and file system, and that
// its data will be lost.
std::string DeletePartitionQuestion(const BarSegment& segment);

}  // namespace sw::disk
