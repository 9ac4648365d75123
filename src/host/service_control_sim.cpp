// Simulated backend of the service port: services with a start delay and failure modes, decided
// on a clock the tests can drive. Controls in service_control_sim.h.

#include <chrono>
#include <cstdlib>
#include <map>
#include <mutex>

#include "host/registry.h"
#include "host/registry_sim.h"
#include "host/service_control.h"
#include "host/service_control_sim.h"

namespace sw::host {

namespace {

struct Entry {
  sim::SimService config;
  ServiceState state = ServiceState::Stopped;
  bool starting = false;
  std::uint32_t startedAt = 0;
  int startRequests = 0;
};

struct Services {
  std::recursive_mutex mutex;
  bool loaded = false;
  std::map<std::string, Entry> byName;  // by lower-case name
  std::function<std::uint32_t()> clock;
};

Services& TheServices() {
  static Services services;
  return services;
}

std::string Lower(std::string text) {
  for (char& c : text) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return text;
}

std::uint32_t Now(Services& s) {
  if (s.clock) return s.clock();
  return static_cast<std::uint32_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                        std::chrono::steady_clock::now().time_since_epoch())
                                        .count());
}

void Install(Services& s, const std::string& name, const sim::SimService& service) {
  Entry entry;
  entry.config = service;
  entry.state = service.state;
  s.byName[Lower(name)] = entry;
}

void ApplyInstall(Services& s, const sim::InitiatorInstall& install) {
  if (install.serviceInstalled) {
    Install(s, kInitiatorServiceName, install.service);
  } else {
    s.byName.erase(Lower(kInitiatorServiceName));
  }
  if (install.uninstallEntry) {
    RegistryKey key;
    if (key.Create(RegistryRoot::LocalMachine, std::string(sim::kUninstallKey) + "\\" + sim::kInitiatorUninstallSubkey)) {
      key.WriteString("DisplayName", sim::kInitiatorDisplayName);
    }
  }
}

Services& Loaded() {
  Services& s = TheServices();
  if (!s.loaded) {
    s.loaded = true;
    sim::InitiatorInstall install;
    const char* text = std::getenv("SEEKWELL_SIM_INITIATOR");
    if (text != nullptr && *text != '\0') sim::ParseInitiatorInstall(text, install);
    ApplyInstall(s, install);
  }
  return s;
}

// Moves a starting service on by the clock.
void Advance(Services& s, Entry& e) {
  if (!e.starting) return;
  if (e.config.behaviour == sim::StartBehaviour::NeverStarts) return;
  if (Now(s) - e.startedAt < e.config.startDelayMs) return;
  e.state = e.config.behaviour == sim::StartBehaviour::FailsToStart ? ServiceState::Stopped : ServiceState::Running;
  e.starting = false;
}

struct SimHandle {
  std::string name;
};

}  // namespace

ServiceControl::~ServiceControl() { Close(); }

bool ServiceControl::Open(const char* serviceName) {
  Close();
  Services& s = Loaded();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  if (serviceName == nullptr || s.byName.count(Lower(serviceName)) == 0) return false;
  manager_ = this;  // the simulation has one manager; any non-null marker will do
  service_ = new SimHandle{Lower(serviceName)};
  return true;
}

bool ServiceControl::QueryState(ServiceState& state) const {
  if (service_ == nullptr) return false;
  return sim::CurrentServiceState(static_cast<SimHandle*>(service_)->name, state);
}

bool ServiceControl::Start() {
  if (service_ == nullptr) return false;
  Services& s = Loaded();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  auto it = s.byName.find(static_cast<SimHandle*>(service_)->name);
  if (it == s.byName.end()) return false;
  Entry& e = it->second;
  ++e.startRequests;
  Advance(s, e);
  // As StartServiceA: only a stopped service can be started.
  if (e.config.behaviour == sim::StartBehaviour::RefusesStart || e.state != ServiceState::Stopped) return false;
  e.state = ServiceState::StartPending;
  e.starting = true;
  e.startedAt = Now(s);
  Advance(s, e);
  return true;
}

void ServiceControl::Close() {
  delete static_cast<SimHandle*>(service_);
  service_ = nullptr;
  manager_ = nullptr;
}

namespace sim {

bool ParseInitiatorInstall(const std::string& text, InitiatorInstall& out) {
  InitiatorInstall result;
  std::size_t start = 0;
  while (start <= text.size()) {
    std::size_t comma = text.find(',', start);
    std::string word = Lower(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (word == "absent") {
      result.serviceInstalled = false;
    } else if (word == "running") {
      result.serviceInstalled = true;
      result.service.state = ServiceState::Running;
    } else if (word == "stopped") {
      result.serviceInstalled = true;
      result.service.state = ServiceState::Stopped;
    } else if (word == "uninstall") {
      result.uninstallEntry = true;
    } else if (word == "never") {
      result.service.behaviour = StartBehaviour::NeverStarts;
    } else if (word == "fails") {
      result.service.behaviour = StartBehaviour::FailsToStart;
    } else if (word == "refuses") {
      result.service.behaviour = StartBehaviour::RefusesStart;
    } else if (word.rfind("delay=", 0) == 0 && word.size() > 6 && word.size() <= 13 &&
               word.find_first_not_of("0123456789", 6) == std::string::npos) {
      result.service.startDelayMs = static_cast<std::uint32_t>(std::strtoul(word.c_str() + 6, nullptr, 10));
    } else {
      return false;
    }
    if (comma == std::string::npos) break;
    start = comma + 1;
  }
  out = result;
  return true;
}

void SetInitiatorInstall(const InitiatorInstall& install) {
  Services& s = Loaded();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  ApplyInstall(s, install);
}

void InstallService(const std::string& name, const SimService& service) {
  Services& s = Loaded();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  Install(s, name, service);
}

void RemoveService(const std::string& name) {
  Services& s = Loaded();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.byName.erase(Lower(name));
}

void ResetServices() {
  Services& s = TheServices();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.byName.clear();
  s.loaded = false;
}

bool CurrentServiceState(const std::string& name, ServiceState& state) {
  Services& s = Loaded();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  auto it = s.byName.find(Lower(name));
  if (it == s.byName.end()) return false;
  Advance(s, it->second);
  state = it->second.state;
  return true;
}

int StartRequests(const std::string& name) {
  Services& s = Loaded();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  auto it = s.byName.find(Lower(name));
  return it == s.byName.end() ? 0 : it->second.startRequests;
}

void SetServiceClock(std::function<std::uint32_t()> nowMs) {
  Services& s = TheServices();
  std::lock_guard<std::recursive_mutex> lock(s.mutex);
  s.clock = std::move(nowMs);
}

}  // namespace sim

}  // namespace sw::host
