#pragma once
// A start-up road of the simulated program only: seekwell-sim.exe can log a session in and open
// the partition wizard or the Partition dialog at once, so that the E2E tests reach those dialogs
// without the connection flow. The product's backend does nothing.
//
// SEEKWELL_SIM_OPEN = "wizard,PORTAL,TARGET" or "partition,PORTAL,TARGET": the portal is added,
// the target logged in; "partition" first writes a 256 MiB partition so that the rest is free.

namespace sw::app {

void RunSimulatedStart();

}  // namespace sw::app
