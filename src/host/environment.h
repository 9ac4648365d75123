#pragma once
// Port to the expansion of environment variables in REG_EXPAND_SZ texts ("%ProgramFiles%\...").
// Backends: environment_win32.cpp (ExpandEnvironmentStringsA) and environment_sim.cpp (the
// simulated Windows' variables, through the rule below; set by tests with environment_sim.h).

#include <functional>
#include <string>

namespace sw::host {

// Replaces each %NAME% by the variable's value. False (out untouched) when the expansion fails.
bool ExpandEnvironmentStringsA(const std::string& text, std::string& out);

// Windows' rule: %NAME% whose NAME is defined (names compare ignoring case) is replaced; an
// undefined %NAME% and a lone % stay as they are.
using VariableLookup = std::function<bool(const std::string& name, std::string& value)>;
std::string ExpandVariables(const std::string& text, const VariableLookup& lookup);

}  // namespace sw::host
