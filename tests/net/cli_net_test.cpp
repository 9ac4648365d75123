// seekwell-cli against a hostile peer whose name and share list carry terminal controls: what the
// tool prints holds none of them raw, and its JSON reads back.

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "fabric/json.h"
#include "net_fixture.h"

namespace sw::nettest {
namespace {

// ESC [ 3 1 m, a raw CSI byte, CSI as UTF-8 and RIGHT-TO-LEFT OVERRIDE.
const std::string kHostileText = "X\\u001b[31m\x9b\\u009b\\u202egpj.exe";

std::string RunCli(const std::string& arguments) {
  std::string out;
  FILE* p = popen((std::string(SW_CLI_PATH) + " " + arguments + " 2>/dev/null").c_str(), "r");
  if (p == nullptr) return out;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, p)) > 0) out.append(buffer, n);
  pclose(p);
  return out;
}

void ExpectNothingRaw(const std::string& output, const std::string& what) {
  for (const char* raw : {"\x1b", "\x9b", "\xe2\x80\xae"}) {
    EXPECT_EQ(output.find(raw), std::string::npos) << what << ":\n" << output;
  }
}

TEST(CliNetTest, DeviceTextReachesTheTerminalEscaped) {
  std::string why;
  ASSERT_TRUE(InTestNamespace(&why)) << why;
  Peer hostile;
  ASSERT_TRUE(hostile.Start(PeerNamespaces().at(1), HostilePeerPath(),
                            {"--script", WriteScratchFile("script", R"({"answers": [{"name": ")" + kHostileText +
                                                                        R"(", "address": "10.77.1.1"}],
                                "replies": [{"for": "any", "result": ")" + kHostileText + R"(:vol2"}]})")}));
  for (const char* command : {"discover", "--json discover", "--device 10.77.1.1 shares",
                              "--json --device 10.77.1.1 shares", "--device 10.77.1.1 targets"}) {
    const std::string output = RunCli(command);
    EXPECT_NE(output.find("gpj.exe"), std::string::npos) << command << ": the text is shown:\n" << output;
    ExpectNothingRaw(output, command);
    if (std::string(command).find("--json") != std::string::npos) {
      json::Value value;
      json::ParseError error;
      ASSERT_TRUE(json::Parse(output, &value, &error)) << command << ": " << json::Describe(error);
      const json::Value& first = value.AsArray().at(0);
      const std::string text = first.IsObject() ? first.Find("name")->AsString() : first.AsString();
      EXPECT_NE(text.find("\xe2\x80\xae"), std::string::npos) << "U+202E reads back from the JSON";
    }
  }
}

}  // namespace
}  // namespace sw::nettest
