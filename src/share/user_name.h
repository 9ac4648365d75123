#pragma once
// Port to GetUserNameA. Backends: user_name_win32.cpp and user_name_sim.cpp (the simulated account
// name: SEEKWELL_SIM_USER on first use, default "User"; tests set it with SetSimulatedUserName).

#include <cstdint>
#include <string>

namespace sw::share {

constexpr std::uint32_t kUserNameSize = 129;  // up to 128 characters and the NUL

// The name of the user logged on to Windows; false (and `name` untouched) when it cannot be read
// or does not fit kUserNameSize.
bool GetUserNameA(std::string& name);

namespace sim {
void SetSimulatedUserName(const std::string& name);  // "" makes the call fail
}

}  // namespace sw::share
