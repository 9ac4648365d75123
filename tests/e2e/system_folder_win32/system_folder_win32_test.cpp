// The program's system files under Wine, with the real backends. The runner puts hostile
// iscsicli.exe, ipconfig.exe, fmifs.dll, wsock32.dll, mpr.dll and wininet.dll beside this program
// and in its current folder, and the stand-ins iscsicli.exe and fmifs.dll in the prefix's system
// folder: only the system folder's programs and libraries may run. Then the real format engine
// over the stand-in fmifs.dll: every report of FormatEx reaches the callback, and blkid reads the
// file system it left.

#include <windows.h>
#include <psapi.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "base/system_library.h"
#include "disk/format_engine.h"
#include "disk/format_tools.h"
#include "mbr_sector.h"
#include "disk/partitions.h"
#include "disk/volume_format.h"
#include "host/clock.h"
#include "iscsi/command_runner.h"
#include "protocol/device_socket.h"
#include "recording_format_dialog.h"
#include "share/internet_check.h"
#include "share/network_drives.h"

namespace sw {
namespace {

std::string Lower(std::string text) {
  for (char& c : text) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
  return text;
}

std::string FolderOf(const std::string& path) { return path.substr(0, path.rfind('\\')); }

std::string SystemFolder() { return base::WindowsSystemFolder(); }

std::string ThisProgram() {
  char path[MAX_PATH] = "";
  GetModuleFileNameA(nullptr, path, MAX_PATH);
  return path;
}

std::string CurrentFolder() {
  char path[MAX_PATH] = "";
  GetCurrentDirectoryA(MAX_PATH, path);
  std::string folder = path;
  if (!folder.empty() && folder.back() == '\\') folder.pop_back();
  return folder;
}

std::vector<std::string> Lines(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::vector<std::string> lines;
  std::string line;
  while (std::getline(in, line)) lines.push_back(line);
  return lines;
}

bool Exists(const std::string& path) { return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES; }

// Every module of this process, by full path.
std::vector<std::string> LoadedModules() {
  HMODULE modules[512];
  DWORD bytes = 0;
  std::vector<std::string> paths;
  if (!EnumProcessModules(GetCurrentProcess(), modules, sizeof modules, &bytes)) return paths;
  for (DWORD i = 0; i < bytes / sizeof(HMODULE) && i < 512; ++i) {
    char path[MAX_PATH] = "";
    if (GetModuleFileNameA(modules[i], path, MAX_PATH)) paths.push_back(path);
  }
  return paths;
}

std::string ModulePath(const char* name) {
  HMODULE module = GetModuleHandleA(name);
  char path[MAX_PATH] = "";
  if (module != nullptr) GetModuleFileNameA(module, path, MAX_PATH);
  return path;
}

TEST(SystemFiles, OnlyTheSystemFolderRunsAndLoads) {
  const std::string system = SystemFolder();
  ASSERT_FALSE(system.empty());
  const std::string stubLog = system + "\\iscsicli_stub.log";
  DeleteFileA(stubLog.c_str());

  // The initiator's tool: the stand-in in the system folder, with the template's arguments.
  ASSERT_TRUE(iscsi::RunCommand("iscsicli ListTargets t"));
  const auto stub = Lines(stubLog);
  ASSERT_EQ(3u, stub.size()) << "the system folder's iscsicli.exe did not run";
  EXPECT_EQ(Lower("program: " + system + "\\iscsicli.exe"), Lower(stub[0]));
  EXPECT_EQ("ListTargets", stub[1]);
  std::printf("iscsicli.exe that ran: %s\n", stub[0].c_str());

  // "ipconfig /all": the process that ended is the system folder's ipconfig.exe.
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  std::string image;
  ASSERT_EQ(1, iscsi::RunAndNotify([&](iscsi::ProcessHandle process) {
              char path[MAX_PATH] = "";
              DWORD size = MAX_PATH;
              if (QueryFullProcessImageNameA(static_cast<HANDLE>(process), 0, path, &size)) image = path;
              iscsi::CloseProcessHandle(process);
              SetEvent(done);
            }));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 60000));
  CloseHandle(done);
  std::printf("ipconfig.exe that ran: %s\n", image.c_str());
  EXPECT_EQ(Lower(system + "\\ipconfig.exe"), Lower(image));

