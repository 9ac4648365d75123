#pragma once
// The socket port the program's dialogs use for the device protocol: the platform's own sockets,
// unless a test has put its scripted port in their place (so that no test of the dialogs can ever send
// discovery traffic on a real interface).

#include "protocol/device_socket.h"

namespace sw::app {

protocol::DeviceSocketPort& DevicePort();
void SetDevicePort(protocol::DeviceSocketPort* port);  // nullptr: back to the platform's sockets

}  // namespace sw::app
