#pragma once
// A private folder for the disk images a simulated-machine fuzz target makes, removed at exit.

#include <cstdlib>
#include <filesystem>
#include <string>

namespace sw::winsim::fuzz {

inline const std::string& ImageFolder() {
  // Never destroyed: the exit handler that removes the folder still reads it.
  static const std::string* folder = [] {
    auto* made = new std::string((std::filesystem::temp_directory_path() / "seekwell-fuzz-XXXXXX").string());
    if (mkdtemp(made->data()) == nullptr) std::abort();
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(ImageFolder(), ec);
    });
    return made;
  }();
  return *folder;
}

}  // namespace sw::winsim::fuzz
