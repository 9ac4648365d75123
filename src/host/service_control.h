#pragma once
// Port to the service control manager: one service opened with all access, its state read and a
// start requested. Backends: service_control_win32.cpp (OpenSCManagerA, OpenServiceA,
// QueryServiceStatus, StartServiceA, CloseServiceHandle) and service_control_sim.cpp (simulated
// services, controlled through service_control_sim.h).
//
// State contract: `state` is untouched when QueryState fails; every call on a service that is
// not open fails.

#include <cstdint>

namespace sw::host {

constexpr const char* kInitiatorServiceName = "MSiSCSI";

// The SERVICE_* state numbers of QueryServiceStatus.
enum class ServiceState : std::uint32_t {
  Stopped = 1,
  StartPending = 2,
  StopPending = 3,
  Running = 4,
  ContinuePending = 5,
  PausePending = 6,
  Paused = 7,
};

class ServiceControl {
 public:
  ServiceControl() = default;
  ~ServiceControl();
  ServiceControl(const ServiceControl&) = delete;
  ServiceControl& operator=(const ServiceControl&) = delete;

  // Opens the manager (all access) and the service (all service access). False when either
  // fails; both are closed then.
  bool Open(const char* serviceName);
  bool IsOpen() const { return service_ != nullptr; }
  bool QueryState(ServiceState& state) const;
  // StartServiceA with no arguments.
  bool Start();
  void Close();

 private:
  void* manager_ = nullptr;
  void* service_ = nullptr;
};

}  // namespace sw::host
