// Simulated backend of the service port: translates to the simulated machine's services
// (winsim/services.h). No logic here.

#include "host/service_control.h"
#include "winsim/machine.h"

namespace sw::host {

namespace {
struct SimService {
  std::string name;
};
}  // namespace

ServiceControl::~ServiceControl() { Close(); }

bool ServiceControl::Open(const char* serviceName) {
  Close();
  if (serviceName == nullptr || !winsim::TheMachine().services.Exists(serviceName)) return false;
  manager_ = this;  // the simulation has one manager; any non-null marker will do
  service_ = new SimService{serviceName};
  return true;
}

bool ServiceControl::QueryState(ServiceState& state) const {
  if (service_ == nullptr) return false;
  winsim::ServiceStatus status = winsim::ServiceStatus::Stopped;
  if (!winsim::TheMachine().services.State(static_cast<SimService*>(service_)->name, status)) return false;
  state = static_cast<ServiceState>(status);
  return true;
}

bool ServiceControl::Start() {
  if (service_ == nullptr) return false;
  return winsim::TheMachine().services.Start(static_cast<SimService*>(service_)->name) == winsim::kErrorSuccess;
}

void ServiceControl::Close() {
  delete static_cast<SimService*>(service_);
  service_ = nullptr;
  manager_ = nullptr;
}

}  // namespace sw::host