  // The libraries, through the backends that load them.
  ASSERT_TRUE(disk::fmt::LoadFormatLibrary());
  EXPECT_NE(nullptr, disk::fmt::FindFormatEntryPoint(disk::fmt::kFormatExName));
  protocol::DeviceSocketPort& sockets = protocol::SystemDeviceSocketPort();
  EXPECT_TRUE(sockets.Startup());
  const std::string winsock = ModulePath("wsock32.dll");  // freed again by Cleanup
  sockets.Cleanup();
  std::uint32_t length = 0;
  share::WNetGetConnectionA("Q:", nullptr, length);
  // Nothing listens there: only the library matters.
  share::InternetCheckConnectionA("http://127.0.0.1:9/");
  for (const char* name : {"fmifs.dll", "wsock32.dll", "mpr.dll", "wininet.dll"}) {
    const std::string path = std::string(name) == "wsock32.dll" ? winsock : ModulePath(name);
    std::printf("%s loaded from %s\n", name, path.c_str());
    EXPECT_EQ(Lower(system + "\\" + name), Lower(path));
  }

  // Nothing else of this process came from this program's folder or the current folder, and
  // nothing planted there ran.
  const std::string program = ThisProgram(), here = Lower(FolderOf(program)), current = Lower(CurrentFolder());
  std::printf("program %s, current folder %s\n", program.c_str(), CurrentFolder().c_str());
  for (const auto& module : LoadedModules()) {
    if (Lower(module) == Lower(program)) continue;
    EXPECT_NE(here, Lower(FolderOf(module))) << module;
    EXPECT_NE(current, Lower(FolderOf(module))) << module;
  }
  for (const std::string& folder : {FolderOf(program), CurrentFolder()}) {
    const std::string log = folder + "\\planted.log";
    EXPECT_FALSE(Exists(log)) << "planted files ran:\n" << [&] {
      std::string all;
      for (const auto& line : Lines(log)) all += line + "\n";
      return all;
    }();
  }
}

constexpr std::uint64_t kStart = 63 * 512;
constexpr std::uint64_t kLength = 64ull << 20;
constexpr std::uint64_t kSize = kStart + kLength + (1 << 20);

std::string TempFile(const char* name) {
  char folder[MAX_PATH] = "";
  GetTempPathA(MAX_PATH, folder);
  return std::string(folder) + name;
}

std::string Blkid(const std::string& image) {
  const std::string out = TempFile("seekwell-fmifs-blkid.txt");
  disk::tools::CreateEmptyFile(out, 0);
  const std::string command = "/usr/sbin/blkid -p -o export -O " + std::to_string(kStart) + " '" +
                              disk::tools::ToolFilePath(image) + "' > '" + disk::tools::ToolFilePath(out) + "' 2>&1";
  EXPECT_EQ(0, disk::tools::RunTool({"/bin/sh", "-c", command}));
  std::string text;
  for (const auto& line : Lines(out)) text += line + "\n";
  disk::tools::RemoveFile(out);
  return text;
}

