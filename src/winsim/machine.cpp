// The simulated machine as a whole (machine.h), and its small parts.

#include "winsim/machine.h"

#include <chrono>
#include <cstdio>
#include <fstream>
#include <sstream>

#include "base/ascii_case.h"

namespace sw::winsim {

namespace {

constexpr std::uint32_t kWinExecStarted = 33;
constexpr std::uint32_t kWinExecFileNotFound = 2;

fabric::Fabric LoadFabricFile(const std::string& path) {
  fabric::Fabric f;
  std::string error;
  if (path.empty()) {
    fabric::LoadFabric(fabric::DefaultFabricJson(), &f, &error);
    return f;
  }
  std::ifstream in(path, std::ios::binary);
  std::stringstream text;
  text << in.rdbuf();
  if (!in || !fabric::LoadFabric(text.str(), &f, &error)) {
    std::fprintf(stderr, "SEEKWELL_FABRIC %s: %s\n", path.c_str(), in ? error.c_str() : "cannot be read");
    return fabric::Fabric{};
  }
  return f;
}

}  // namespace

// --- Environment

void Environment::Reset() {
  auto lock = m_.Lock();
  m_variables = {{"PROGRAMFILES", "C:\\Program Files"},
                 {"PROGRAMFILES(X86)", "C:\\Program Files (x86)"},
                 {"SYSTEMROOT", "C:\\Windows"},
                 {"WINDIR", "C:\\Windows"},
                 {"SYSTEMDRIVE", "C:"}};
}

void Environment::Set(const std::string& name, const std::string& value) {
  auto lock = m_.Lock();
  m_variables[base::UpperAscii(name)] = value;
}

bool Environment::Get(const std::string& name, std::string& value) const {
  auto lock = m_.Lock();
  auto it = m_variables.find(base::UpperAscii(name));
  if (it == m_variables.end()) return false;
  value = it->second;
  return true;
}

// --- Files

void Files::Reset() {
  auto lock = m_.Lock();
  m_modulePath = kDefaultModuleFileName;
  m_paths.clear();
}

std::string Files::ModuleFileName() const {
  auto lock = m_.Lock();
  return m_modulePath;
}

void Files::Place(const std::string& path) {
  auto lock = m_.Lock();
  m_paths.insert(base::LowerAscii(path));
}

void Files::Remove(const std::string& path) {
  auto lock = m_.Lock();
  m_paths.erase(base::LowerAscii(path));
}

bool Files::Exists(const std::string& path) const {
  auto lock = m_.Lock();
  return m_paths.count(base::LowerAscii(path)) != 0;
}

// --- Programs

void Programs::Reset() {
  auto lock = m_.Lock();
  m_installed = {base::UpperAscii("explorer")};
  m_launches.clear();
}

void Programs::Install(const std::string& program) {
  auto lock = m_.Lock();
  m_installed.insert(base::UpperAscii(program));
}

void Programs::UninstallAll() {
  auto lock = m_.Lock();
  m_installed.clear();
}

std::string Programs::ProgramOf(const std::string& commandLine) {
  if (!commandLine.empty() && commandLine[0] == '"') {
    const std::size_t close = commandLine.find('"', 1);
    return commandLine.substr(1, close == std::string::npos ? std::string::npos : close - 1);
  }
  return commandLine.substr(0, commandLine.find(' '));
}

std::uint32_t Programs::WinExec(const std::string& commandLine, unsigned showCommand) {
  auto lock = m_.Lock();
  const std::string program = ProgramOf(commandLine);
  const std::uint32_t result =
      !program.empty() && m_installed.count(base::UpperAscii(program)) ? kWinExecStarted : kWinExecFileNotFound;
  m_launches.push_back({commandLine, showCommand, result});
  return result;
}

std::vector<LaunchRecord> Programs::Launches() const {
  auto lock = m_.Lock();
  return m_launches;
}

// --- Processes

Processes::~Processes() { WaitForWaiters(); }

void Processes::Reset() {
  WaitForWaiters();  // the machine's own reset has waited already, before it took the lock
  auto lock = m_.Lock();
  m_launches.clear();
  m_ipconfigMs = m_.GetSettings().ipconfigMs;
}

void Processes::Record(const std::string& commandLine) {
  auto lock = m_.Lock();
  m_launches.push_back(commandLine);
}

std::vector<std::string> Processes::Launches() const {
  auto lock = m_.Lock();
  return m_launches;
}

void Processes::SetIpconfigDurationMs(std::uint32_t ms) {
  auto lock = m_.Lock();
  m_ipconfigMs = ms;
}

void Processes::StartWaiter(std::function<void()> ended) {
  auto lock = m_.Lock();
  const std::uint32_t ms = m_ipconfigMs;
  m_waiters.emplace_back([ms, ended = std::move(ended)] {
    std::this_thread::sleep_for(std::chrono::milliseconds(ms));
    ended();
  });
}

void Processes::WaitForWaiters() {
  std::vector<std::thread> waiters;
  {
    auto lock = m_.Lock();
    waiters.swap(m_waiters);
  }
  // Joined outside the lock: a waiter's callback may call into the machine.
  for (auto& t : waiters) {
    if (t.joinable()) t.join();
  }
}

// --- FormatLibrary

void FormatLibrary::Reset() {
  auto lock = m_.Lock();
  m_library = m_formatEx = m_compression = true;
  m_toolFolder.clear();
  m_locator = nullptr;
}

void FormatLibrary::SetPresent(bool library, bool formatEx, bool enableVolumeCompression) {
  auto lock = m_.Lock();
  m_library = library;
  m_formatEx = formatEx;
  m_compression = enableVolumeCompression;
}

bool FormatLibrary::LibraryPresent() const {
  auto lock = m_.Lock();
  return m_library;
}

bool FormatLibrary::EntryPresent(const std::string& name) const {
  auto lock = m_.Lock();
  if (!m_library) return false;
  if (name == "FormatEx") return m_formatEx;
  if (name == "EnableVolumeCompression") return m_compression;
  return false;
}

void FormatLibrary::SetToolFolder(const std::string& folder) {
  auto lock = m_.Lock();
  m_toolFolder = folder;
}

std::string FormatLibrary::ToolFolder() const {
  auto lock = m_.Lock();
  return m_toolFolder;
}

void FormatLibrary::SetLocator(Locator locator) {
  auto lock = m_.Lock();
  m_locator = std::move(locator);
}

std::optional<VolumeLocation> FormatLibrary::Locate(char letter) {
  Locator locator;
  {
    auto lock = m_.Lock();
    locator = m_locator;
  }
  return locator ? locator(letter) : m_.volumes.Locate(letter);
}

// --- Machine

Machine::Machine()
    : registry(*this),
      services(*this),
      environment(*this),
      files(*this),
      programs(*this),
      processes(*this),
      letters(*this),
      initiator(*this),
      disks(*this),
      volumes(*this),
      format(*this) {
  Reset();
}

Machine::~Machine() { processes.WaitForWaiters(); }

void Machine::Reset() { Reset(Settings::FromEnvironment()); }

void Machine::Reset(const Settings& settings) {
  processes.WaitForWaiters();
  auto lock = Lock();
  m_settings = settings;
  m_clock = nullptr;
  m_userName = settings.userName;
  fabric = LoadFabricFile(settings.fabricPath);
  registry.Reset();
  WindowsVersion version;
  if (settings.windows.empty() || !ParseWindowsVersion(settings.windows, version)) {
    ParseWindowsVersion(kDefaultWindows, version);
  }
  SetVersion(version);
  services.Reset();
  environment.Reset();
  files.Reset();
  programs.Reset();
  processes.Reset();
  letters.Reset();
  initiator.Reset();
  disks.Reset();
  volumes.Reset();
  format.Reset();
}

Settings Machine::GetSettings() const {
  auto lock = Lock();
  return m_settings;
}

std::uint32_t Machine::Now() const {
  std::function<std::uint32_t()> clock;
  {
    auto lock = Lock();
    clock = m_clock;
  }
  if (clock) return clock();
  return static_cast<std::uint32_t>(
      std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now().time_since_epoch())
          .count());
}

