#pragma once
#include <string>

namespace tarnix::platform {

// A random (version 4) UUID in canonical upper-case text form (8-4-4-4-12 hexadecimal
// digits).
std::string newUuidString();
// The same as sixteen bytes, and their text form.
void newUuid(unsigned char bytes[16]);
std::string uuidString(const unsigned char bytes[16]);

}  // namespace tarnix::platform
