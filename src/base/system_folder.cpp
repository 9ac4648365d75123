// Paths of files in a folder (see system_folder.h).

#include "base/system_folder.h"

namespace sw::base {

std::string FileInFolder(const std::string& folder, const std::string& fileName) {
  if (folder.empty() || fileName.empty() || fileName == "." || fileName == "..") return std::string();
  if (fileName.find_first_of("\\/:\"*?<>|") != std::string::npos) return std::string();
  const char last = folder.back();
  return folder + (last == '\\' || last == '/' ? "" : "\\") + fileName;
}

}  // namespace sw::base
