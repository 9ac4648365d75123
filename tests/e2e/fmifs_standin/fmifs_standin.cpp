// A stand-in for Windows' format library "fmifs.dll" in the E2E tests, placed in the Wine prefix's
// system folder (Wine has none). FormatEx follows the library's callback protocol: progress
// reports (command 0, a 32-bit percent), structure progress (15, a 32-bit percent) and the done
// report (11, a one-byte success flag); a callback answering FALSE stops it. The file system is
// written with Debian's mkntfs and mkfs.fat, run by their Unix paths, as the simulated format does.
//
// Which bytes a drive letter stands for is told by the test: SEEKWELL_FMIFS_VOLUMES holds entries
// "E=PATH@OFFSET+LENGTH" separated by ';' (PATH a Windows path of an image file, OFFSET and LENGTH
// in bytes, multiples of 512). Every call and every answer of the callback is written to
// fmifs_standin.log beside the library.

#include <windows.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "disk/format_tools.h"

namespace {

namespace tools = sw::disk::tools;

constexpr int kProgress = 0;
constexpr int kDone = 11;
constexpr int kStructureProgress = 15;
constexpr int kMediaHardDisk = 12;
constexpr std::uint64_t kSectorSize = 512;
// The geometry Windows gives a virtual disk of this size, written into the boot sectors.
constexpr int kHeads = 255;
constexpr int kSectorsPerTrack = 63;

using Callback = BOOLEAN(WINAPI*)(int command, DWORD subAction, PVOID actionInfo);

HINSTANCE g_self = nullptr;

void Log(const char* format, ...) {
  char path[MAX_PATH + 32] = "";
  DWORD length = GetModuleFileNameA(g_self, path, MAX_PATH);
  if (length == 0 || length >= MAX_PATH) return;
  char* slash = std::strrchr(path, '\\');
  if (!slash) return;
  std::strcpy(slash + 1, "fmifs_standin.log");
  std::FILE* f = std::fopen(path, "ab");
  if (!f) return;
  va_list args;
  va_start(args, format);
  std::vfprintf(f, format, args);
  va_end(args);
  std::fputc('\n', f);
  std::fclose(f);
}

std::string Narrow(const wchar_t* text) {
  std::string out;
  for (; text != nullptr && *text != 0; ++text) out += *text < 0x80 ? static_cast<char>(*text) : '_';
  return out;
}

struct Volume {
  std::string image;
  std::uint64_t offset = 0;
  std::uint64_t length = 0;
};

bool FindVolume(char letter, Volume& out) {
  char text[4096] = "";
  const DWORD n = GetEnvironmentVariableA("SEEKWELL_FMIFS_VOLUMES", text, sizeof text);
  if (n == 0 || n >= sizeof text) return false;
  std::string all = text;
  std::size_t at = 0;
  while (at <= all.size()) {
    std::size_t end = all.find(';', at);
    if (end == std::string::npos) end = all.size();
    const std::string entry = all.substr(at, end - at);
    at = end + 1;
    const std::size_t plus = entry.rfind('+'), mark = entry.rfind('@', plus);
    if (entry.size() < 3 || entry[1] != '=' || plus == std::string::npos || mark == std::string::npos) continue;
    if ((entry[0] & ~0x20) != (letter & ~0x20)) continue;
    out.image = entry.substr(2, mark - 2);
    out.offset = std::strtoull(entry.c_str() + mark + 1, nullptr, 10);
    out.length = std::strtoull(entry.c_str() + plus + 1, nullptr, 10);
    return out.offset % kSectorSize == 0 && out.length % kSectorSize == 0 && out.length > 0;
  }
  return false;
}

// Only inside the image: the range must lie within the file as it is.
bool InsideImage(const Volume& v) {
  WIN32_FILE_ATTRIBUTE_DATA data;
  if (!GetFileAttributesExA(v.image.c_str(), GetFileExInfoStandard, &data)) return false;
  const std::uint64_t size = (static_cast<std::uint64_t>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
  return v.offset >= kSectorSize && v.length <= size && v.offset <= size - v.length;
}

std::string FindTool(const char* name) {
  for (const char* folder : {"/usr/sbin", "/sbin", "/usr/bin", "/bin"}) {
    const std::string path = std::string(folder) + "/" + name;
    if (tools::ToolExists(path)) return path;
  }
  return std::string();
}

bool WriteNtfs(const Volume& v, const std::string& label) {
  const std::string mkntfs = FindTool("mkntfs");
  if (mkntfs.empty()) return false;
  // mkntfs writes a whole device from its first byte: a scratch file of the volume's size, then
  // what it wrote copied into the (emptied) range.
  const std::string scratch = v.image + ".fmifs-scratch";
  bool ok = tools::CreateEmptyFile(scratch, v.length);
  const std::string scratchForTool = ok ? tools::ToolFilePath(scratch) : std::string();
  ok = !scratchForTool.empty() &&
       tools::RunTool({mkntfs, "-Q", "-F", "-q", "-s", "512", "-p", std::to_string(v.offset / kSectorSize), "-H",
                       std::to_string(kHeads), "-S", std::to_string(kSectorsPerTrack), "-L", label, scratchForTool,
                       std::to_string(v.length / kSectorSize)}) == 0;
  ok = ok && tools::CopyFileData(scratch, v.image, v.offset);
  tools::RemoveFile(scratch);
  return ok;
}

bool WriteFat32(const Volume& v, const std::string& label) {
  const std::string mkfs = FindTool("mkfs.fat");
  const std::string image = tools::ToolFilePath(v.image);
  if (mkfs.empty() || image.empty()) return false;
  const std::string start = std::to_string(v.offset / kSectorSize);
  return tools::RunTool({mkfs, "-F", "32", "-n", label, "-S", "512", "-h", start, "-g",
                         std::to_string(kHeads) + "/" + std::to_string(kSectorsPerTrack), "--offset=" + start, image,
                         std::to_string(v.length / 1024)}) == 0;
}

const char* CommandName(int command) {
  switch (command) {
    case kProgress: return "PROGRESS";
    case kStructureProgress: return "STRUCTUREPROGRESS";
    case kDone: return "DONE";
    default: return "?";
  }
}

// One report; false when the caller asked to stop.
bool Report(Callback callback, int command, DWORD value) {
  BOOLEAN flag = value != 0 ? TRUE : FALSE;
  DWORD percent = value;
  void* data = command == kDone ? static_cast<void*>(&flag) : static_cast<void*>(&percent);
  const BOOLEAN answer = callback(command, 0, data);
  Log("callback %s %lu -> %s", CommandName(command), static_cast<unsigned long>(value), answer ? "TRUE" : "FALSE");
  return answer != FALSE;
}

}  // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE self, DWORD reason, LPVOID) {
  if (reason == DLL_PROCESS_ATTACH) {
    g_self = self;
    char path[MAX_PATH] = "", program[MAX_PATH] = "";
    GetModuleFileNameA(self, path, MAX_PATH);
    GetModuleFileNameA(nullptr, program, MAX_PATH);
    Log("stand-in %s loaded into %s", path, program);
  }
  return TRUE;
}

