// VOLUME_DISK_EXTENTS packing; see volume_structures.h.

#include "disk/volume_structures.h"

namespace sw::disk {

namespace {

void Put(std::uint8_t* p, std::uint64_t v, int bytes) {
  for (int i = 0; i < bytes; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

std::uint64_t Get(const std::uint8_t* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | p[i];
  return v;
}

}  // namespace

std::vector<std::uint8_t> PackVolumeDiskExtents(const std::vector<DiskExtent>& extents) {
  std::vector<std::uint8_t> out(kVolumeDiskExtentsHeaderSize + extents.size() * kDiskExtentSize, 0);
  Put(out.data(), extents.size(), 4);
  for (std::size_t i = 0; i < extents.size(); ++i) {
    std::uint8_t* e = out.data() + kVolumeDiskExtentsHeaderSize + i * kDiskExtentSize;
    Put(e, extents[i].DiskNumber, 4);
    Put(e + 8, static_cast<std::uint64_t>(extents[i].StartingOffset), 8);
    Put(e + 16, static_cast<std::uint64_t>(extents[i].ExtentLength), 8);
  }
  return out;
}

bool UnpackFirstDiskExtent(const std::uint8_t* data, std::size_t size, DiskExtent& extent) {
  if (data == nullptr || size < kVolumeDiskExtentsHeaderSize + kDiskExtentSize || Get(data, 4) == 0) return false;
  const std::uint8_t* e = data + kVolumeDiskExtentsHeaderSize;
  extent.DiskNumber = static_cast<std::uint32_t>(Get(e, 4));
  extent.StartingOffset = static_cast<std::int64_t>(Get(e + 8, 8));
  extent.ExtentLength = static_cast<std::int64_t>(Get(e + 16, 8));
  return true;
}

}  // namespace sw::disk
