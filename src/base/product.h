#pragma once
// The product caption: the main window's, the initiator dialogs' and the iSCSI messages'.

namespace sw::base {
constexpr const char* kProductCaption = "Corvane's Halden Seekwell";
}
