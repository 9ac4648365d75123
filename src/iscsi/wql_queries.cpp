// The WQL texts of the initiator's classes (see wql_queries.h).

#include "iscsi/wql_queries.h"

namespace sw::iscsi {

namespace {

std::optional<std::string> Condition(const char* className, const char* property, const std::string& value) {
  if (!IsSafeWqlValue(value)) return std::nullopt;
  return std::string(className) + " WHERE " + property + " = '" + value + "'";
}

}  // namespace

bool IsSafeWqlValue(const std::string& value) {
  if (value.empty()) return false;
  for (char ch : value) {
    unsigned char c = static_cast<unsigned char>(ch);
    if (c < 0x20 || c == 0x7f || c == '\'' || c == '"' || c == '\\') return false;
  }
  return true;
}

std::optional<std::string> TargetByNameCondition(const std::string& target) {
  return Condition(kTargetClass, "TargetName", target);
}

std::optional<std::string> TargetPortalsQuery(const std::string& target) {
  auto condition = TargetByNameCondition(target);
  if (!condition) return std::nullopt;
  return kSelectAllFrom + *condition;
}

std::optional<std::string> ConnectionStatisticsCondition(const std::string& target) {
  return Condition(kConnectionStatisticsClass, "InstanceName", target);
}

std::optional<std::string> SessionsOfTargetCondition(const std::string& target) {
  return Condition(kSessionClass, "TargetName", target);
}

std::optional<std::string> PersistentLoginsOfTargetCondition(const std::string& target) {
  return Condition(kPersistentLoginClass, "TargetName", target);
}

}  // namespace sw::iscsi
