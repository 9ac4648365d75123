// Simulated backend of the format port: the simulated machine's fmifs.dll. FormatEx writes a real
// NTFS or FAT32 file system into the partition behind the drive root with Debian's mkntfs and
// mkfs.fat (format_tools.h), so an independent tool can check the result:
//   - the partition is the machine's volume on that letter (winsim/volumes.h); the format writes
//     only when it lies on a session disk (never disk 0 or a local disk), within the disk, on whole
//     sectors, and is a partition really in the disk's table; otherwise, or when a tool is missing
//     or fails, the done report says false. Nothing outside the partition is written;
//   - NTFS is built in a scratch file beside the image (made new, never an existing file) and
//     copied in; FAT32 is written in place;
//   - reports, all from the calling thread: progress 10 (checked), 30 (partition emptied), 70 (file
//     system written), 100, then done; each progress report waits the machine's format step first.

#include <atomic>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

#include "disk/format_engine.h"
#include "disk/format_tools.h"
#include "host/clock.h"
#include "winsim/machine.h"

namespace sw::disk::fmt {

namespace {

// The geometry the simulated disks report, written into the boot sectors.
constexpr int kHeads = 255;
constexpr int kSectorsPerTrack = 63;

// Distinct addresses stand for the two entry points.
char g_formatExToken;
char g_compressionToken;
std::atomic<bool> g_loaded{false};

struct Partition {
  std::string image;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
  std::uint32_t sectorSize = 512;
};

std::string FindTool(const std::string& name) {
  const std::string folder = winsim::TheMachine().format.ToolFolder();
  const std::vector<std::string> folders =
      folder.empty() ? std::vector<std::string>{"/usr/sbin", "/sbin", "/usr/bin", "/bin"} : std::vector<std::string>{folder};
  for (const auto& f : folders) {
    const std::string path = f + "/" + name;
    if (tools::ToolExists(path)) return path;
  }
  return std::string();
}

bool Locate(char letter, Partition& out) {
  winsim::Machine& machine = winsim::TheMachine();
  const std::optional<winsim::VolumeLocation> where = machine.format.Locate(letter);
  if (!where || where->diskNumber <= 0 || where->length == 0) return false;
  const std::optional<winsim::DiskConfig> disk = machine.disks.Find(where->diskNumber);
  if (!disk || disk->local || disk->imagePath.empty()) return false;
  const std::uint32_t sector = disk->bytesPerSector;
  if (where->offset < sector || where->offset % sector != 0 || where->length % sector != 0 ||
      where->length > disk->sizeBytes || where->offset > disk->sizeBytes - where->length) {
    return false;
  }
  winsim::DiskLayout layout;
  if (!machine.disks.Table(disk->number, layout)) return false;
  for (const winsim::LayoutEntry& e : layout.entries) {
    if (e.number != 0 && static_cast<std::uint64_t>(e.start) == where->offset &&
        static_cast<std::uint64_t>(e.length) == where->length) {
      out = Partition{disk->imagePath, where->offset, where->length, sector};
      return true;
    }
  }
  return false;
}

std::string Narrow(const char16_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '_';
  return out;
}

bool WriteNtfs(const Partition& p, const std::string& label) {
  const std::string mkntfs = FindTool("mkntfs");
  if (mkntfs.empty()) return false;
  // mkntfs writes a whole device from its first byte: build the file system in a scratch file of
  // the partition's size and copy what it wrote into the emptied partition.
  std::random_device random;
  char suffix[24];
  std::snprintf(suffix, sizeof suffix, ".ntfs-%08x", random());
  const std::string scratch = p.image + suffix;
  bool ok = tools::CreateEmptyFile(scratch, p.length);
  if (!ok) return false;
  const std::string scratchForTool = tools::ToolFilePath(scratch);
  ok = !scratchForTool.empty() &&
       tools::RunTool({mkntfs, "-Q", "-F", "-q", "-s", std::to_string(p.sectorSize), "-p",
                       std::to_string(p.offset / p.sectorSize), "-H", std::to_string(kHeads), "-S",
                       std::to_string(kSectorsPerTrack), "-L", label, scratchForTool,
                       std::to_string(p.length / p.sectorSize)}) == 0;
  ok = ok && tools::CopyFileData(scratch, p.image, p.offset);
  tools::RemoveFile(scratch);
  return ok;
}

bool WriteFat32(const Partition& p, const std::string& label) {
  const std::string mkfs = FindTool("mkfs.fat");
  const std::string image = tools::ToolFilePath(p.image);
  if (mkfs.empty() || image.empty()) return false;
  // In place: --offset (in the file system's sectors) puts it at the partition's first byte, BLOCKS
  // (KiB) keeps it inside the partition.
  const std::string start = std::to_string(p.offset / p.sectorSize);
  return tools::RunTool({mkfs, "-F", "32", "-n", label, "-S", std::to_string(p.sectorSize), "-h", start, "-g",
                         std::to_string(kHeads) + "/" + std::to_string(kSectorsPerTrack), "--offset=" + start, image,
                         std::to_string(p.length / 1024)}) == 0;
}

bool Progress(FormatCallback callback, std::uint32_t percent) {
  const std::uint32_t pace = winsim::TheMachine().GetSettings().formatStepMs;
  if (pace != 0) host::SleepMs(pace);
  return callback(kCommandProgress, 0, &percent);
}

}  // namespace

bool LoadFormatLibrary() {
  g_loaded = winsim::TheMachine().format.LibraryPresent();
  return g_loaded;
}

EntryPoint FindFormatEntryPoint(const char* name) {
  if (!g_loaded || name == nullptr || !winsim::TheMachine().format.EntryPresent(name)) return nullptr;
  const std::string n = name;
  if (n == kFormatExName) return &g_formatExToken;
  if (n == kEnableVolumeCompressionName) return &g_compressionToken;
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
