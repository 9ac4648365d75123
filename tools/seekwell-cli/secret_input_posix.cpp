// POSIX backend of secret_input.h: the terminal's echo is off (termios) while the secret is typed.

#include <signal.h>
#include <termios.h>
#include <unistd.h>

#include <cstdio>
#include <string>

#include "secret_input.h"

namespace sw::cli {

namespace {

termios g_saved{};

// Ctrl-C (or a TERM) while the echo is off must not leave the terminal silent.
void RestoreAndDie(int signal) {
  tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
  ::signal(signal, SIG_DFL);
  raise(signal);
}

}  // namespace

bool InputIsInteractive() { return isatty(STDIN_FILENO) == 1; }

std::optional<std::string> PromptSecret(const std::string& prompt) {
  std::fputs(prompt.c_str(), stderr);
  std::fflush(stderr);
  const bool terminal = tcgetattr(STDIN_FILENO, &g_saved) == 0;
  struct sigaction restore {}, oldInt {}, oldTerm {};
  if (terminal) {
    restore.sa_handler = RestoreAndDie;
    sigaction(SIGINT, &restore, &oldInt);
    sigaction(SIGTERM, &restore, &oldTerm);
    termios quiet = g_saved;
    quiet.c_lflag &= static_cast<tcflag_t>(~ECHO);
    quiet.c_lflag |= ECHONL;
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &quiet);
  }
  std::optional<std::string> line = ReadSecretLine();
  if (terminal) {
    tcsetattr(STDIN_FILENO, TCSAFLUSH, &g_saved);
    sigaction(SIGINT, &oldInt, nullptr);
    sigaction(SIGTERM, &oldTerm, nullptr);
  }
  return line;
}

}  // namespace sw::cli
