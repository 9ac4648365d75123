#pragma once
// The WQL texts of the initiator's classes. The class-and-condition texts are what
// CWmiWrapper::QueryPropertyList puts after "SELECT * FROM "; TargetPortalsQuery is the one whole
// query that QueryTargetPortals sends.
//
// A value inserted between the single quotes is refused (no text) when it is empty or holds '\'',
// '"', a backslash (WQL's escape character) or a control character. Callers that act on a target
// (login, logout) check IsValidIscsiName first as well.

#include <optional>
#include <string>

namespace sw::iscsi {

constexpr const char* kSelectAllFrom = "SELECT * FROM ";

constexpr const char* kSendTargetPortalClass = "MSiSCSIInitiator_SendTargetPortalClass";
constexpr const char* kSessionClass = "MSiSCSIInitiator_SessionClass";
constexpr const char* kTargetClass = "MSiSCSIInitiator_TargetClass";
constexpr const char* kConnectionStatisticsClass = "MSiSCSI_ConnectionStatistics";
constexpr const char* kInitiatorClass = "MSiSCSIInitiator_InitiatorClass";
constexpr const char* kPersistentLoginClass = "MSiSCSIInitiator_PersistentLoginClass";

bool IsSafeWqlValue(const std::string& value);

// "MSiSCSIInitiator_TargetClass WHERE TargetName = 'T'"
std::optional<std::string> TargetByNameCondition(const std::string& target);
// "SELECT * FROM MSiSCSIInitiator_TargetClass WHERE TargetName = 'T'"
std::optional<std::string> TargetPortalsQuery(const std::string& target);
// "MSiSCSI_ConnectionStatistics WHERE InstanceName = 'T'"
std::optional<std::string> ConnectionStatisticsCondition(const std::string& target);
// "MSiSCSIInitiator_SessionClass WHERE TargetName = 'T'"
std::optional<std::string> SessionsOfTargetCondition(const std::string& target);
// "MSiSCSIInitiator_PersistentLoginClass WHERE TargetName = 'T'"
std::optional<std::string> PersistentLoginsOfTargetCondition(const std::string& target);

}  // namespace sw::iscsi
