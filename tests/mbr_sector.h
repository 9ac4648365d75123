#pragma once
// The on-disk master boot record, for tests that make disk images by hand: the four primary entries
// at 446, the disk signature at 440 and the 0x55AA marker at 510, with CHS addresses for the
// geometry Windows reports.

#include <cstdint>

namespace sw::disk {

constexpr std::uint32_t kMbrSectorSize = 512;
constexpr std::uint32_t kMbrSignatureOffset = 440;
constexpr std::uint32_t kMbrTableOffset = 446;
constexpr std::uint32_t kMbrMarkerOffset = 510;

struct MbrEntry {
  std::uint8_t status = 0;  // 0x80 active
  std::uint8_t type = 0;
  std::uint32_t firstLba = 0;
  std::uint32_t sectorCount = 0;
};

struct MbrSector {
  bool hasMarker = false;        // bytes 510..511 are 0x55 0xAA
  std::uint32_t diskSignature = 0;
  MbrEntry entries[4];
};

// How a sector holds a partition table, as Windows tells them apart.
enum class SectorStyle { Raw, Mbr, GptProtective };

// Reads a 512-byte sector. Always succeeds; a sector without the marker reads as Raw with whatever
// the bytes say.
MbrSector ParseMbrSector(const std::uint8_t* sector);
SectorStyle ClassifySector(const MbrSector& mbr);

// Writes the signature, the four entries (CHS fields from `heads` and `sectorsPerTrack`) and the
// marker into `sector`, keeping its boot code (bytes 0..439) as it is.
void WriteMbrSector(std::uint8_t* sector, std::uint32_t diskSignature, const MbrEntry (&entries)[4],
                    std::uint32_t heads, std::uint32_t sectorsPerTrack);

// The packed three CHS bytes of an LBA (head, sector | cylinder high bits, cylinder low byte);
// beyond cylinder 1023 the conventional maximum 1023/heads-1/sectorsPerTrack.
void LbaToChs(std::uint32_t lba, std::uint32_t heads, std::uint32_t sectorsPerTrack, std::uint8_t out[3]);

}  // namespace sw::disk
