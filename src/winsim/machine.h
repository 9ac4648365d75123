#pragma once
// The simulated Windows: one machine per process that every simulated backend (*_sim.cpp)
// translates its port's calls to and from, so that what one port changes the others see, as on a
// real machine. It holds the fabric (the devices on the network), the drive letters, the disks and
// their images, the volumes, the iSCSI initiator, the registry, the services, the Windows version,
// the environment, the program's files, the processes and programs it can start, and the settings
// it was started with. It answers as Windows documents; docs/simulated-windows.md lists each
// behaviour with its source and the test that pins it.
//
// One lock: every public call of every part takes the machine's one recursive lock, so the parts
// may call each other and the backends' worker threads (the format, the process waiters) see one
// consistent machine. Nothing blocks while holding it (tools and waits run outside it).
//
// Only the simulated backends and the tests include this header; the build keeps the program's
// core, real backends and dialogs from it.

#include <cstdint>
#include <functional>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <thread>
#include <vector>

#include "fabric/fabric.h"
#include "winsim/disks.h"
#include "winsim/initiator.h"
#include "winsim/letters.h"
#include "winsim/registry.h"
#include "winsim/services.h"
#include "winsim/settings.h"
#include "winsim/volumes.h"
#include "winsim/win32_codes.h"
#include "winsim/windows_version.h"

namespace sw::winsim {

// The variables ExpandEnvironmentStrings knows (names compare ignoring case).
class Environment {
 public:
  explicit Environment(Machine& machine) : m_(machine) {}
  void Reset();  // ProgramFiles, ProgramFiles(x86), SystemRoot, windir, SystemDrive
  void Set(const std::string& name, const std::string& value);
  bool Get(const std::string& name, std::string& value) const;

 private:
  Machine& m_;
  std::map<std::string, std::string> m_variables;  // by upper-case name
};

constexpr const char* kDefaultModuleFileName = "C:\\Program Files\\Seekwell\\seekwell.exe";

// The program's own path and the files a file search finds (paths compare ignoring case).
class Files {
 public:
  explicit Files(Machine& machine) : m_(machine) {}
  void Reset();  // the default program path, no files
  std::string ModuleFileName() const;
  void Place(const std::string& path);
  void Remove(const std::string& path);
  bool Exists(const std::string& path) const;

 private:
  Machine& m_;
  std::string m_modulePath = kDefaultModuleFileName;
  std::set<std::string> m_paths;  // lower case
};

// What WinExec starts: a command line whose program (a quoted path, or the text up to the first
// blank) is installed, compared ignoring case; "explorer" is installed by default. Every call is
// logged.
struct LaunchRecord {
  std::string commandLine;
  unsigned showCommand = 0;
  std::uint32_t result = 0;
};

class Programs {
 public:
  explicit Programs(Machine& machine) : m_(machine) {}
  void Reset();  // only explorer, empty log
  void Install(const std::string& program);
  void UninstallAll();
  std::uint32_t WinExec(const std::string& commandLine, unsigned showCommand);  // 33, or 2 not found
  std::vector<LaunchRecord> Launches() const;
  static std::string ProgramOf(const std::string& commandLine);

 private:
  Machine& m_;
  std::set<std::string> m_installed;  // upper case
  std::vector<LaunchRecord> m_launches;
};

// The processes the program starts: every command line handed to the process port, and the
// waiters of "ipconfig /all", which ends after the settings' ipconfig time (real time, on a
// thread of its own).
class Processes {
 public:
  explicit Processes(Machine& machine) : m_(machine) {}
  ~Processes();
  void Reset();  // waits for the waiters, empties the log, the settings' ipconfig time
  void Record(const std::string& commandLine);
  std::vector<std::string> Launches() const;
  void SetIpconfigDurationMs(std::uint32_t ms);
  // Runs `ended` on a thread of its own once the ipconfig time has passed.
  void StartWaiter(std::function<void()> ended);
  void WaitForWaiters();

 private:
  Machine& m_;
  std::vector<std::string> m_launches;
  std::uint32_t m_ipconfigMs = 300;
  std::vector<std::thread> m_waiters;
};

// fmifs.dll as the machine has it, and where the format finds its Linux tools.
class FormatLibrary {
 public:
  explicit FormatLibrary(Machine& machine) : m_(machine) {}
  void Reset();  // the library and both entry points present; the tools in the usual folders
  void SetPresent(bool library, bool formatEx, bool enableVolumeCompression);
  bool LibraryPresent() const;
  bool EntryPresent(const std::string& name) const;
  void SetToolFolder(const std::string& folder);
  std::string ToolFolder() const;
  // Replaces where the format looks for the volume of a letter (nullptr: the volumes' own answer).
  using Locator = std::function<std::optional<VolumeLocation>(char letter)>;
  void SetLocator(Locator locator);
  std::optional<VolumeLocation> Locate(char letter);

 private:
  Machine& m_;
  bool m_library = true;
  bool m_formatEx = true;
  bool m_compression = true;
  std::string m_toolFolder;
  Locator m_locator;
};

class Machine {
 public:
  // Built from the process's environment (Settings::FromEnvironment).
  Machine();
  ~Machine();
  Machine(const Machine&) = delete;
  Machine& operator=(const Machine&) = delete;

  std::unique_lock<std::recursive_mutex> Lock() const { return std::unique_lock<std::recursive_mutex>(m_mutex); }

  // A fresh machine from the environment's settings, or from `settings`: every part back to its
  // start (waiting first for the process waiters), the clock back to real time.
  void Reset();
  void Reset(const Settings& settings);
  Settings GetSettings() const;

  // Milliseconds, wrapping as GetTickCount does: real time, unless a clock was set (a headless test
  // hands the machine the program's fake clock, so the program's sleeps and the machine's delays
  // move together).
  std::uint32_t Now() const;
  void SetClock(std::function<std::uint32_t()> clock);

  // Which Windows this is; setting it also writes its ProductOptions value into the registry.
  WindowsVersion Version() const;
  void SetVersion(const WindowsVersion& version);

  // The user name GetUserName reports (empty: the call fails).
  std::string UserName() const;
  void SetUserName(const std::string& name);

  // Replaces the fabric: the devices, and the letters' drive types and connections.
  void SetFabric(const fabric::Fabric& fabric);
  bool SetFabricText(const std::string& jsonText, std::string* error = nullptr);
  fabric::Fabric Fabric() const;

  // The state a program run after this one must find (the initiator, the volumes on letters and the
  // letters volumes last had), as one JSON document, and back. Import checks everything before it
  // changes anything: a document that is malformed, or names a session disk image outside
  // `allowedImageFolders` (or one that is a link or no regular file), is refused with `error`.
  std::string ExportState();
  bool ImportState(const std::string& text, const std::vector<std::string>& allowedImageFolders, std::string* error);

 private:
  mutable std::recursive_mutex m_mutex;
  Settings m_settings;
  std::function<std::uint32_t()> m_clock;
  std::string m_userName;
  WindowsVersion m_version;

 public:
  fabric::Fabric fabric;
  Registry registry;
  Services services;
  Environment environment;
  Files files;
  Programs programs;
  Processes processes;
  Letters letters;
  Initiator initiator;
  Disks disks;
  Volumes volumes;
  FormatLibrary format;
};

// The process's machine, made on first use.
Machine& TheMachine();

}  // namespace sw::winsim
