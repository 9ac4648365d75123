// The simulated partition manager over any disk image: reading the table ends (loops, long chains,
// links out of the disk), numbers the real partitions 1, 2, 3..., and gives MBR entries in groups of
// four. Writing back what was read keeps every byte outside the table areas of the records it
// writes (boot code and data), and reading again gives the same partitions (an entry with a type
// and no sectors is written as unused).

#include <cstring>
#include <map>
#include <vector>

#include "fuzz_client.h"
#include "winsim/partition_table.h"
#include "winsim/win32_codes.h"

namespace {

using sw::protocol::fuzz::Require;
using namespace sw::winsim;

struct Image {
  std::vector<std::uint8_t> bytes;  // the rest of the disk reads as zeros
  std::uint64_t size = 0;
  std::map<std::uint64_t, std::vector<std::uint8_t>> writes;

  bool Read(std::uint64_t offset, std::uint8_t* out, std::size_t n) const {
    if (offset > size || n > size - offset) return false;
    for (std::size_t i = 0; i < n; ++i) {
      const std::uint64_t at = offset + i;
      auto w = writes.upper_bound(at);
      const std::uint8_t* written = nullptr;
      if (w != writes.begin() && at < (--w)->first + w->second.size()) written = &w->second[at - w->first];
      out[i] = written != nullptr ? *written : at < bytes.size() ? bytes[at] : 0;
    }
    return true;
  }
};

std::vector<LayoutEntry> Partitions(const DiskLayout& layout) {
  std::vector<LayoutEntry> used;
  for (const auto& e : layout.entries) {
    if (e.length > 0 && (e.type != 0 || layout.style == kStyleGpt)) used.push_back(e);
  }
  return used;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size < 2) return 0;
  Image image;
  const std::uint32_t sectorSize = (data[0] & 1) ? 4096 : 512;
  image.bytes.assign(data + 1, data + size);
  image.size = std::uint64_t{1} << (20 + (data[0] >> 1) % 24);  // 1 MiB to 8 TiB
  const ByteReader read = [&](std::uint64_t o, std::uint8_t* out, std::size_t n) { return image.Read(o, out, n); };

  DiskLayout layout;
  Require(ReadDiskLayout(read, sectorSize, image.size, layout));
  if (layout.style == kStyleMbr) Require(layout.entries.size() % 4 == 0 && layout.entries.size() <= 4 * (kMaxExtendedBootRecords + 1));
  std::uint32_t expected = 0;
  for (const auto& e : layout.entries) Require(e.number == 0 || e.number == ++expected);

  const ByteWriter write = [&](std::uint64_t o, const std::uint8_t* in, std::size_t n) {
    if (o > image.size || n > image.size - o || n != 512) return false;
    std::uint8_t before[512];
    image.Read(o, before, n);
    // Only the signature (in sector 0), the four entries and the marker may change.
    Require(std::memcmp(before, in, o == 0 ? 440 : 446) == 0 && std::memcmp(before + 444, in + 444, 2) == 0);
    image.writes[o].assign(in, in + n);
    return true;
  };
  if (layout.style != kStyleMbr || WriteDiskLayout(read, write, sectorSize, image.size, layout) != kErrorSuccess) return 0;
  DiskLayout again;
  Require(ReadDiskLayout(read, sectorSize, image.size, again));
  const auto was = Partitions(layout), is = Partitions(again);
  Require(was.size() == is.size());
  for (std::size_t i = 0; i < was.size(); ++i) {
    Require(was[i].start == is[i].start && was[i].length == is[i].length && was[i].type == is[i].type &&
            was[i].boot == is[i].boot);
  }
  return 0;
}
