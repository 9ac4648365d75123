#pragma once
// Secrets (the administrator password, a CHAP secret) reach seekwell-cli without passing through
// its argument list, which every local user can read: typed at a prompt that does not echo them,
// or read as the first line of standard input. Backends: secret_input_posix.cpp (a terminal's
// echo turned off through termios) and secret_input_win32.cpp (the console's echo mode).

#include <optional>
#include <string>

namespace sw::cli {

// True when standard input is a terminal a person types at.
bool InputIsInteractive();

// Writes `prompt` to standard error and reads one line from standard input without echoing it;
// nothing when the input ended (or was interrupted) before a line.
std::optional<std::string> PromptSecret(const std::string& prompt);

// The first line of standard input, without its line end; nothing when the input is empty.
std::optional<std::string> ReadSecretLine();

}  // namespace sw::cli