// The Partition dialog formats NTFS, the wizard FAT32 (and then registers the volume with the
// initiator's tool): both through the real engine, the stand-in reporting as the library does.
TEST(RealFormatEngine, EveryReportOfTheStandInReachesTheCallback) {
  host::FakeClock clock;
  host::InstallClock(&clock);
  const std::string system = SystemFolder();
  const std::string image = TempFile("seekwell-fmifs-disk1.img");
  ASSERT_TRUE(disk::tools::CreateEmptyFile(image, kSize));
  ASSERT_FALSE(disk::tools::ToolFilePath(image).empty()) << "no Unix path: not running under Wine?";
  std::uint8_t sector[disk::kMbrSectorSize] = {};
  disk::MbrEntry entries[4];
  entries[0].type = 0x07;
  entries[0].firstLba = static_cast<std::uint32_t>(kStart / 512);
  entries[0].sectorCount = static_cast<std::uint32_t>(kLength / 512);
  disk::WriteMbrSector(sector, 0x1234ABCDu, entries, 255, 63);
  {
    std::fstream f(image, std::ios::binary | std::ios::in | std::ios::out);
    f.write(reinterpret_cast<const char*>(sector), sizeof sector);
  }
  const std::string volumes = "E=" + image + "@" + std::to_string(kStart) + "+" + std::to_string(kLength);
  SetEnvironmentVariableA("SEEKWELL_FMIFS_VOLUMES", volumes.c_str());

  const std::string standInLog = system + "\\fmifs_standin.log";
  for (bool ntfs : {true, false}) {
    const char* kind = ntfs ? "NTFS" : "FAT32";
    DeleteFileA(standInLog.c_str());
    DeleteFileA((system + "\\iscsicli_stub.log").c_str());
    disk::RecordingFormatDialog dialog(ntfs ? disk::FormatDialogKind::Partition : disk::FormatDialogKind::Wizard, ntfs,
                                       !ntfs);
    ASSERT_TRUE(disk::StartVolumeFormat(dialog, {"E:\\", 1}, disk::SessionDisks({1})));
    const auto shown = dialog.AfterWorker();
    std::vector<std::string> calls, answers;
    std::printf("stand-in log, %s:\n", kind);
    for (const auto& line : Lines(standInLog)) {
      std::printf("  %s\n", line.c_str());
      if (line.rfind("FormatEx ", 0) == 0) calls.push_back(line);
      if (line.rfind("callback ", 0) == 0) answers.push_back(line);
    }
    const std::string call = std::string("FormatEx E:\\ media 12 ") + kind + " label iSCSI quick 1 cluster 0";
    EXPECT_EQ(std::vector<std::string>{call}, calls);
    EXPECT_EQ((std::vector<std::string>{"callback PROGRESS 10 -> TRUE", "callback PROGRESS 40 -> TRUE",
                                        "callback STRUCTUREPROGRESS 50 -> TRUE",
                                        "callback STRUCTUREPROGRESS 100 -> TRUE", "callback PROGRESS 100 -> TRUE",
                                        "callback DONE 1 -> TRUE"}),
              answers)
        << kind;
    EXPECT_EQ(disk::kFormatSucceededText, shown.status) << kind;
    EXPECT_TRUE(shown.closed && shown.okEnabled && shown.cancelEnabled) << kind;
    EXPECT_LT(shown.IndexOf("progress 40"), shown.IndexOf(std::string("status ") + disk::kFinalizingText)) << kind;
    if (!ntfs) {
      const auto stub = Lines(system + "\\iscsicli_stub.log");
      EXPECT_EQ((std::vector<std::string>{"AddPersistentDevice", "E:\\"}),
                std::vector<std::string>(stub.begin() + (stub.empty() ? 0 : 1), stub.end()));
    }
    const std::string blkid = Blkid(image);
    std::printf("blkid after %s:\n%s", kind, blkid.c_str());
    EXPECT_NE(std::string::npos, blkid.find(ntfs ? "TYPE=ntfs\n" : "TYPE=vfat\n")) << blkid;
    EXPECT_NE(std::string::npos, blkid.find("LABEL=iSCSI\n")) << blkid;
  }
  std::uint8_t after[disk::kMbrSectorSize] = {};
  {
    std::ifstream f(image, std::ios::binary);
    f.read(reinterpret_cast<char*>(after), sizeof after);
  }
  EXPECT_EQ(0, std::memcmp(sector, after, sizeof sector)) << "sector 0 changed";
  disk::tools::RemoveFile(image);
  host::InstallClock(nullptr);
}

}  // namespace
}  // namespace sw

int main(int argc, char** argv) {
  // As the program's WinMain does, before anything is loaded by name.
  sw::base::RestrictLibrarySearch();
  testing::InitGoogleTest(&argc, argv);
  return RUN_ALL_TESTS();
}