extern "C" __declspec(dllexport) VOID WINAPI FormatEx(PWCHAR driveRoot, int mediaType, PWCHAR fileSystem,
                                                      PWCHAR label, BOOL quick, ULONG clusterSize,
                                                      Callback callback) {
  const std::string root = Narrow(driveRoot), system = Narrow(fileSystem), name = Narrow(label);
  Log("FormatEx %s media %d %s label %s quick %d cluster %lu", root.c_str(), mediaType, system.c_str(),
      name.c_str(), quick ? 1 : 0, static_cast<unsigned long>(clusterSize));
  if (callback == nullptr) return;
  Volume volume;
  if (mediaType != kMediaHardDisk || (system != "NTFS" && system != "FAT32") || root.size() != 3 ||
      root[1] != ':' || root[2] != '\\' || !FindVolume(root[0], volume) || !InsideImage(volume)) {
    Log("no volume %s may be formatted", root.c_str());
    Report(callback, kDone, FALSE);
    return;
  }
  Log("volume %s is %s bytes %llu+%llu", root.c_str(), volume.image.c_str(),
      static_cast<unsigned long long>(volume.offset), static_cast<unsigned long long>(volume.length));
  if (!Report(callback, kProgress, 10)) return;
  // Nothing of an earlier file system stays behind.
  if (!tools::ZeroFileRange(volume.image, volume.offset, volume.length)) {
    Report(callback, kDone, FALSE);
    return;
  }
  if (!Report(callback, kProgress, 40)) return;
  const bool written = system == "NTFS" ? WriteNtfs(volume, name) : WriteFat32(volume, name);
  Log("%s %s", system == "NTFS" ? "mkntfs" : "mkfs.fat", written ? "wrote the file system" : "failed");
  if (!written) {
    Report(callback, kDone, FALSE);
    return;
  }
  if (!Report(callback, kStructureProgress, 50) || !Report(callback, kStructureProgress, 100)) return;
  if (!Report(callback, kProgress, 100)) return;
  Report(callback, kDone, TRUE);
}

extern "C" __declspec(dllexport) BOOLEAN WINAPI EnableVolumeCompression(PWCHAR, USHORT) { return FALSE; }
