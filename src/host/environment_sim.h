#pragma once
// Controls of the simulated environment (environment_sim.cpp): the variables a Windows machine
// has, with the usual defaults (ProgramFiles, ProgramFiles(x86), SystemRoot, windir,
// SystemDrive).

#include <string>

namespace sw::host::sim {

void SetEnvironmentVariable(const std::string& name, const std::string& value);
void ResetEnvironment();  // back to the defaults

}  // namespace sw::host::sim
