// Simulated backend of the environment port: the simulated machine's variables, through the shared
// expansion rule. No logic here.

#include "host/environment.h"
#include "winsim/machine.h"

namespace sw::host {

bool ExpandEnvironmentStringsA(const std::string& text, std::string& out) {
  const winsim::Environment& environment = winsim::TheMachine().environment;
  out = ExpandVariables(text, [&environment](const std::string& name, std::string& value) {
    return environment.Get(name, value);
  });
  return true;
}

}  // namespace sw::host
