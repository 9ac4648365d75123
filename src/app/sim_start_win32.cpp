// Win32 backend of the simulated start-up road: the product has none.

#include "app/sim_start.h"

namespace sw::app {

void RunSimulatedStart() {}

}  // namespace sw::app
