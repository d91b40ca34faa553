#pragma once
#include <string_view>

namespace tarnix {

enum class QLBootEnvironmentType { Normal, Recovery, SingleUser, SingleUserRecovery, Unknown };

// The raw value, which is also the display text ("Recovery/PE", ...).
std::string_view rawValue(QLBootEnvironmentType type);

// Neither → Normal, installing only → Recovery, single user only → SingleUser, both →
// SingleUserRecovery.
QLBootEnvironmentType bootEnvironmentFor(bool installing, bool singleUser);

}  // namespace tarnix
