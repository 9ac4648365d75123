#pragma once
// Windows builds only (system_library_win32.cpp): the real system's libraries, loaded by their full
// path in the system folder, and the start-up rule that keeps the library search of the whole
// process out of the program's folder and the current folder. The Winsock, format, network-drive
// and connection-check backends are real in every Windows executable, so this has no simulation.

#include <string>

namespace sw::base {

// GetSystemDirectoryA; empty when it cannot be read.
std::string WindowsSystemFolder();

// LoadLibraryA of `fileName` in the system folder by its full path; null when it is not there.
void* LoadSystemLibrary(const char* fileName);

// GetProcAddress of `functionName` in the system library `fileName`, loaded as above (and never
// freed); null when either is missing. Callers keep the result: the libraries stay loaded.
void* SystemLibraryFunction(const char* fileName, const char* functionName);

// At start-up, before any library is loaded by name: SetDefaultDllDirectories with only the
// system folder, where this Windows has it, and SetDllDirectoryA(""), which takes the current
// folder out of the search. Both are looked up, so a Windows without them still starts.
void RestrictLibrarySearch();

}  // namespace sw::base
