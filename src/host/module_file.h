#pragma once
// Port to the program's own file and to the file search: where the running program lies, and
// whether a file is there. Backends: module_file_win32.cpp (GetModuleFileNameA, FindFirstFileA)
// and module_file_sim.cpp (a simulated program folder; controls in module_file_sim.h).

#include <string>

namespace sw::host {

constexpr unsigned kModulePathSize = 260;  // MAX_PATH, terminator included

// The full path of the running program; empty when it cannot be read or does not fit.
std::string ModuleFileName();
// True when a file search finds a file (not a folder) at `path`. Wildcards never match: the
// path names one file.
bool FileExists(const std::string& path);

}  // namespace sw::host
