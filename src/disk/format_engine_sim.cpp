// Simulated backend of the format port: FormatEx writes a real NTFS or FAT32 file system into the
// partition of a simulated session disk with Debian's mkntfs and mkfs.fat. Controls and the
// rules of what may be written in format_engine_sim.h.

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <string>
#include <vector>

#include "disk/disk_io_sim.h"
#include "disk/format_engine.h"
#include "disk/format_engine_sim.h"
#include "disk/format_tools.h"
#include "disk/mbr_sector.h"
#include "host/clock.h"

namespace sw::disk::fmt {

namespace {

constexpr std::uint64_t kSectorSize = 512;
// The geometry the simulated disks report (disk_io_sim.h), written into the boot sectors.
constexpr int kHeads = 255;
constexpr int kSectorsPerTrack = 63;

struct EngineState {
  sim::VolumeLocator locator;
  bool library = true;
  bool formatEx = true;
  bool compression = true;
  bool loaded = false;
  std::string toolFolder;
};

std::mutex g_mutex;
EngineState g_state;

// Distinct addresses stand for the two entry points.
char g_formatExToken;
char g_compressionToken;

struct Partition {
  std::string image;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

std::string FindTool(const std::string& name) {
  std::string folder;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    folder = g_state.toolFolder;
  }
  std::vector<std::string> folders = folder.empty() ? std::vector<std::string>{"/usr/sbin", "/sbin", "/usr/bin", "/bin"}
                                                    : std::vector<std::string>{folder};
  for (const auto& f : folders) {
    std::string path = f + "/" + name;
    if (tools::ToolExists(path)) return path;
  }
  return std::string();
}

bool IsContainer(std::uint8_t type) { return type == 0x05 || type == 0x0F || type == 0x85; }

// The partition behind `letter`, when it may be formatted: on a session disk (never disk 0 or a
// local disk), inside the disk, and exactly a primary entry of the table in its sector 0.
bool Locate(char letter, Partition& out) {
  sim::VolumeLocator locator;
  {
    std::lock_guard<std::mutex> lock(g_mutex);
    locator = g_state.locator;
  }
  std::optional<sim::VolumeLocation> where = locator ? locator(letter) : sim::LocateVolume(letter);
  if (!where || where->diskNumber <= 0 || where->length == 0) return false;
  for (const auto& disk : sim::SimulatedDisks()) {
    if (disk.number != where->diskNumber) continue;
    if (disk.local || disk.imagePath.empty()) return false;
    if (where->offset < kSectorSize || where->offset % kSectorSize != 0 || where->length % kSectorSize != 0 ||
        where->length > disk.sizeBytes || where->offset > disk.sizeBytes - where->length) {
      return false;
    }
    std::uint8_t sector[kMbrSectorSize] = {};
    std::ifstream in(disk.imagePath, std::ios::binary);
    if (!in.read(reinterpret_cast<char*>(sector), sizeof sector)) return false;
    MbrSector mbr = ParseMbrSector(sector);
    if (ClassifySector(mbr) != SectorStyle::Mbr) return false;
    for (const MbrEntry& e : mbr.entries) {
      if (e.type == 0 || IsContainer(e.type)) continue;
      if (e.firstLba * kSectorSize == where->offset && e.sectorCount * kSectorSize == where->length) {
        out.image = disk.imagePath;
        out.offset = where->offset;
        out.length = where->length;
        return true;
      }
    }
    return false;
  }
  return false;
}

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '_';
  return out;
}

bool WriteNtfs(const Partition& p, const std::string& label) {
  std::string mkntfs = FindTool("mkntfs");
  if (mkntfs.empty()) return false;
  // mkntfs writes a whole device from its first byte: build the file system in a scratch file of
  // the partition's size and copy what it wrote into the emptied partition.
  const std::string scratch = p.image + ".ntfs-scratch";
  bool ok = tools::CreateEmptyFile(scratch, p.length);
  std::string scratchForTool = ok ? tools::ToolFilePath(scratch) : std::string();
  ok = !scratchForTool.empty() &&
       tools::RunTool({mkntfs, "-Q", "-F", "-q", "-s", "512", "-p", std::to_string(p.offset / kSectorSize), "-H",
                       std::to_string(kHeads), "-S", std::to_string(kSectorsPerTrack), "-L", label, scratchForTool,
                       std::to_string(p.length / kSectorSize)}) == 0;
  ok = ok && tools::CopyFileData(scratch, p.image, p.offset);
  tools::RemoveFile(scratch);
  return ok;
}

bool WriteFat32(const Partition& p, const std::string& label) {
  std::string mkfs = FindTool("mkfs.fat");
  std::string image = tools::ToolFilePath(p.image);
  if (mkfs.empty() || image.empty()) return false;
  const std::string start = std::to_string(p.offset / kSectorSize);
  // In place: --offset puts the file system at the partition's first sector, BLOCKS (KiB) keeps it
  // inside the partition.
  return tools::RunTool({mkfs, "-F", "32", "-n", label, "-S", "512", "-h", start, "-g",
                         std::to_string(kHeads) + "/" + std::to_string(kSectorsPerTrack), "--offset=" + start, image,
                         std::to_string(p.length / 1024)}) == 0;
}

// SEEKWELL_SIM_FORMAT_STEP_MS holds each progress report that long (clock port), so a
// demonstration can watch a format that would otherwise end at once.
std::uint32_t ProgressPaceMs() {
  static const std::uint32_t pace = [] {
    const char* text = std::getenv("SEEKWELL_SIM_FORMAT_STEP_MS");
    return text != nullptr ? static_cast<std::uint32_t>(std::strtoul(text, nullptr, 10)) : 0u;
  }();
  return pace;
}

bool Progress(FormatCallback callback, std::uint32_t percent) {
  if (ProgressPaceMs() != 0) host::SleepMs(ProgressPaceMs());
  return callback(kCommandProgress, 0, &percent);
}

}  // namespace

