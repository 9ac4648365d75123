#pragma once
// Runs a command of the independent tools the tests judge by (sfdisk, blkid, mkfs, ...) and gives
// back what it printed on standard output; `status` gets pclose's status when asked for.

#include <cstdio>
#include <string>

namespace sw::test {

inline std::string Shell(const std::string& command, int* status = nullptr) {
  std::string out;
  std::FILE* pipe = popen(command.c_str(), "r");
  if (pipe == nullptr) return out;
  char buffer[512];
  while (std::fgets(buffer, sizeof buffer, pipe) != nullptr) out += buffer;
  const int rc = pclose(pipe);
  if (status != nullptr) *status = rc;
  return out;
}

}  // namespace sw::test
