#pragma once
// Logging the initiator in to a target, with or without CHAP: the device's target entry read into
// its pieces, the CHAP secret decoded, the CHAP dialog's checks, and the login with the check that
// follows it. What the login leads to on screen (the CHAP dialog, message boxes, the refresh timer,
// the wizard and the disk manager for a new disk) comes from the layer above through
// TargetLoginActions; the disk check comes from the disk subsystem the same way.

#include <optional>
#include <string>
#include <vector>

#include "iscsi/target_list.h"
#include "iscsi/wmi_wrapper.h"

namespace sw::iscsi {

constexpr const char* kLoginFailedMessage = "Login request failed!!\nPlease ensure the target does not be login!!";
constexpr const char* kLoginFailedCaption = "Warning";
constexpr const char* kSelectTargetFirstMessage = "Please select a target first";
// Without an initiator name no login command line can be built; nothing is run then.
constexpr const char* kNoInitiatorNameMessage =
    "The iSCSI initiator reports no initiator name, so no target can be connected.";

// The CHAP dialog's texts.
constexpr const char* kChapPasswordLengthMessage = "CHAP Password should be 12 to 16 characters.";
constexpr const char* kChapUserEmptyMessage = "Username should not be null.";
constexpr const char* kChapPasswordEmptyMessage = "Password should not be null.";
constexpr const char* kChapUserErrorMessage = "Username Error";
constexpr const char* kChapPasswordErrorMessage = "Password Error";
// The device's own credentials cannot be passed to the initiator: they can never be used, so the
// dialog is not shown. Typed values need no check of their own: only the device's are accepted.
constexpr const char* kChapDeviceValueNonAsciiMessage =
    "The device's CHAP user name or password for this target holds characters outside ASCII. Which "
    "characters they stand for depends on the code page, so the initiator could be given others. "
    "Change them on the device.";
constexpr const char* kChapDeviceValueRefusedMessage =
    "The device's CHAP user name or password for this target holds a double quote, a control character "
    "or a final backslash, which would change the login command line. Change them on the device.";
constexpr int kChapUserLimit = 8;
constexpr int kChapPasswordLimit = 16;
constexpr std::size_t kChapPasswordMinimum = 12;

// A target entry "name|auth@user$secret", split at the first of each separator. A missing '|'
// gives an empty name (the entry matches no target) and the whole entry as the rest; a missing '@'
// gives an empty authentication and the whole rest as the credentials; a missing '$' gives an empty
// user and the whole credentials as the secret.
struct TargetEntryPieces {
  std::string name;
  std::string authentication;
  std::string user;
  std::string secretBase64;
};
TargetEntryPieces SplitTargetEntry(const std::string& entry);

// Standard Base64 (RFC 4648 alphabet): characters outside the alphabet are skipped, decoding stops
// at the first '='; a last group of one character yields nothing.
std::string DecodeBase64(const std::string& text);

// The first entry whose name equals `target` ignoring case.
std::optional<TargetEntryPieces> FindTargetEntry(const std::vector<std::string>& entries, const std::string& target);

// The CHAP dialog's OK, in its order. `user` and `password` are what was typed.
enum class ChapVerdict {
  Accept,
  PasswordLength,  // 1 to 11 characters: message box, password emptied
  UserEmpty,       // static 1035, password emptied
  PasswordEmpty,   // static 1035
  UserError,       // message box, user emptied
  PasswordError,   // message box, password emptied
};
struct ChapCheck {
  ChapVerdict verdict = ChapVerdict::Accept;
  const char* message = nullptr;  // the text to show, null for Accept
  bool inStatic = false;          // shown in static 1035, else in a message box
  bool clearUser = false;
  bool clearPassword = false;
};
ChapCheck CheckChapInput(const std::string& user, const std::string& password, const std::string& expectedUser,
                         const std::string& expectedSecret);

// Why the device's CHAP user name and secret (decoded) cannot be used, or nullptr when they can.
const char* ChapDeviceValueRefusal(const std::string& user, const std::string& secret);

// The first InitiatorName of the initiator class; nothing when the initiator reports none.
std::optional<std::string> FirstInitiatorName(CWmiWrapper& wmi);
// The Active values of the target's connection statistics (none for a name that cannot be queried).
TextList ReadActive(CWmiWrapper& wmi, const std::string& target);

// Templates 4 and 5, or 6 and 7; false when a command line could not be built (nothing runs then).
bool RunLoginCommands(const std::string& target, const std::string& initiator);
bool RunChapLoginCommands(const std::string& target, const std::string& initiator, const std::string& user,
                          const std::string& secret);

// Members of the main dialog's iSCSI panel used by the login.
struct LoginState {
  int ChapRequired = 0;     // 1 when the matched entry names CHAP; kept when no entry matches
  int ChapLoginResult = 0;  // LoginDone of the last CHAP dialog
};

// What the login leads to, supplied by the layer above.
class TargetLoginActions {
 public:
  virtual ~TargetLoginActions() = default;
  // QueryTargetEntries from the selected device: TargetEntryList afterwards.
  virtual std::vector<std::string> RefreshTargetEntries() = 0;
  // RunChapDialog: sets ChapLoginResult (and starts the refresh timer when the login was done).
  virtual void RunChapDialog(const std::string& user, const std::string& secretBase64) = 0;
  virtual void ShowMessage(const std::string& text, const std::string& caption, unsigned flags) = 0;
  // Timer 1054; `repaintList`: with the list's redraw off around the start, then the list repainted.
  virtual void StartRefreshTimer(bool repaintList) = 0;
  virtual void EnableManagement() = 0;
  // The disk check: TargetDiskState after checking `target`'s disk.
  virtual int CheckTargetDisk(const std::string& target) = 0;
  // The partition wizard for the new empty disk; true when its cancel logged the target out.
  virtual bool RunPartitionWizard(const std::string& target) = 0;
  virtual void OpenDiskManager() = 0;
  virtual void Sleep(unsigned ms) = 0;
};

// The message box flags the login uses (MB_OK with an icon), kept here so the core needs no UI.
constexpr unsigned kMessageExclamation = 0x30;
constexpr unsigned kMessageInformation = 0x40;
constexpr unsigned kLoginSettleMs = 500;  // Windows brings the new disk up after the session

struct LoginRequest {
  int deferred = 0;         // 1: the deferred login of CurrentTarget after a service start
  int selectedRow = -1;     // the button's row of list 1029
  std::string selectedDeviceIp;  // the portal named when persistent logins are removed
  std::string productCaption;
};

// LoginTargets: the login part, then the check part, for `targets.TargetNames[selectedRow]` or, when
// deferred, `targets.CurrentTarget`.
void LoginTargets(const LoginRequest& request, const TargetListState& targets, LoginState& state, CWmiWrapper& wmi,
                  TargetLoginActions& actions);

}  // namespace sw::iscsi
