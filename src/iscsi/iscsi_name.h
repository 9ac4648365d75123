#pragma once
// The iSCSI name grammar. Target names come from devices and from the initiator's WMI view, so
// they are untrusted: only a name that passes this check may reach a command line or an action's
// query.

#include <string>

#include "base/ascii_case.h"

namespace sw::iscsi {

constexpr std::size_t kMaxIscsiNameBytes = 223;

// True when `name`, lower-cased, is one of
//   "iqn." yyyy "-" mm "." reversed-domain [":" more]
//   "eui." 16 hex digits
//   "naa." 16 or 32 hex digits
// using only a-z, 0-9, '-', '.', ':' and at most 223 bytes. The reversed domain is one or more
// non-empty labels of a-z, 0-9 and '-' joined by '.'; "more" is at least one allowed character.
bool IsValidIscsiName(const std::string& name);

using base::LowerAscii;

// The text of the message the panel shows when a listed target's name fails the check.
constexpr const char* kInvalidTargetNameMessage =
    "This target's name is not a valid iSCSI name, so it cannot be connected or disconnected.";

}  // namespace sw::iscsi
