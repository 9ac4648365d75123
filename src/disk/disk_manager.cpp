// Disk manager decisions; see disk_manager.h.

#include "disk/disk_manager.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>

#include "base/ascii_case.h"

namespace sw::disk {

std::string TargetShortName(const std::string& targetName) {
  const auto colon = targetName.find(':');
  return colon == std::string::npos ? targetName : targetName.substr(colon + 1);
}

VolumeListFill BuildVolumeList(const VolumeTable& inventory) {
  VolumeListFill fill;
  fill.diskTable.fill(kNoDisk);
  fill.backgrounds.emplace_back(0, kFirstGroupColour);
  bool groupColour = false;
  const std::string* previous = nullptr;
  for (const VolumeRecord& record : inventory) {
    const bool newDisk = previous == nullptr || !base::EqualIgnoringAsciiCase(*previous, record.diskNumberText);
    previous = &record.diskNumberText;
    VolumeRow row{newDisk ? record.diskNumberText : std::string(), record.partitionNumberText, record.volumePath,
                  record.fileSystem, record.capacityText, TargetShortName(record.targetName)};
    if (newDisk) {
      // Only six disks get a bar; the rows of the others are listed all the same.
      if (fill.diskCount < kMaxBars) {
        fill.diskTable[static_cast<std::size_t>(fill.diskCount)] =
            static_cast<std::int32_t>(std::strtol(record.diskNumberText.c_str(), nullptr, 10));
      }
      ++fill.diskCount;
      groupColour = !groupColour;
    }
    fill.backgrounds.emplace_back(static_cast<int>(fill.rows.size()),
                                  groupColour ? kFirstGroupColour : kSecondGroupColour);
    fill.rows.push_back(std::move(row));
  }
  return fill;
}

std::array<std::int32_t, kMaxBars>& DiskTable() {
  static std::array<std::int32_t, kMaxBars> table{kNoDisk, kNoDisk, kNoDisk, kNoDisk, kNoDisk, kNoDisk};
  return table;
}

ManagerSize DiskManagerSize(int diskCount) {
  const int count = std::clamp(diskCount, 0, kMaxBars);
  ManagerSize size;
  if (count <= 2) {
    size.width = 460;
    size.height = 265 + kBarPitch * count;
    return size;
  }
  size.width = 470;
  size.height = 445;
  size.scrollBar = true;
  size.scrollMax = count == 3 ? 130 : 105 * count - 210;
  size.scrollPage = 50;
  return size;
}

int ScrollRange(int scrollMax, int diskCount) { return scrollMax + 12 * (2 - diskCount); }
int ScrollLineStep(int range) { return std::max(5, range / 20); }
int ScrollPageStep(int range) { return std::max(5, range / 10); }

int ScrollTarget(int pos, unsigned code, int thumbPos, int range) {
  int target = pos;
  switch (code) {
    case 0: target = pos - ScrollLineStep(range); break;  // line up
    case 1: target = pos + ScrollLineStep(range); break;  // line down
    case 2: target = pos - ScrollPageStep(range); break;  // page up
    case 3: target = pos + ScrollPageStep(range); break;  // page down
    case 4:                                               // thumb position
    case 5: target = thumbPos; break;                     // thumb track
    default: break;
  }
  return std::clamp(target, 0, std::max(0, range));
}

int WheelTarget(int pos, int wheelDelta, int limit) {
  const int step = std::max(5, limit / 20);
  const int target = wheelDelta < 0 ? pos + step : wheelDelta > 0 ? pos - step : pos;
  return std::clamp(target, 0, std::max(0, limit));
}

int DragTarget(int pos, int previousY, int currentY, int limit) {
  return std::clamp(pos + (previousY - currentY), 0, std::max(0, limit));
}

int ScrollLimit(int barsShown, int clientHeight) {
  if (barsShown <= 0) return 0;
  const int lastBottom = kBarTop + kBarPitch * (barsShown - 1) + kBarHeight;
  return std::max(0, lastBottom + 10 - clientHeight);
}

std::vector<int> MatchingVolumeRows(const VolumeTable& inventory, std::int32_t disk, const std::string& volumePath,
                                    std::int32_t partitionNumber) {
  std::vector<int> matches;
  for (std::size_t i = 0; i < inventory.size(); ++i) {
    const VolumeRecord& record = inventory[i];
    if (record.diskNumber == disk && base::EqualIgnoringAsciiCase(record.volumePath, volumePath) &&
        std::strtol(record.partitionNumberText.c_str(), nullptr, 10) == partitionNumber) {
      matches.push_back(static_cast<int>(i));
    }
  }
  return matches;
}

std::string DeletePartitionQuestion(const BarSegment& segment) {
  const std::string path =
      segment.volumePath.empty() || segment.volumePath == kNoValue ? "no drive letter" : segment.volumePath;
  const std::string fileSystem = segment.fileSystem.empty() ? "no known file system" : segment.fileSystem;
  const double gib = static_cast<double>(segment.length) / 1073741824.0;
  char text[512];
  std::snprintf(text, sizeof text,
                "Delete partition %d (%s, %.2f GB, %s)?\nAll data on this partition will be lost.", segment.number,
                path.c_str(), gib, fileSystem.c_str());
  return text;
}

}  // namespace sw::disk
