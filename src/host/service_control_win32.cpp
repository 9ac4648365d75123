// Win32 backend of the service port: the service control manager; no logic here.

#include <windows.h>

#include "host/service_control.h"

namespace sw::host {

ServiceControl::~ServiceControl() { Close(); }

bool ServiceControl::Open(const char* serviceName) {
  Close();
  SC_HANDLE manager = OpenSCManagerA(nullptr, nullptr, SC_MANAGER_ALL_ACCESS);
  if (manager == nullptr) return false;
  SC_HANDLE service = OpenServiceA(manager, serviceName, SERVICE_ALL_ACCESS);
  if (service == nullptr) {
    CloseServiceHandle(manager);
    return false;
  }
  manager_ = manager;
  service_ = service;
  return true;
}

bool ServiceControl::QueryState(ServiceState& state) const {
  if (service_ == nullptr) return false;
  SERVICE_STATUS status{};
  if (!QueryServiceStatus(static_cast<SC_HANDLE>(service_), &status)) return false;
  state = static_cast<ServiceState>(status.dwCurrentState);
  return true;
}

bool ServiceControl::Start() {
  if (service_ == nullptr) return false;
  return StartServiceA(static_cast<SC_HANDLE>(service_), 0, nullptr) != FALSE;
}

void ServiceControl::Close() {
  if (service_ != nullptr) CloseServiceHandle(static_cast<SC_HANDLE>(service_));
  if (manager_ != nullptr) CloseServiceHandle(static_cast<SC_HANDLE>(manager_));
  service_ = nullptr;
  manager_ = nullptr;
}

}  // namespace sw::host