bool LoadFormatLibrary() {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_state.loaded = g_state.library;
  return g_state.loaded;
}

EntryPoint FindFormatEntryPoint(const char* name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_state.loaded || name == nullptr) return nullptr;
  const std::string n = name;
  if (n == kFormatExName && g_state.formatEx) return &g_formatExToken;
  if (n == kEnableVolumeCompressionName && g_state.compression) return &g_compressionToken;
  return nullptr;
}

void CallFormatEx(EntryPoint formatEx, const char16_t* driveRoot, std::int32_t mediaType, const char16_t* fileSystem,
                  const char16_t* label, bool, std::uint32_t, FormatCallback callback) {
  if (formatEx != &g_formatExToken || callback == nullptr) return;
  auto done = [&](bool succeeded) {
    std::uint8_t result = succeeded ? 1 : 0;
    callback(kCommandDone, 0, &result);
  };
  const std::string root = Narrow(driveRoot), system = Narrow(fileSystem);
  Partition partition;
  const bool known = system == "NTFS" || system == "FAT32";
  if (mediaType != kMediaHardDisk || !known || root.size() != 3 || root[1] != ':' || root[2] != '\\' ||
      !Locate(root[0], partition)) {
    done(false);
    return;
  }
  if (!Progress(callback, 10)) return;
  // An empty partition, as Windows' format leaves no trace of an earlier file system either.
  if (!tools::ZeroFileRange(partition.image, partition.offset, partition.length)) {
    done(false);
    return;
  }
  if (!Progress(callback, 30)) return;
  const std::string name = Narrow(label);
  if (!(system == "NTFS" ? WriteNtfs(partition, name) : WriteFat32(partition, name))) {
    done(false);
    return;
  }
  if (!Progress(callback, 70) || !Progress(callback, 100)) return;
  done(true);
}

}  // namespace sw::disk::fmt

namespace sw::disk::sim {

void SetVolumeLocator(VolumeLocator locator) {
  std::lock_guard<std::mutex> lock(fmt::g_mutex);
  fmt::g_state.locator = std::move(locator);
}

void SetFormatLibraryPresent(bool library, bool formatEx, bool enableVolumeCompression) {
  std::lock_guard<std::mutex> lock(fmt::g_mutex);
  fmt::g_state.library = library;
  fmt::g_state.formatEx = formatEx;
  fmt::g_state.compression = enableVolumeCompression;
  fmt::g_state.loaded = false;
}

void SetFormatToolFolder(const std::string& folder) {
  std::lock_guard<std::mutex> lock(fmt::g_mutex);
  fmt::g_state.toolFolder = folder;
}

void ResetFormatEngine() {
  std::lock_guard<std::mutex> lock(fmt::g_mutex);
  fmt::g_state = fmt::EngineState{};
}

}  // namespace sw::disk::sim
