#pragma once
// The folder that keeps the simulated Windows between runs of seekwell-cli: per user by default,
// private, and used by one run at a time. Backends: state_folder_posix.cpp; state_folder_win32.cpp
// (real Windows keeps its own state, so there is no folder to keep).

#include <memory>
#include <string>

namespace sw::cli {

// How long a run waits for another run on the same folder to end before saying the state is in use.
constexpr int kStateLockWaitMs = 5000;

// The user's own folder: $XDG_STATE_HOME/seekwell-cli, else ~/.local/state/seekwell-cli. Empty,
// with `error`, when the user has no home to put it in.
std::string DefaultStateFolder(std::string* error);

// Makes `folder` ready: created (mode 0700, with the folders above it when `isDefault`) when
// missing, and accepted only when it is a folder, not a link, owned by the user running the tool,
// and not writable by anyone else. The default folder is also closed to reading (0700).
bool PrepareStateFolder(const std::string& folder, bool isDefault, std::string* error);

// Holds the folder's lock file while it lives.
class StateLock {
 public:
  virtual ~StateLock() = default;
};

// Takes the folder's lock, waiting up to kStateLockWaitMs for another run to end; null, with
// `error`, when the folder stays in use or its lock file cannot be made.
std::unique_ptr<StateLock> LockStateFolder(const std::string& folder, std::string* error);

}  // namespace sw::cli
