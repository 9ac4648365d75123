// Simulated backend of the user-name port: the simulated machine's account name. No logic here.

#include "share/user_name.h"
#include "winsim/machine.h"

namespace sw::share {

bool GetUserNameA(std::string& name) {
  const std::string user = winsim::TheMachine().UserName();
  if (user.empty() || user.size() + 1 > kUserNameSize) return false;
  name = user;
  return true;
}

}  // namespace sw::share
