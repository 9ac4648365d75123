#pragma once
// Port to GetUserNameA. Backends: user_name_win32.cpp and user_name_sim.cpp (the simulated
// machine's account name).

#include <cstdint>
#include <string>

namespace sw::share {

constexpr std::uint32_t kUserNameSize = 129;  // up to 128 characters and the NUL

// The name of the user logged on to Windows; false (and `name` untouched) when it cannot be read
// or does not fit kUserNameSize.
bool GetUserNameA(std::string& name);

}  // namespace sw::share
