#pragma once
// The product caption of the main window, the initiator dialogs and the iSCSI messages.

namespace sw::app {
constexpr const char* kProductCaption = "Corvane's Halden Seekwell";
}
