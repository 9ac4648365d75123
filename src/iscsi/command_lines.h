#pragma once
// The initiator tool's command lines, as exact texts, and the splitter that reads a command line
// back into its argument list the way a Windows program's start-up code does.
//
// Every builder refuses (returns nothing) a value that could change what the initiator is told:
//   - any value holding '"' or a control character (bytes below 0x20 and 0x7f), and any value but
//     the CHAP user name and secret holding '\'' (those may come from WMI and go back into queries;
//     the CHAP values never do, and inside double quotes an apostrophe is plain text);
//   - an unquoted value (T, I in 4 to 7, A, S, V) that is empty or holds a blank;
//   - a quoted value (U, P, and I, T, IP in 10) ending in a backslash, which would escape the
//     closing quote;
//   - a target name T that fails IsValidIscsiName;
//   - a CHAP user name or secret (U, P) holding a byte outside printable ASCII: which character
//     such a byte stands for depends on the code page, so the initiator could be given another one.
// A refused command line is never run: callers skip the step.

#include <optional>
#include <string>
#include <vector>

namespace sw::iscsi {

constexpr const char* kPortalSocket = "3260";

std::string ListTargetsCommand();                                           // 1
std::optional<std::string> RemoveTargetPortalCommand(const std::string& portalAddress);  // 2
std::string ClearPersistentDevicesCommand();                                // 3
std::optional<std::string> LoginTargetCommand(const std::string& target,
                                              const std::string& initiator);  // 4
std::optional<std::string> PersistentLoginTargetCommand(const std::string& target,
                                                        const std::string& initiator);  // 5
std::optional<std::string> ChapLoginTargetCommand(const std::string& target, const std::string& initiator,
                                                  const std::string& user,
                                                  const std::string& secret);  // 6
std::optional<std::string> ChapPersistentLoginTargetCommand(const std::string& target,
                                                            const std::string& initiator,
                                                            const std::string& user,
                                                            const std::string& secret);  // 7
std::string BindPersistentVolumesCommand();                                 // 8
std::optional<std::string> LogoutTargetCommand(const std::string& sessionId);  // 9
std::optional<std::string> RemovePersistentTargetCommand(const std::string& initiatorInstance,
                                                         const std::string& target,
                                                         const std::string& portalAddress);  // 10
std::optional<std::string> RemovePersistentDeviceCommand(const std::string& volumePath);  // 11
std::optional<std::string> AddPersistentDeviceCommand(const std::string& volumePath);     // 12

// A value may stand in a command line (the rules above, without the name grammar).
bool IsSafeUnquotedValue(const std::string& value);
bool IsSafeQuotedValue(const std::string& value);
bool IsSafeChapValue(const std::string& value);

// Splits a command line into arguments with the rules of the Microsoft C start-up code: blanks
// and tabs separate; "..." groups; 2n backslashes before '"' give n backslashes and a quote
// delimiter, 2n+1 give n backslashes and a literal '"'; other backslashes are literal.
std::vector<std::string> SplitCommandLine(const std::string& commandLine);

}  // namespace sw::iscsi
