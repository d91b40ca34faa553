#include "model/QLBootEnvironmentType.h"

namespace tarnix {

std::string_view rawValue(QLBootEnvironmentType type) {
  switch (type) {
    case QLBootEnvironmentType::Normal: return "Normal";
    case QLBootEnvironmentType::Recovery: return "Recovery/PE";
    case QLBootEnvironmentType::SingleUser: return "Single User";
    case QLBootEnvironmentType::SingleUserRecovery: return "Single User Recovery/PE";
    case QLBootEnvironmentType::Unknown: break;
  }
  return "Unknown";
}

QLBootEnvironmentType bootEnvironmentFor(bool installing, bool singleUser) {
  if (installing && singleUser) return QLBootEnvironmentType::SingleUserRecovery;
  if (installing) return QLBootEnvironmentType::Recovery;
  if (singleUser) return QLBootEnvironmentType::SingleUser;
  return QLBootEnvironmentType::Normal;
}

}  // namespace tarnix
