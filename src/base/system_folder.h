#pragma once
// Where the system's own programs and libraries lie. The program runs with administrator rights,
// so it starts and loads those only by their full path there: a bare name would be searched for in
// the program's own folder (and, for a program, the current folder) first, where anyone may have
// put a file of that name. Backends: system_folder_win32.cpp (GetSystemDirectoryA) and
// system_folder_sim.cpp (the simulated Windows' folder).

#include <string>

namespace sw::base {

// The system folder without a trailing separator (a drive root keeps its own); empty when it
// cannot be read.
std::string SystemFolder();

// `folder` + "\" + `fileName`. Empty when the folder is empty or the name is not a plain file
// name (empty, ".", "..", or holding a separator, a drive colon, a quote or a wildcard), so that
// a name can never lead out of the folder.
std::string FileInFolder(const std::string& folder, const std::string& fileName);

// FileInFolder(SystemFolder(), fileName). Inline, so that tools linking only the core need no
// backend of this port.
inline std::string SystemFilePath(const std::string& fileName) { return FileInFolder(SystemFolder(), fileName); }

}  // namespace sw::base
