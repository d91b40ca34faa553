#pragma once
#include <string>

namespace tarnix::platform {

// A random UUID in canonical upper-case text form (8-4-4-4-12 hexadecimal digits).
std::string newUuidString();

}  // namespace tarnix::platform
