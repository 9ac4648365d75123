#pragma once
// The two ways the program runs child processes: RunCommand (synchronous, hidden, output kept only
// for logout commands in CommandOutput) and RunAndNotify ("ipconfig /all", whose end is announced
// through a callback that the dialog layer turns into the registered window message). The command
// texts name their program bare ("iscsicli ...", "ipconfig /all"); the program itself is started
// from the system folder by its full path, never found by a search.

#include <functional>
#include <optional>
#include <string>

#include "iscsi/process_runner.h"

namespace sw::iscsi {

constexpr const char* kProcessTerminatedMessageName =
    "UWM_PROCESS_TERMINATED-{F7113F80-6D03-11d3-9FDD-006067718D04}";
constexpr const char* kIpconfigCommandLine = "ipconfig /all";

// The process-wide output of logout commands. RunCommand only appends; the logout empties it
// before each command. User-interface thread only.
std::string& CommandOutput();

// The full path of the system program a command line names: its first word (up to the first
// blank) + ".exe" in the system folder. Empty when that word is not a plain file name.
std::string SystemProgramPath(const std::string& commandLine);

// RunProgram(SystemProgramPath(commandLine), commandLine).
bool RunCommand(const std::string& commandLine);
// Runs the program at `programPath` with `commandLine` as its command line. True when the child
// was created (and has ended); false also for an empty path. When the command line holds
// "logouttarget" after its first character, everything the child printed is appended to
// CommandOutput.
bool RunProgram(const std::string& programPath, const std::string& commandLine);
// A command line from a template builder, run when the builder accepted its values; false otherwise.
bool RunIfBuilt(const std::optional<std::string>& commandLine);

// Starts "ipconfig /all" (the system folder's ipconfig.exe); when it ends, `notify` is called on
// the waiter thread with the process handle (the receiver closes it with CloseProcessHandle). 1
// when started, 0 when not (no call follows then). The caller disables buttons 1030 and 1031 first.
int RunAndNotify(std::function<void(ProcessHandle)> notify);

}  // namespace sw::iscsi
