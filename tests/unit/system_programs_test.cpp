// The system programs a command line may start: only a plain name, only in the system folder.

#include <gtest/gtest.h>

#include "base/system_folder.h"
#include "iscsi/command_runner.h"

namespace sw {
namespace {

TEST(SystemPrograms, OnlyAPlainNameInTheSystemFolder) {
  const std::string system = base::SystemFolder();
  EXPECT_EQ(system + "\\iscsicli.exe", iscsi::SystemProgramPath("iscsicli ListTargets t"));
  EXPECT_EQ(system + "\\ipconfig.exe", iscsi::SystemProgramPath(iscsi::kIpconfigCommandLine));
  // A first word that names another folder, or none, starts nothing.
  for (const char* line : {"..\\iscsicli ListTargets t", "C:\\Temp\\iscsicli.exe x", "\"iscsicli\" x", " iscsicli x",
                           "", "../iscsicli x", "D:iscsicli x"}) {
    EXPECT_EQ("", iscsi::SystemProgramPath(line)) << line;
  }
  EXPECT_EQ("C:\\fmifs.dll", base::FileInFolder("C:\\", "fmifs.dll"));
  EXPECT_EQ("", base::FileInFolder("", "fmifs.dll"));
}

}  // namespace
}  // namespace sw
