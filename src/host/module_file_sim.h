#pragma once
// Controls of the simulated module-file port (module_file_sim.cpp): the simulated program's path
// and the files of the simulated disk that a file search finds. The simulated process port runs
// the initiator's installer only when it lies beside the program here, so both ports see one disk.

#include <string>

namespace sw::host::sim {

constexpr const char* kDefaultModuleFileName = "C:\\Program Files\\Seekwell\\seekwell.exe";

void SetModuleFileName(const std::string& path);  // empty: the path cannot be read
void PlaceFile(const std::string& path);
void RemoveFile(const std::string& path);
void ResetFiles();  // the default program path, no files

}  // namespace sw::host::sim
