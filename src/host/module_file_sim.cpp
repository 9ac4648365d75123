// Simulated backend of the module-file port: a program path and a set of files, compared as
// Windows compares paths (without letter case). Controls in module_file_sim.h.

#include <mutex>
#include <set>

#include "host/module_file.h"
#include "host/module_file_sim.h"

namespace sw::host {

namespace {

struct Files {
  std::mutex mutex;
  std::string modulePath = sim::kDefaultModuleFileName;
  std::set<std::string> paths;  // lower case
};

Files& TheFiles() {
  static Files files;
  return files;
}

std::string Folded(const std::string& path) {
  std::string folded = path;
  for (char& c : folded) {
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  }
  return folded;
}

}  // namespace

std::string ModuleFileName() {
  Files& f = TheFiles();
  std::lock_guard<std::mutex> lock(f.mutex);
  return f.modulePath.size() < kModulePathSize ? f.modulePath : std::string();
}

bool FileExists(const std::string& path) {
  if (path.empty() || path.find_first_of("*?") != std::string::npos) return false;
  Files& f = TheFiles();
  std::lock_guard<std::mutex> lock(f.mutex);
  return f.paths.count(Folded(path)) > 0;
}

namespace sim {

void SetModuleFileName(const std::string& path) {
  Files& f = TheFiles();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.modulePath = path;
}

void PlaceFile(const std::string& path) {
  Files& f = TheFiles();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.paths.insert(Folded(path));
}

void RemoveFile(const std::string& path) {
  Files& f = TheFiles();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.paths.erase(Folded(path));
}

void ResetFiles() {
  Files& f = TheFiles();
  std::lock_guard<std::mutex> lock(f.mutex);
  f.modulePath = kDefaultModuleFileName;
  f.paths.clear();
}

}  // namespace sim

}  // namespace sw::host
