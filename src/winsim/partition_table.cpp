// The simulated partition manager's reading and writing of partition tables (partition_table.h).

#include "winsim/partition_table.h"

#include <cstring>
#include <set>

#include "winsim/win32_codes.h"

namespace sw::winsim {

namespace {

constexpr std::size_t kTableOffset = 446;
constexpr std::size_t kSignatureOffset = 440;
constexpr std::size_t kRecordSize = 512;
constexpr std::uint32_t kHeads = 255;
constexpr std::uint32_t kSectorsPerTrack = 63;

std::uint32_t Get32(const std::uint8_t* p) {
  return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8 |
         static_cast<std::uint32_t>(p[2]) << 16 | static_cast<std::uint32_t>(p[3]) << 24;
}
std::uint64_t Get64(const std::uint8_t* p) { return Get32(p) | static_cast<std::uint64_t>(Get32(p + 4)) << 32; }
void Put32(std::uint8_t* p, std::uint32_t v) {
  for (int i = 0; i < 4; ++i) p[i] = static_cast<std::uint8_t>(v >> (8 * i));
}

struct RawEntry {
  std::uint8_t status = 0;
  std::uint8_t type = 0;
  std::uint32_t lba = 0;
  std::uint32_t count = 0;
};

RawEntry ParseEntry(const std::uint8_t* record, int slot) {
  const std::uint8_t* e = record + kTableOffset + 16 * slot;
  return RawEntry{e[0], e[4], Get32(e + 8), Get32(e + 12)};
}

bool HasMarker(const std::uint8_t* record) { return record[510] == 0x55 && record[511] == 0xAA; }

void PutChs(std::uint8_t* p, std::uint64_t lba) {
  std::uint64_t c = lba / (kHeads * kSectorsPerTrack);
  std::uint32_t h = static_cast<std::uint32_t>((lba / kSectorsPerTrack) % kHeads);
  std::uint32_t s = static_cast<std::uint32_t>(lba % kSectorsPerTrack) + 1;
  if (c > 1023) {
    c = 1023;
    h = 254;
    s = 63;
  }
  p[0] = static_cast<std::uint8_t>(h);
  p[1] = static_cast<std::uint8_t>((s & 0x3F) | ((c >> 2) & 0xC0));
  p[2] = static_cast<std::uint8_t>(c & 0xFF);
}

void PutEntry(std::uint8_t* record, int slot, const RawEntry& entry) {
  std::uint8_t* e = record + kTableOffset + 16 * slot;
  std::memset(e, 0, 16);
  if (entry.type == kTypeUnused) return;
  e[0] = entry.status;
  PutChs(e + 1, entry.lba);
  e[4] = entry.type;
  PutChs(e + 5, static_cast<std::uint64_t>(entry.lba) + (entry.count != 0 ? entry.count - 1 : 0));
  Put32(e + 8, entry.lba);
  Put32(e + 12, entry.count);
}

bool SameEntry(const RawEntry& a, const RawEntry& b) {
  if (a.type == kTypeUnused && b.type == kTypeUnused) return true;
  return a.type == b.type && a.status == b.status && a.lba == b.lba && a.count == b.count;
}

LayoutEntry Unused() { return LayoutEntry{}; }

// An entry of a table at `baseLba` (a primary or logical drive: relative to its own record; a link:
// relative to the extended partition, which the caller passes as `baseLba`).
LayoutEntry FromRaw(const RawEntry& raw, std::uint64_t baseLba, std::uint32_t sectorSize) {
  if (raw.type == kTypeUnused) return Unused();
  LayoutEntry e;
  e.style = kStyleMbr;
  e.start = static_cast<std::int64_t>((baseLba + raw.lba) * sectorSize);
  e.length = static_cast<std::int64_t>(static_cast<std::uint64_t>(raw.count) * sectorSize);
  e.type = raw.type;
  e.boot = raw.status == 0x80;
  e.recognized = IsRecognizedType(raw.type);
  e.hiddenSectors = raw.lba;
  return e;
}

bool ReadGpt(const ByteReader& read, std::uint32_t sectorSize, DiskLayout& out) {
  out.style = kStyleGpt;
  std::uint8_t header[kRecordSize];
  if (!read(sectorSize, header, sizeof header)) return true;
  if (std::memcmp(header, "EFI PART", 8) != 0) return true;  // a protective MBR alone: no entries
  const std::uint64_t entriesLba = Get64(header + 72);
  const std::uint32_t count = Get32(header + 80);
  const std::uint32_t entrySize = Get32(header + 84);
  if (entrySize < 128 || entrySize > 1024 || entrySize % 8 != 0 || count > 1024) return true;
  std::vector<std::uint8_t> table(static_cast<std::size_t>(count) * entrySize);
  if (!read(entriesLba * sectorSize, table.data(), table.size())) return true;
  for (std::uint32_t i = 0; i < count; ++i) {
    const std::uint8_t* e = table.data() + static_cast<std::size_t>(i) * entrySize;
    bool used = false;
    for (int b = 0; b < 16; ++b) used = used || e[b] != 0;
    if (!used) continue;
    const std::uint64_t first = Get64(e + 32), last = Get64(e + 40);
    LayoutEntry entry;
    entry.style = kStyleGpt;
    entry.start = static_cast<std::int64_t>(first * sectorSize);
    entry.length = last >= first ? static_cast<std::int64_t>((last - first + 1) * sectorSize) : 0;
    entry.recognized = true;
    out.entries.push_back(entry);
  }
  return true;
}

void Number(DiskLayout& layout) {
  std::uint32_t next = 0;
  for (LayoutEntry& e : layout.entries) {
    const bool real = layout.style == kStyleGpt || (e.type != kTypeUnused && !IsContainerType(e.type));
    e.number = real && e.length > 0 ? ++next : 0;
  }
}

}  // namespace

bool IsRecognizedType(std::uint8_t type) {
  switch (type & 0x7F) {  // the top bit marks fault-tolerant members of the same types
    case 0x01: case 0x04: case 0x06: case 0x07: case 0x0B: case 0x0C: case 0x0E:
      return true;
    default:
      return false;
  }
}

bool ReadDiskLayout(const ByteReader& read, std::uint32_t sectorSize, std::uint64_t diskSize, DiskLayout& out) {
  std::uint8_t mbr[kRecordSize];
  if (!read(0, mbr, sizeof mbr)) return false;
  DiskLayout layout;
  if (!HasMarker(mbr)) {
    out = layout;  // RAW: no table at all
    return true;
  }
  RawEntry primaries[4];
  for (int i = 0; i < 4; ++i) primaries[i] = ParseEntry(mbr, i);
  for (const RawEntry& p : primaries) {
    if (p.type == kTypeGptProtective) {
      ReadGpt(read, sectorSize, layout);
      Number(layout);
      out = layout;
      return true;
    }
  }
  layout.style = kStyleMbr;
  layout.signature = Get32(mbr + kSignatureOffset);
  const RawEntry* container = nullptr;
  for (const RawEntry& p : primaries) {
    layout.entries.push_back(FromRaw(p, 0, sectorSize));
    if (container == nullptr && IsContainerType(p.type) && p.count != 0) container = &p;
  }
  if (container != nullptr) {
    const std::uint64_t diskSectors = diskSize / sectorSize;
    const std::uint64_t extStart = container->lba;
    const std::uint64_t extEnd = extStart + container->count;
    std::set<std::uint64_t> visited;
    std::uint64_t ebr = extStart;
    while (visited.size() < kMaxExtendedBootRecords && ebr >= extStart && ebr < extEnd && ebr < diskSectors &&
           visited.insert(ebr).second) {
      std::uint8_t record[kRecordSize];
      if (!read(ebr * sectorSize, record, sizeof record) || !HasMarker(record)) break;
      std::uint64_t next = 0;
      for (int i = 0; i < 4; ++i) {
        const RawEntry raw = ParseEntry(record, i);
        const bool link = IsContainerType(raw.type);
        layout.entries.push_back(FromRaw(raw, link ? extStart : ebr, sectorSize));
        if (link && next == 0 && raw.count != 0) next = extStart + raw.lba;
      }
      if (next == 0) break;
      ebr = next;
    }
  }
  Number(layout);
  out = layout;
  return true;
}

std::uint32_t WriteDiskLayout(const ByteReader& read, const ByteWriter& write, std::uint32_t sectorSize,
                              std::uint64_t diskSize, const DiskLayout& layout) {
  if (layout.style == kStyleGpt) return kErrorNotSupported;
  if (layout.style != kStyleMbr) return kErrorInvalidParameter;
  if (layout.entries.empty()) return CreateMbrDisk(write, sectorSize, layout.signature);
  if (layout.entries.size() % 4 != 0) return kErrorInvalidParameter;
  const std::size_t groups = layout.entries.size() / 4;

  // Every entry must be expressible in sectors on this disk.
  for (const LayoutEntry& e : layout.entries) {
    if (e.type == kTypeUnused || e.length <= 0) continue;
    const auto start = static_cast<std::uint64_t>(e.start), length = static_cast<std::uint64_t>(e.length);
    if (e.start < static_cast<std::int64_t>(sectorSize) || start % sectorSize != 0 || length % sectorSize != 0 ||
        length > diskSize || start > diskSize - length || start / sectorSize > 0xFFFFFFFFull ||
        length / sectorSize > 0xFFFFFFFFull) {
      return kErrorInvalidParameter;
    }
  }

  // Where each group's record lies, and its raw entries.
  struct Record {
    std::uint64_t lba = 0;
    RawEntry entries[4];
  };
  std::vector<Record> records(groups);
  std::uint64_t extStart = 0;
  for (std::size_t g = 0; g < groups; ++g) {
    Record& r = records[g];
    if (g > 0) {
      // The container of the group before says where this EBR lies.
      const LayoutEntry* pointer = nullptr;
      for (int i = 0; i < 4; ++i) {
        const LayoutEntry& e = layout.entries[(g - 1) * 4 + i];
        if (IsContainerType(e.type) && e.length > 0) {
          pointer = &e;
          break;
        }
      }
      if (pointer == nullptr) return kErrorInvalidParameter;
      r.lba = static_cast<std::uint64_t>(pointer->start) / sectorSize;
      if (g == 1) extStart = r.lba;
    }
    for (int i = 0; i < 4; ++i) {
      const LayoutEntry& e = layout.entries[g * 4 + i];
      RawEntry& raw = r.entries[i];
      if (e.type == kTypeUnused || e.length <= 0) continue;
      const std::uint64_t lba = static_cast<std::uint64_t>(e.start) / sectorSize;
      const std::uint64_t base = g == 0 ? 0 : (IsContainerType(e.type) ? extStart : r.lba);
      if (lba < base || (g > 0 && !IsContainerType(e.type) && lba == r.lba)) return kErrorInvalidParameter;
      raw.status = e.boot ? 0x80 : 0;
      raw.type = e.type;
      raw.lba = static_cast<std::uint32_t>(lba - base);
      raw.count = static_cast<std::uint32_t>(static_cast<std::uint64_t>(e.length) / sectorSize);
    }
  }
  // An extended partition whose chain the layout does not go on with gets an empty EBR, unless the
  // link points back at a record of the chain (a looping chain read up to the loop): that record is
  // written with its own entries and must not be emptied.
  const Record& last = records.back();
  for (const RawEntry& raw : last.entries) {
    if (!IsContainerType(raw.type)) continue;
    Record empty;
    empty.lba = (groups == 1 ? 0 : extStart) + raw.lba;
    bool inChain = false;
    for (const Record& r : records) inChain = inChain || r.lba == empty.lba;
    if (!inChain) records.push_back(empty);
    break;
  }

  for (std::size_t k = 0; k < records.size(); ++k) {
    const Record& r = records[k];
    std::uint8_t record[kRecordSize] = {};
    const std::uint64_t offset = r.lba * sectorSize;
    const bool readable = read(offset, record, sizeof record);
    if (!readable) std::memset(record, 0, sizeof record);
    bool changed = !HasMarker(record);
    for (int i = 0; i < 4; ++i) {
      if (SameEntry(ParseEntry(record, i), r.entries[i])) continue;
      PutEntry(record, i, r.entries[i]);
      changed = true;
    }
    if (k == 0 && Get32(record + kSignatureOffset) != layout.signature) {
      Put32(record + kSignatureOffset, layout.signature);
      changed = true;
    }
    if (!changed) continue;
    record[510] = 0x55;
    record[511] = 0xAA;
    if (!write(offset, record, sizeof record)) return kErrorNotReady;
  }
  return kErrorSuccess;
}

std::uint32_t CreateMbrDisk(const ByteWriter& write, std::uint32_t, std::uint32_t signature) {
  std::uint8_t record[kRecordSize] = {};
  Put32(record + kSignatureOffset, signature);
  record[510] = 0x55;
  record[511] = 0xAA;
  return write(0, record, sizeof record) ? kErrorSuccess : kErrorNotReady;
}

}  // namespace sw::winsim
