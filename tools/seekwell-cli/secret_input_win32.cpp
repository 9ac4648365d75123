// Win32 backend of secret_input.h: the console's echo is off (SetConsoleMode) while the secret is
// typed.

#include <windows.h>

#include <cstdio>
#include <string>

#include "secret_input.h"

namespace sw::cli {

bool InputIsInteractive() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_INPUT_HANDLE), &mode) != 0;
}

std::optional<std::string> PromptSecret(const std::string& prompt) {
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
  DWORD saved = 0;
  const bool console = GetConsoleMode(input, &saved) != 0;
  if (console) SetConsoleMode(input, saved & ~static_cast<DWORD>(ENABLE_ECHO_INPUT));
  std::optional<std::string> line = ReadSecretLine();
  if (console) {
    SetConsoleMode(input, saved);
    std::fputc('\n', stderr);
  }
  return line;
}

}  // namespace sw::cli
