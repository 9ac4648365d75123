// The real Win32 backends of the process and WMI ports under Wine: RunCommand against a stand-in
// iscsicli.exe in the prefix's system folder (the runner puts it there), RunAndNotify on Wine's
// ipconfig, and CWmiWrapper against classes Wine's WMI provider has in root\cimv2, including a
// text with no exact ANSI form.

#include <windows.h>
#include <objbase.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "iscsi/command_lines.h"
#include "iscsi/command_runner.h"
#include "iscsi/wmi_wrapper.h"

namespace sw::iscsi {
namespace {

// The stand-in's log beside it in the system folder, without its first line (its own path).
std::vector<std::string> RecordedArguments() {
  char folder[MAX_PATH] = "";
  GetSystemDirectoryA(folder, MAX_PATH);
  std::ifstream in(std::string(folder) + "\\iscsicli_stub.log", std::ios::binary);
  std::vector<std::string> args;
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) args.push_back(line);
  return args;
}

std::string Pattern(long bytes) {
  std::string s;
  for (long i = 0; i < bytes; ++i) s += static_cast<char>('A' + i % 26);
  return s;
}

// More than a pipe buffer (64 KiB) from a logout: the run must not hang and keeps every byte,
// standard error included, in order.
TEST(RunCommandWin32, LogoutOutputCapturedWholeWithoutHanging) {
  CommandOutput() = "before|";
  ASSERT_TRUE(RunCommand("iscsicli logouttarget 0x1234 --print 70001"));
  // The stand-in's standard error is in text mode, as a console tool's is.
  EXPECT_EQ("before|" + Pattern(70001) + "The end\r\n", CommandOutput());
  EXPECT_EQ((std::vector<std::string>{"logouttarget", "0x1234", "--print", "70001"}), RecordedArguments());

  CommandOutput() = "kept";
  ASSERT_TRUE(RunCommand("iscsicli ListTargets t --print 300"));
  EXPECT_EQ("kept", CommandOutput());
  EXPECT_FALSE(RunCommand("no-such-program-seekwell logouttarget 1"));
  EXPECT_EQ("kept", CommandOutput());
}

// The arguments the tool receives are the ones the templates meant, with quoted CHAP values.
TEST(RunCommandWin32, TemplatesReachTheToolAsTheirArguments) {
  const std::string T = "iqn.2009-11.com.halden:nas2.disk2";
  ASSERT_TRUE(RunCommand(ChapLoginTargetCommand(T, "iqn.1991-05.com.microsoft:host", "a b\\c", "secret with blanks").value()));
  auto args = RecordedArguments();
  ASSERT_EQ(19u, args.size());
  EXPECT_EQ(T, args[1]);
  EXPECT_EQ("a b\\c", args[14]);
  EXPECT_EQ("secret with blanks", args[15]);
  EXPECT_EQ(SplitCommandLine(ChapLoginTargetCommand(T, "iqn.1991-05.com.microsoft:host", "a b\\c", "secret with blanks").value()),
            [&] {
              std::vector<std::string> all{"iscsicli"};
              all.insert(all.end(), args.begin(), args.end());
              return all;
            }());
  ASSERT_TRUE(RunCommand(RemovePersistentTargetCommand("ROOT\\ISCSIPRT\\0000_0", T, "10.77.0.11").value()));
  EXPECT_EQ((std::vector<std::string>{"removepersistenttarget", "ROOT\\ISCSIPRT\\0000_0", T, "*", "10.77.0.11", "3260"}),
            RecordedArguments());
}

TEST(RunAndNotifyWin32, IpconfigEndIsAnnounced) {
  HANDLE done = CreateEventA(nullptr, TRUE, FALSE, nullptr);
  ProcessHandle seen = nullptr;
  ASSERT_EQ(1, RunAndNotify([&](ProcessHandle h) {
              seen = h;
              SetEvent(done);
            }));
  ASSERT_EQ(WAIT_OBJECT_0, WaitForSingleObject(done, 60000));
  EXPECT_NE(nullptr, seen);
  EXPECT_EQ(WAIT_OBJECT_0, WaitForSingleObject(static_cast<HANDLE>(seen), 0)) << "the process has ended";
  CloseProcessHandle(seen);
  CloseHandle(done);
}

TEST(WmiWrapperWin32, VariantRulesOnWineClasses) {
  CWmiWrapper wmi("cimv2");
  ASSERT_TRUE(wmi.IsConnected());
  TextList list;
  testing::internal::CaptureStdout();
  EXPECT_GE(wmi.QueryPropertyList("Win32_OperatingSystem", "Caption", list), 0);
  EXPECT_GE(wmi.QueryPropertyList("Win32_OperatingSystem", "Primary", list), 0);
  EXPECT_GE(wmi.QueryPropertyList("Win32_ComputerSystem", "NumberOfProcessors", list), 0);
  EXPECT_GE(wmi.QueryPropertyList("Win32_OperatingSystem", "NoSuchProperty", list), 0);
  std::string printed = testing::internal::GetCapturedStdout();
  ASSERT_EQ(3u, list.size());
  EXPECT_FALSE(list[0].empty());
  EXPECT_EQ("TRUE", list[1]);
  EXPECT_EQ("WMIQUERY TODO : VT_I4", list[2]);
  EXPECT_EQ("Get failed on property 'NoSuchProperty'\n", printed);
  // With WBEM_FLAG_RETURN_IMMEDIATELY an unknown class is reported by the enumeration, not by
  // ExecQuery: the status may be 0, the list stays as it was.
  wmi.QueryPropertyList("Win32_NoSuchClass", "Caption", list);
  EXPECT_EQ(3u, list.size());
}

// A name that best-fit narrowing would turn into another, valid one ("halden\uFF1Anas2" into
// "halden:nas2") is dropped from the list; a plain name beside it stays. The names are the
// captions of two processes, this one and a suspended copy of it under the full-width name.
TEST(WmiWrapperWin32, TextWithoutExactAnsiFormIsDropped) {
  wchar_t self[MAX_PATH] = L"";
  GetModuleFileNameW(nullptr, self, MAX_PATH);
  wchar_t folder[MAX_PATH] = L"";
  GetTempPathW(MAX_PATH, folder);
  const std::wstring copy = std::wstring(folder) + L"iqn.2009-11.com.halden\xFF1Anas2.exe";
  ASSERT_TRUE(CopyFileW(self, copy.c_str(), FALSE));
  STARTUPINFOW startup{};
  startup.cb = sizeof startup;
  PROCESS_INFORMATION process{};
  std::wstring line = L"\"" + copy + L"\"";
  ASSERT_TRUE(CreateProcessW(copy.c_str(), &line[0], nullptr, nullptr, FALSE, CREATE_SUSPENDED, nullptr, nullptr,
                             &startup, &process));
  CWmiWrapper wmi("cimv2");
  TextList list;
  testing::internal::CaptureStdout();
  const std::string condition = "Win32_Process WHERE ProcessId = " + std::to_string(GetCurrentProcessId()) +
                                " OR ProcessId = " + std::to_string(process.dwProcessId);
  const int status = wmi.QueryPropertyList(condition, "Caption", list);
  const std::string printed = testing::internal::GetCapturedStdout();
  TerminateProcess(process.hProcess, 0);
  WaitForSingleObject(process.hProcess, 10000);
  CloseHandle(process.hThread);
  CloseHandle(process.hProcess);
  DeleteFileW(copy.c_str());
  EXPECT_GE(status, 0);
  EXPECT_EQ(TextList{"iscsi_win32_tests.exe"}, list);
  EXPECT_EQ("Get failed on property 'Caption'\n", printed);
}

// Wine has no initiator: root\wmi connects, and its missing classes give empty lists, which the
// callers treat as "nothing known".
TEST(WmiWrapperWin32, NoInitiatorClassesGiveEmptyLists) {
  CWmiWrapper wmi;
  TextList list;
  std::vector<SessionDevicesRecord> sessions;
  std::vector<PortalRecord> portals;
  wmi.QueryPropertyList("MSiSCSIInitiator_SessionClass", "TargetName", list);
  wmi.QuerySessionDevices(sessions);
  wmi.QueryTargetPortals("iqn.2009-11.com.halden:nas2.disk1", portals);
  EXPECT_TRUE(list.empty() && sessions.empty() && portals.empty());
}

}  // namespace
}  // namespace sw::iscsi

int main(int argc, char** argv) {
  CoInitializeEx(nullptr, COINIT_APARTMENTTHREADED);
  testing::InitGoogleTest(&argc, argv);
  int status = RUN_ALL_TESTS();
  CoUninitialize();
  return status;
}
