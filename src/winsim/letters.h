#pragma once
// The simulated machine's drive letters A: to Z:. Each letter holds at most one of: a local drive
// of some type (the fabric's "drives"; C: fixed and D: CD-ROM by default), a network connection
// ("\\NAME\share", decided by the fabric's devices and shares), or a mounted volume. A letter is
// free when its type is unknown or no-root-directory and nothing is connected or mounted there.
// Every WNetAddConnection2 and WNetCancelConnection2 is logged.

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

namespace sw::winsim {

class Machine;

struct NetworkCall {
  enum class Kind { Add, Cancel };
  Kind kind = Kind::Add;
  std::string remoteName;   // Add only
  std::string localName;    // Add: the local name; Cancel: the name cancelled
  std::string userName;     // Add only; "(null)" stands for a null pointer
  std::string password;     // Add only; "(null)" stands for a null pointer
  std::uint32_t flags = 0;
  bool force = false;       // Cancel only
  std::uint32_t result = 0;
};

// Windows' own credential prompt (an Add with CONNECT_INTERACTIVE): false for a cancelled prompt,
// or true with the user name and password typed.
using CredentialPrompt =
    std::function<bool(const std::string& remoteName, std::string& userName, std::string& password)>;

// 0..25 for a drive letter in either case, -1 otherwise.
int LetterIndex(char letter);

class Letters {
 public:
  explicit Letters(Machine& machine) : m_(machine) {}

  // Back to the fabric's drive types and connections; no volumes; empty call log; no prompt.
  void Reset();

  // WNetGetConnectionA on "Q:": 0 with the remote name, or kErrorBadDevice / kErrorNotConnected.
  std::uint32_t GetConnection(const std::string& localName, std::string& remoteName) const;
  // WNetAddConnection2A / WNetCancelConnection2A (null texts as null pointers).
  std::uint32_t AddConnection(const char* remoteName, const char* localName, const char* password,
                              const char* userName, std::uint32_t flags);
  std::uint32_t CancelConnection(const char* name, std::uint32_t flags, bool force);
  // GetDriveType on "Q:" or "Q:\" (anything else: no root directory).
  std::uint32_t DriveType(const std::string& root) const;

  void ClearDriveTypes();  // every letter without a root directory
  // A connection made outside the program (or "" to remove one).
  void SetConnection(char letter, const std::string& remoteName);
  std::string Connection(char letter) const;

  bool IsFree(char letter) const;
  // A volume on a free letter with the volume's drive type; false (nothing changed) otherwise.
  bool MountVolume(char letter, const std::string& volumeName, std::uint32_t driveType);
  // The same without the check: the computer's own volumes (C:) hold their letters from the start,
  // and a machine loaded from a saved state puts its volumes back.
  void SetVolume(char letter, const std::string& volumeName, std::uint32_t driveType);
  std::string VolumeOn(char letter) const;  // "" when none
  char LetterOfVolume(const std::string& volumeName) const;  // 0 when none
  bool UnmountVolume(char letter);  // false when the letter holds no volume

  void SetCredentialPrompt(CredentialPrompt prompt);
  std::vector<NetworkCall> Calls() const;
  void ClearCalls();

 private:
  std::uint32_t Authorise(const std::string& remoteName, const char* password, const char* userName,
                          std::uint32_t flags) const;

  Machine& m_;
  std::uint32_t m_types[26] = {};
  std::string m_connections[26];
  std::string m_volumes[26];
  CredentialPrompt m_prompt;
  std::vector<NetworkCall> m_calls;
};

}  // namespace sw::winsim
