// The browser command-line builder over any registered name, command and address: a line runs
// only for a dotted address and ends in its URL; quoting adds nothing but the two quotes around
// a program path ending in ".exe"; expansion leaves text without '%' as it is.

#include <string>

#include "fuzz_client.h"
#include "host/environment.h"
#include "share/web_configuration.h"

using sw::protocol::fuzz::Require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string input(reinterpret_cast<const char*>(data), size);
  const std::size_t a = input.find('\0');
  const std::size_t b = a == std::string::npos ? a : input.find('\0', a + 1);
  const std::string name = input.substr(0, a);
  const std::string command = a == std::string::npos ? "" : input.substr(a + 1, b == std::string::npos ? b : b - a - 1);
  const std::string ip = b == std::string::npos ? "10.77.0.10" : input.substr(b + 1);

  const std::string quoted = sw::share::QuoteProgramPath(command);
  if (quoted != command) {
    // Exactly two quotes added: around a beginning that ends in ".exe" and holds a blank.
    Require(quoted.size() == command.size() + 2 && quoted[0] == '"' && command[0] != '"');
    bool found = false;
    for (std::size_t k = 4; !found && k <= command.size(); ++k) {
      std::string tail = command.substr(k - 4, 4);
      for (char& c : tail) c = static_cast<char>(c >= 'A' && c <= 'Z' ? c - 'A' + 'a' : c);
      found = tail == ".exe" && quoted == "\"" + command.substr(0, k) + "\"" + command.substr(k) &&
              command.substr(0, k).find_first_of(" \t") != std::string::npos;
    }
    Require(found);
  }
  const std::string line = sw::share::BrowserCommandLine(name, command, ip);
  const std::string url = " http://" + ip;
  if (!line.empty()) {
    Require(line.size() >= url.size() && line.compare(line.size() - url.size(), url.size(), url) == 0);
    Require(ip.find_first_not_of("0123456789.") == std::string::npos);
  }
  const std::string expanded = sw::host::ExpandVariables(command, [](const std::string& n, std::string& v) {
    v = "<" + n + ">";
    return n.size() % 2 == 0;
  });
  if (command.find('%') == std::string::npos) Require(expanded == command);
  return 0;
}
