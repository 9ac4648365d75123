#pragma once
// A start-up road of the simulated program only: seekwell-sim.exe can log a session in and open
// the partition wizard, the Partition dialog or the disk manager at once, so that the E2E tests reach those dialogs
// without the connection flow. The product's backend does nothing.
//
// SEEKWELL_SIM_OPEN = "wizard,PORTAL,TARGET" or "partition,PORTAL,TARGET": the portal is added,
// the target logged in; "partition" first writes a 256 MiB partition so that the rest is free.
// "manager,PORTAL,TARGET" logs in every target of the portal's device, adds a 1 GiB NTFS partition
// on TARGET's disk and runs the disk manager for the portal.

namespace sw::app {

void RunSimulatedStart();

}  // namespace sw::app
