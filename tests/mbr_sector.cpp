// Master boot record bytes.

#include "mbr_sector.h"

#include "disk/disk_structures.h"

namespace sw::disk {

namespace {

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

}  // namespace

MbrSector ParseMbrSector(const std::uint8_t* sector) {
  MbrSector mbr;
  mbr.hasMarker = sector[kMbrMarkerOffset] == 0x55 && sector[kMbrMarkerOffset + 1] == 0xAA;
  mbr.diskSignature = Get32(sector + kMbrSignatureOffset);
  for (int i = 0; i < 4; ++i) {
    const std::uint8_t* e = sector + kMbrTableOffset + 16 * i;
    mbr.entries[i].status = e[0];
    mbr.entries[i].type = e[4];
    mbr.entries[i].firstLba = Get32(e + 8);
    mbr.entries[i].sectorCount = Get32(e + 12);
  }
  return mbr;
}

SectorStyle ClassifySector(const MbrSector& mbr) {
  if (!mbr.hasMarker) return SectorStyle::Raw;
  for (const auto& e : mbr.entries) {
    if (e.type == kPartitionGptProtective) return SectorStyle::GptProtective;
  }
  return SectorStyle::Mbr;
}

void LbaToChs(std::uint32_t lba, std::uint32_t heads, std::uint32_t sectorsPerTrack, std::uint8_t out[3]) {
  if (heads == 0 || sectorsPerTrack == 0) {
    out[0] = out[1] = out[2] = 0;
    return;
  }
  std::uint32_t cylinder = lba / (heads * sectorsPerTrack);
  std::uint32_t head = (lba / sectorsPerTrack) % heads;
  std::uint32_t sector = lba % sectorsPerTrack + 1;
  if (cylinder > 1023) {
    cylinder = 1023;
    head = heads - 1;
    sector = sectorsPerTrack;
  }
  out[0] = static_cast<std::uint8_t>(head);
  out[1] = static_cast<std::uint8_t>((sector & 0x3F) | ((cylinder >> 2) & 0xC0));
  out[2] = static_cast<std::uint8_t>(cylinder & 0xFF);
}

void WriteMbrSector(std::uint8_t* sector, std::uint32_t diskSignature, const MbrEntry (&entries)[4],
                    std::uint32_t heads, std::uint32_t sectorsPerTrack) {
  Put32(sector + kMbrSignatureOffset, diskSignature);
  sector[444] = 0;
  sector[445] = 0;
  for (int i = 0; i < 4; ++i) {
    std::uint8_t* e = sector + kMbrTableOffset + 16 * i;
    const MbrEntry& entry = entries[i];
    for (int b = 0; b < 16; ++b) e[b] = 0;
    if (entry.type == kPartitionEntryUnused) continue;
    e[0] = entry.status;
    LbaToChs(entry.firstLba, heads, sectorsPerTrack, e + 1);
    e[4] = entry.type;
    std::uint32_t last = entry.sectorCount == 0 ? entry.firstLba : entry.firstLba + entry.sectorCount - 1;
    LbaToChs(last, heads, sectorsPerTrack, e + 5);
    Put32(e + 8, entry.firstLba);
    Put32(e + 12, entry.sectorCount);
  }
  sector[kMbrMarkerOffset] = 0x55;
  sector[kMbrMarkerOffset + 1] = 0xAA;
}

}  // namespace sw::disk
