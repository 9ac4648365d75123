// The simulated services (services.h).

#include "winsim/services.h"

#include <cstdlib>

#include "base/ascii_case.h"
#include "winsim/machine.h"

namespace sw::winsim {

bool ParseInitiatorInstall(const std::string& text, InitiatorInstall& out) {
  InitiatorInstall result;
  std::size_t start = 0;
  while (start <= text.size()) {
    const std::size_t comma = text.find(',', start);
    const std::string word =
        base::LowerAscii(text.substr(start, comma == std::string::npos ? std::string::npos : comma - start));
    if (word == "absent") {
      result.serviceInstalled = false;
    } else if (word == "running" || word == "stopped") {
      result.serviceInstalled = true;
      result.service.state = word == "running" ? ServiceStatus::Running : ServiceStatus::Stopped;
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

void Services::Reset() {
  auto lock = m_.Lock();
  m_byName.clear();
  InitiatorInstall install;
  if (!m_.GetSettings().initiator.empty()) ParseInitiatorInstall(m_.GetSettings().initiator, install);
  SetInitiatorInstall(install);
}

void Services::Install(const std::string& name, const ServiceConfig& config) {
  auto lock = m_.Lock();
  Entry entry;
  entry.config = config;
  entry.state = config.state;
  m_byName[base::LowerAscii(name)] = entry;
}

void Services::Remove(const std::string& name) {
  auto lock = m_.Lock();
  m_byName.erase(base::LowerAscii(name));
}

void Services::SetInitiatorInstall(const InitiatorInstall& install) {
  auto lock = m_.Lock();
  if (install.serviceInstalled) {
    Install(kInitiatorServiceName, install.service);
  } else {
    Remove(kInitiatorServiceName);
  }
  if (install.uninstallEntry) {
    const std::string key = std::string(kUninstallKey) + "\\" + kInitiatorUninstallSubkey;
    const std::string name = kInitiatorDisplayName;
    RegValue value{1, std::vector<std::uint8_t>(name.begin(), name.end())};
    value.data.push_back(0);
    m_.registry.SetValue(Hive::LocalMachine, key, "DisplayName", value);
  }
}

bool Services::Exists(const std::string& name) const {
  auto lock = m_.Lock();
  return m_byName.count(base::LowerAscii(name)) != 0;
}

void Services::Advance(Entry& e) {
  if (!e.starting || e.config.behaviour == StartBehaviour::NeverStarts) return;
  if (m_.Now() - e.startedAt < e.config.startDelayMs) return;
  e.state = e.config.behaviour == StartBehaviour::FailsToStart ? ServiceStatus::Stopped : ServiceStatus::Running;
  e.starting = false;
}

bool Services::State(const std::string& name, ServiceStatus& state) {
  auto lock = m_.Lock();
  auto it = m_byName.find(base::LowerAscii(name));
  if (it == m_byName.end()) return false;
  Advance(it->second);
  state = it->second.state;
  return true;
}

std::uint32_t Services::Start(const std::string& name) {
  auto lock = m_.Lock();
  auto it = m_byName.find(base::LowerAscii(name));
  if (it == m_byName.end()) return kErrorServiceDoesNotExist;
  Entry& e = it->second;
  ++e.startRequests;
  Advance(e);
  if (e.config.behaviour == StartBehaviour::RefusesStart) return kErrorServiceDisabled;
  // StartService starts only a stopped service.
  if (e.state != ServiceStatus::Stopped) return kErrorServiceAlreadyRunning;
  e.state = ServiceStatus::StartPending;
  e.starting = true;
  e.startedAt = m_.Now();
  Advance(e);
  return kErrorSuccess;
}

int Services::StartRequests(const std::string& name) const {
  auto lock = m_.Lock();
  auto it = m_byName.find(base::LowerAscii(name));
  return it == m_byName.end() ? 0 : it->second.startRequests;
}

}  // namespace sw::winsim
