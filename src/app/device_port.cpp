#include "app/device_port.h"

namespace sw::app {

namespace {
protocol::DeviceSocketPort* g_port = nullptr;
}

protocol::DeviceSocketPort& DevicePort() { return g_port ? *g_port : protocol::SystemDeviceSocketPort(); }

void SetDevicePort(protocol::DeviceSocketPort* port) { g_port = port; }

}  // namespace sw::app
