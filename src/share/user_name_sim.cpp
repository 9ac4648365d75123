// Simulated backend of the user-name port: a configurable account name.

#include <cstdlib>
#include <mutex>

#include "share/user_name.h"

namespace sw::share {

namespace {

std::mutex g_mutex;
bool g_set = false;
std::string g_name;

}  // namespace

bool GetUserNameA(std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  if (!g_set) {
    const char* fromEnvironment = std::getenv("SEEKWELL_SIM_USER");
    g_name = fromEnvironment ? fromEnvironment : "User";
    g_set = true;
  }
  if (g_name.empty() || g_name.size() + 1 > kUserNameSize) return false;
  name = g_name;
  return true;
}

namespace sim {

void SetSimulatedUserName(const std::string& name) {
  std::lock_guard<std::mutex> lock(g_mutex);
  g_name = name;
  g_set = true;
}

}  // namespace sim

}  // namespace sw::share
