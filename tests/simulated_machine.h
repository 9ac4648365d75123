#pragma once
// The one way tests set up the simulated Windows (winsim/machine.h): a fresh machine, as the
// process's environment describes it, whose clock is the program's clock, so that the program's
// sleeps (a fake clock in headless tests) and the machine's delays move together.

#include <gtest/gtest.h>

#include "host/clock.h"
#include "winsim/machine.h"

namespace sw::test {

inline winsim::Machine& FreshMachine() {
  winsim::Machine& machine = winsim::TheMachine();
  machine.Reset();
  machine.SetClock([] { return host::TickCount(); });
  return machine;
}

// A test on a fresh simulated Windows; `machine` is the process's one machine.
class MachineTest : public ::testing::Test {
 protected:
  void SetUp() override { FreshMachine(); }
  void TearDown() override { machine.processes.WaitForWaiters(); }

  winsim::Machine& machine = winsim::TheMachine();
};

}  // namespace sw::test