void Machine::SetClock(std::function<std::uint32_t()> clock) {
  auto lock = Lock();
  m_clock = std::move(clock);
}

WindowsVersion Machine::Version() const {
  auto lock = Lock();
  return m_version;
}

void Machine::SetVersion(const WindowsVersion& version) {
  auto lock = Lock();
  m_version = version;
  if (version.productOptions.empty()) return;
  RegValue value{1, std::vector<std::uint8_t>(version.productOptions.begin(), version.productOptions.end())};
  value.data.push_back(0);
  registry.SetValue(Hive::LocalMachine, kProductOptionsKey, "ProductType", value);
}

std::string Machine::UserName() const {
  auto lock = Lock();
  return m_userName;
}

void Machine::SetUserName(const std::string& name) {
  auto lock = Lock();
  m_userName = name;
}

void Machine::SetFabric(const fabric::Fabric& f) {
  auto lock = Lock();
  fabric = f;
  letters.Reset();
}

bool Machine::SetFabricText(const std::string& jsonText, std::string* error) {
  fabric::Fabric f;
  if (!fabric::LoadFabric(jsonText, &f, error)) return false;
  SetFabric(f);
  return true;
}

fabric::Fabric Machine::Fabric() const {
  auto lock = Lock();
  return fabric;
}

Machine& TheMachine() {
  static Machine machine;
  return machine;
}

}  // namespace sw::winsim
