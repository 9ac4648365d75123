#pragma once
// Port to process creation: a hidden child whose standard output and error go into one pipe, and
// a child watched by a waiter thread. Backends: process_runner_win32.cpp (CreateProcessA with an
// anonymous pipe) and process_runner_sim.cpp (the simulated machine's initiator tool, ipconfig and
// the initiator's installer). The rules of which output is kept live in command_runner.h.

#include <functional>
#include <string>

namespace sw::iscsi {

using ProcessHandle = void*;  // HANDLE on Windows; the simulation's own token otherwise

// Runs the program at `programPath` (a full path: no search, so no program of the same name in
// the program's folder or the current folder can stand in) with `commandLine` as its command line,
// hidden, waits without time limit, and appends to `output` everything the child wrote to its
// standard output and error, in order. The pipe is drained while the child runs, so a child that
// writes more than the pipe holds cannot hang. False when the pipe or the process cannot be
// created (`output` untouched then).
bool RunHiddenProcess(const std::string& programPath, const std::string& commandLine, std::string& output);

// Starts the program at `programPath` with `commandLine`, hidden in a console of its own, and
// returns at once; a waiter thread waits for the process without time limit and then calls
// `onEnded` with its handle (on that thread). False when the process cannot be started
// (`onEnded` is never called then).
bool StartWatchedProcess(const std::string& programPath, const std::string& commandLine,
                         std::function<void(ProcessHandle)> onEnded);

// Closes a handle passed to `onEnded`.
void CloseProcessHandle(ProcessHandle handle);

}  // namespace sw::iscsi
