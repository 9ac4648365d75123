// Simulated backend of the environment port: an in-memory table of variables; no logic here
// beyond the shared expansion rule.

#include "host/environment.h"

#include <map>
#include <mutex>

#include "host/environment_sim.h"

namespace sw::host {

namespace {

std::string Folded(const std::string& name) {
  std::string out = name;
  for (char& c : out) {
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  }
  return out;
}

struct Environment {
  std::mutex mutex;
  std::map<std::string, std::string> variables;
};

void FillDefaults(Environment& e) {
  e.variables = {{"PROGRAMFILES", "C:\\Program Files"},
                 {"PROGRAMFILES(X86)", "C:\\Program Files (x86)"},
                 {"SYSTEMROOT", "C:\\Windows"},
                 {"WINDIR", "C:\\Windows"},
                 {"SYSTEMDRIVE", "C:"}};
}

Environment& TheEnvironment() {
  static Environment* e = [] {
    auto* fresh = new Environment;
    FillDefaults(*fresh);
    return fresh;
  }();
  return *e;
}

}  // namespace

bool ExpandEnvironmentStringsA(const std::string& text, std::string& out) {
  Environment& e = TheEnvironment();
  std::lock_guard<std::mutex> lock(e.mutex);
  out = ExpandVariables(text, [&e](const std::string& name, std::string& value) {
    auto it = e.variables.find(Folded(name));
    if (it == e.variables.end()) return false;
    value = it->second;
    return true;
  });
  return true;
}

namespace sim {

void SetEnvironmentVariable(const std::string& name, const std::string& value) {
  Environment& e = TheEnvironment();
  std::lock_guard<std::mutex> lock(e.mutex);
  e.variables[Folded(name)] = value;
}

void ResetEnvironment() {
  Environment& e = TheEnvironment();
  std::lock_guard<std::mutex> lock(e.mutex);
  FillDefaults(e);
}

}  // namespace sim
}  // namespace sw::host
