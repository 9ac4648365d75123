// The real service port and the initiator's service start under Wine, against a stand-in MSiSCSI
// service (service_stub.exe beside this program) registered for the length of the test.

#include <windows.h>

#include <cstring>
#include <string>

#include <gtest/gtest.h>

#include "host/initiator_presence.h"
#include "host/service_control.h"

namespace sw::host {
namespace {

struct Recorder : InitiatorReadyActions {
  std::string log;
  int cursorDepth = 0;
  void BeginBusyCursor() override { ++cursorDepth; }
  void RestoreCursor() override { --cursorDepth; }
  void Sleep(unsigned ms) override { ::Sleep(ms); }
  std::uint32_t NowMs() override { return GetTickCount(); }
  void ShowServiceStartingWindow() override { log += "show 232;"; }
  void CloseServiceStartingWindow() override { log += "close 232;"; }
  void ShowInstallPrompt() override { log += "show 233;"; }
  void BuildFallbackTargetList() override { log += "fallback;"; }
  void StartInitiatorRefresh() override { log += "refresh;"; }
  void ReportServiceNotStarted() override { log += "not started;"; }
};

class StandInService : public testing::Test {
 protected:
  void SetUp() override {
    char path[MAX_PATH + 32] = "";
    GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::strcpy(std::strrchr(path, '\\') + 1, "service_stub.exe");
    manager_ = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
    ASSERT_NE(nullptr, manager_);
    service_ = CreateServiceA(manager_, kInitiatorServiceName, "stand-in initiator service", SERVICE_ALL_ACCESS,
                              SERVICE_WIN32_OWN_PROCESS, SERVICE_DEMAND_START, SERVICE_ERROR_IGNORE, path, nullptr,
                              nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(nullptr, service_) << GetLastError();
  }
  void TearDown() override {
    if (service_ != nullptr) {
      SERVICE_STATUS status{};
      ControlService(service_, SERVICE_CONTROL_STOP, &status);
      DeleteService(service_);
      CloseServiceHandle(service_);
    }
    if (manager_ != nullptr) CloseServiceHandle(manager_);
  }
  SC_HANDLE manager_ = nullptr;
  SC_HANDLE service_ = nullptr;
};

// Mode 1 on a Vista-or-later Windows without an Uninstall entry: the stopped service is started,
// dialog 232 shown while it is start-pending, closed once it runs, and ServiceJustStarted set.
TEST_F(StandInService, ConnectStartsTheServiceAndWaitsForIt) {
  ServiceControl control;
  ASSERT_TRUE(control.Open(kInitiatorServiceName));
  ServiceState state = ServiceState::Running;
  ASSERT_TRUE(control.QueryState(state));
  EXPECT_EQ(ServiceState::Stopped, state);
  control.Close();
  EXPECT_FALSE(control.QueryState(state));

  Recorder actions;
  InitiatorFlags flags;
  DWORD start = GetTickCount();
  EnsureInitiatorReady(1, actions, flags);
  DWORD took = GetTickCount() - start;
  EXPECT_EQ("show 232;close 232;", actions.log);
  EXPECT_EQ(1, flags.ServiceJustStarted);
  EXPECT_EQ(0, actions.cursorDepth);
  EXPECT_GE(took, 1500u + 1000u);
  EXPECT_LT(took, 1500u + 1000u + 1000u + 2000u);
  ASSERT_TRUE(control.Open(kInitiatorServiceName));
  ASSERT_TRUE(control.QueryState(state));
  EXPECT_EQ(ServiceState::Running, state);
  EXPECT_FALSE(control.Start()) << "a running service cannot be started again";

  // A device click now takes the initiator road.
  actions.log.clear();
  EnsureInitiatorReady(0, actions, flags);
  EXPECT_EQ("refresh;", actions.log);
}

}  // namespace
}  // namespace sw::host
