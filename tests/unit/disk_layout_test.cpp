// Disk layout core: structure bytes, region computation, diagnostic rows, signatures.

#include <gtest/gtest.h>

#include <random>

#include "disk/disk_layout.h"
#include "disk/disk_structures.h"
#include "mbr_sector.h"
#include "disk/partitions.h"

namespace sw::disk {
namespace {

std::uint32_t At32(const std::vector<std::uint8_t>& b, std::size_t o) {
  return b[o] | b[o + 1] << 8 | b[o + 2] << 16 | static_cast<std::uint32_t>(b[o + 3]) << 24;
}
std::uint64_t At64(const std::vector<std::uint8_t>& b, std::size_t o) {
  return At32(b, o) | static_cast<std::uint64_t>(At32(b, o + 4)) << 32;
}

PartitionEntry SampleEntry(std::uint32_t number) {
  PartitionEntry e;
  e.StartingOffset = 0x0123456789A0LL + number;
  e.PartitionLength = 0x00FEDCBA9800LL;
  e.HiddenSectors = 0x11223344u;
  e.PartitionNumber = number;
  e.PartitionType = 0x07;
  e.BootIndicator = 1;
  e.RecognizedPartition = 1;
  e.RewritePartition = 1;
  return e;
}

void ExpectSameEntry(const PartitionEntry& a, const PartitionEntry& b) {
  EXPECT_EQ(a.StartingOffset, b.StartingOffset);
  EXPECT_EQ(a.PartitionLength, b.PartitionLength);
  EXPECT_EQ(a.HiddenSectors, b.HiddenSectors);
  EXPECT_EQ(a.PartitionNumber, b.PartitionNumber);
  EXPECT_EQ(a.PartitionType, b.PartitionType);
  EXPECT_EQ(a.BootIndicator, b.BootIndicator);
  EXPECT_EQ(a.RecognizedPartition, b.RecognizedPartition);
  EXPECT_EQ(a.RewritePartition, b.RewritePartition);
}

// A member at the wrong offset sends Windows a different table than the one we meant.
TEST(DiskStructures, MembersSitAtTheirPublishedOffsets) {
  DriveLayout layout;
  layout.PartitionCount = 5;
  layout.Signature = 0xCAFEF00Du;
  for (std::uint32_t i = 1; i <= 5; ++i) layout.entries.push_back(SampleEntry(i));

  auto legacy = PackDriveLayout(layout, kLegacyLayoutBufferSize);
  ASSERT_EQ(legacy.size(), 552u);
  EXPECT_EQ(At32(legacy, 0), 5u);
  EXPECT_EQ(At32(legacy, 4), 0xCAFEF00Du);
  const std::size_t e2 = 8 + 32;  // second entry
  EXPECT_EQ(At64(legacy, e2 + 0), 0x0123456789A2u);
  EXPECT_EQ(At64(legacy, e2 + 8), 0x00FEDCBA9800u);
  EXPECT_EQ(At32(legacy, e2 + 16), 0x11223344u);
  EXPECT_EQ(At32(legacy, e2 + 20), 2u);
  EXPECT_EQ(legacy[e2 + 24], 0x07);
  EXPECT_EQ(legacy[e2 + 25], 1);
  EXPECT_EQ(legacy[e2 + 26], 1);
  EXPECT_EQ(legacy[e2 + 27], 1);

  layout.PartitionStyle = kPartitionStyleMbr;
  auto ex = PackDriveLayoutEx(layout, kExtendedLayoutBufferSize);
  ASSERT_EQ(ex.size(), 768u);
  EXPECT_EQ(At32(ex, 0), kPartitionStyleMbr);
  EXPECT_EQ(At32(ex, 4), 5u);
  EXPECT_EQ(At32(ex, 8), 0xCAFEF00Du);
  const std::size_t x5 = 48 + 4 * 144;  // fifth entry, the last the 768 bytes hold
  EXPECT_EQ(At64(ex, x5 + 8), 0x0123456789A5u);
  EXPECT_EQ(At64(ex, x5 + 16), 0x00FEDCBA9800u);
  EXPECT_EQ(At32(ex, x5 + 24), 5u);
  EXPECT_EQ(ex[x5 + 28], 1);
  EXPECT_EQ(ex[x5 + 32], 0x07);
  EXPECT_EQ(ex[x5 + 33], 1);
  EXPECT_EQ(ex[x5 + 34], 1);
  EXPECT_EQ(At32(ex, x5 + 36), 0x11223344u);
  EXPECT_EQ(PackDriveLayoutEx(layout, kWizardLayoutExBufferSize).size(), 2496u);

  DriveLayout back;
  ASSERT_TRUE(UnpackDriveLayout(legacy.data(), legacy.size(), back));
  ASSERT_EQ(back.entries.size(), 5u);
  for (int i = 0; i < 5; ++i) ExpectSameEntry(back.entries[i], layout.entries[i]);
  ASSERT_TRUE(UnpackDriveLayoutEx(ex.data(), ex.size(), back));
  EXPECT_EQ(back.Signature, 0xCAFEF00Du);
  ASSERT_EQ(back.entries.size(), 5u);
  for (int i = 0; i < 5; ++i) ExpectSameEntry(back.entries[i], layout.entries[i]);

  DiskGeometry g{130, 12, 255, 63, 512};
  auto gb = PackDiskGeometry(g);
  EXPECT_EQ(At64(gb, 0), 130u);
  EXPECT_EQ(At32(gb, 8), 12u);
  EXPECT_EQ(At32(gb, 12), 255u);
  EXPECT_EQ(At32(gb, 16), 63u);
  EXPECT_EQ(At32(gb, 20), 512u);
  auto cd = PackCreateDisk(CreateDisk{kPartitionStyleMbr, 0x01020304u});
  ASSERT_EQ(cd.size(), 24u);
  EXPECT_EQ(At32(cd, 4), 0x01020304u);
}

// A device answering with a count larger than its buffer must not make us read past it.
TEST(DiskStructures, UnpackingStaysInsideTheBuffer) {
  std::vector<std::uint8_t> ex(kExtendedLayoutBufferSize, 0);
  ex[4] = 200;  // PartitionCount 200, room for 5
  DriveLayout layout;
  ASSERT_TRUE(UnpackDriveLayoutEx(ex.data(), ex.size(), layout));
  EXPECT_EQ(layout.entries.size(), 5u);
  EXPECT_FALSE(UnpackDriveLayoutEx(ex.data(), 47, layout));
  EXPECT_TRUE(layout.entries.empty());
  std::vector<std::uint8_t> legacy(20, 0xFF);
  ASSERT_TRUE(UnpackDriveLayout(legacy.data(), legacy.size(), layout));
  EXPECT_TRUE(layout.entries.empty());
}

DriveLayout MbrLayout(std::vector<std::pair<std::int64_t, std::int64_t>> parts) {
  DriveLayout layout;
  layout.PartitionCount = 4;
  layout.entries.resize(4);
  std::uint32_t n = 1;
  for (std::size_t i = 0; i < parts.size(); ++i) {
    if (i >= layout.entries.size()) layout.entries.resize(i + 1), layout.PartitionCount = static_cast<std::uint32_t>(i + 1);
    layout.entries[i].StartingOffset = parts[i].first;
    layout.entries[i].PartitionLength = parts[i].second;
    layout.entries[i].PartitionNumber = n++;
    layout.entries[i].PartitionType = 7;
  }
  return layout;
}

constexpr std::int64_t kGiB = 1LL << 30;
constexpr std::int64_t kReserve = 63 * 512;

TEST(DiskRegions, LeadingGapFollowsTheReserveAndThreshold) {
  // Only partition at 63 sectors, or at 1 MiB (a gap under 8 MiB): no leading free region.
  for (std::int64_t start : {kReserve, kMiB}) {
    auto regions = ComputeDiskRegions(MbrLayout({{start, kGiB}}), 512, 10 * kGiB);
    ASSERT_EQ(regions.size(), 2u) << start;
    EXPECT_EQ(regions[0].number, 1);
    EXPECT_EQ(regions[1].number, 0);
    EXPECT_EQ(regions[1].start, start + kGiB);
    EXPECT_EQ(regions[1].end, 10 * kGiB);
  }
  // Empty 10 GiB disk: one free region from the reserve to the rounded size.
  auto empty = ComputeDiskRegions(MbrLayout({}), 512, RoundDownToMiB(10 * kGiB + 12345));
  ASSERT_EQ(empty.size(), 1u);
  EXPECT_EQ(empty[0].start, kReserve);
  EXPECT_EQ(empty[0].end, 10 * kGiB);
  // 4096-byte sectors move the reserve with them.
  auto big = ComputeDiskRegions(MbrLayout({}), 4096, 10 * kGiB);
  EXPECT_EQ(big[0].start, 63 * 4096);
}

TEST(DiskRegions, GapBetweenPartitionsNeedsEightMiB) {
  const std::int64_t a = kMiB, aLen = 100 * kMiB;
  for (std::int64_t gap : {8 * kMiB, 8 * kMiB - 1}) {
    auto regions = ComputeDiskRegions(MbrLayout({{a, aLen}, {a + aLen + gap, aLen}}), 512, a + 2 * aLen + gap);
    std::size_t free = 0;
    for (const auto& r : regions) free += r.number == 0 ? 1 : 0;
    EXPECT_EQ(free, gap == 8 * kMiB ? 1u : 0u) << gap;
  }
  // Overlapping neighbours give no region between them.
  auto overlap = ComputeDiskRegions(MbrLayout({{kMiB, 100 * kMiB}, {50 * kMiB, 100 * kMiB}}), 512, 150 * kMiB);
  EXPECT_EQ(overlap.size(), 2u);
}

// A disk with an extended partition: its logical drives are partitions of their own, and the space
// of the extended partition (between and around them) is never offered as free.
TEST(DiskRegions, LogicalDrivesAreListedAndTheirContainerIsNeverFree) {
  DriveLayout layout = MbrLayout({{kMiB, kGiB}, {kMiB + kGiB, 2 * kGiB}, {0, 0}, {0, 0},
                                  {kMiB + kGiB + kMiB, 256 * kMiB}, {0, 0}, {0, 0}, {0, 0}});
  for (std::size_t i : {2, 3, 5, 6, 7}) layout.entries[i] = PartitionEntry{};  // unused
  layout.entries[1].PartitionType = kPartitionExtended;  // the container holds the logical drive
  layout.entries[1].PartitionNumber = 0;
  layout.entries[4].PartitionNumber = 2;
  const auto regions = ComputeDiskRegions(layout, 512, 4 * kGiB);
  ASSERT_EQ(regions.size(), 3u);
  EXPECT_EQ(regions[0].number, 1);
  EXPECT_EQ(regions[1].number, 2);
  EXPECT_EQ(regions[1].start, kMiB + kGiB + kMiB);
  EXPECT_EQ(regions[2].number, 0);
  EXPECT_EQ(regions[2].start, kMiB + 3 * kGiB);  // after the container, not inside it
}

TEST(DiskRegions, DiagnosticRowUsesSixDecimals) {
  DiskRegion free{0, kReserve, 100 * kMiB, kReserve + 100 * kMiB};
  RegionRow row = FormatRegionRow(free);
  EXPECT_EQ(row.number, "0");
  EXPECT_EQ(row.text, "[ AVAILABLE ] start=0.030762, len=100.000000  end=100.030762");
  EXPECT_EQ(FormatRegionRow(DiskRegion{3, kMiB, kMiB, 2 * kMiB}).text,
            "[ OCCUPIED ] start=1.000000, len=1.000000  end=2.000000");
}

// Random tables of up to four disjoint partitions (some at the reserve, some at 1 MiB, some
// unaligned) on disks of random size: the regions tile the disk without overlap and offer only
// gaps of at least 8 MiB, all after the reserve and inside the rounded size.
TEST(DiskRegions, PropertyRegionsNeverOverlapAndFreeGapsAreReal) {
  std::mt19937_64 rng(20261209);
  const int kLayouts = 100000;
  int freeSeen = 0;
  for (int iteration = 0; iteration < kLayouts; ++iteration) {
    const std::int64_t size = static_cast<std::int64_t>(rng() % (64 * kGiB)) + 64 * kMiB;
    const std::int64_t rounded = RoundDownToMiB(size);
    // Cut points, sorted, then pairs become partitions in shuffled slots.
    int count = static_cast<int>(rng() % 5);
    std::vector<std::int64_t> cuts;
    for (int i = 0; i < 2 * count; ++i) {
      std::int64_t unit = (rng() % 3 == 0) ? 512 : kMiB;
      cuts.push_back(kReserve + static_cast<std::int64_t>(rng() % static_cast<std::uint64_t>((rounded - kReserve) / unit)) * unit);
    }
    std::sort(cuts.begin(), cuts.end());
    if (count > 0 && rng() % 4 == 0) cuts[0] = kReserve;
    DriveLayout layout;
    layout.PartitionCount = 4;
    layout.entries.resize(4);
    std::vector<int> slots{0, 1, 2, 3};
    std::shuffle(slots.begin(), slots.end(), rng);
    std::vector<std::pair<std::int64_t, std::int64_t>> parts;
    for (int i = 0; i < count; ++i) {
      if (cuts[2 * i + 1] == cuts[2 * i]) continue;
      PartitionEntry& e = layout.entries[slots[i]];
      e.StartingOffset = cuts[2 * i];
      e.PartitionLength = cuts[2 * i + 1] - cuts[2 * i];
      e.PartitionNumber = static_cast<std::uint32_t>(slots[i] + 1);
      e.PartitionType = 7;
      parts.emplace_back(e.StartingOffset, e.StartingOffset + e.PartitionLength);
    }
    auto regions = ComputeDiskRegions(layout, 512, rounded);
    ASSERT_EQ(CountPartitions(regions), parts.size());
    for (std::size_t i = 0; i < regions.size(); ++i) {
      const DiskRegion& r = regions[i];
      ASSERT_EQ(r.end, r.start + r.length);
      ASSERT_GE(r.start, kReserve);
      ASSERT_LE(r.end, rounded);
      if (i > 0) {
        ASSERT_LE(regions[i - 1].end, r.start) << "overlap in layout " << iteration;
      }
      if (r.number == 0) {
        ++freeSeen;
        ASSERT_GE(r.length, 8 * kMiB);
        for (const auto& p : parts) ASSERT_TRUE(r.end <= p.first || r.start >= p.second);
      }
    }
    // Every gap of at least 8 MiB is offered.
    std::sort(parts.begin(), parts.end());
    std::int64_t cursor = kReserve;
    std::size_t expectedFree = 0;
    for (const auto& p : parts) {
      expectedFree += p.first - cursor >= 8 * kMiB ? 1 : 0;
      cursor = p.second;
    }
    expectedFree += rounded - cursor >= 8 * kMiB ? 1 : 0;
    ASSERT_EQ(regions.size() - parts.size(), expectedFree) << "layout " << iteration;
  }
  EXPECT_GT(freeSeen, kLayouts / 2);
}

TEST(DiskSignature, NeverZeroNorOneInUseEvenFromARepeatingSource) {
  // An unseeded generator gives every run the same value: the choice must still avoid it.
  std::vector<std::uint32_t> inUse{0x12345678u, 0x12345679u};
  EXPECT_EQ(ChooseDiskSignature(inUse, [] { return 0x12345678u; }), 0x1234567Au);
  EXPECT_NE(ChooseDiskSignature({}, [] { return 0u; }), 0u);
  std::uint32_t values[] = {0u, 0x12345678u, 0xBEEFu};
  int i = 0;
  EXPECT_EQ(ChooseDiskSignature(inUse, [&] { return values[i++]; }), 0xBEEFu);
}

TEST(MbrSector, ChsFieldsFollowTheGeometryAndSaturate) {
  std::uint8_t chs[3];
  LbaToChs(63, 255, 63, chs);  // cylinder 0, head 1, sector 1
  EXPECT_EQ(chs[0], 1);
  EXPECT_EQ(chs[1], 1);
  EXPECT_EQ(chs[2], 0);
  LbaToChs(1023u * 255 * 63 + 62, 255, 63, chs);  // last sector of cylinder 1023
  EXPECT_EQ(chs[0], 0);
  EXPECT_EQ(chs[1], 63 | 0xC0);
  EXPECT_EQ(chs[2], 0xFF);
  LbaToChs(20000000, 255, 63, chs);
  EXPECT_EQ(chs[0], 254);
  EXPECT_EQ(chs[1], 0xFF);
  EXPECT_EQ(chs[2], 0xFF);
}

}  // namespace
}  // namespace sw::disk
