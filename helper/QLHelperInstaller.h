#pragma once
// The helper's own install step, run as root through pkexec: copy this binary into place,
// write the systemd units, start listening on the socket.
#include <sys/types.h>

#include <string>

#include "platform/HelperPlatformTable.h"

namespace tarnix {

// `binary` is the helper to install, `owner` the user who asked (served besides root and the
// admin groups). False, with a diagnostic, on the first failure.
bool installHelper(const platform::HelperPlatformTable& table, const std::string& identifier,
                   const std::string& binary, uid_t owner);

// The unit texts, for the install step and the tests.
std::string socketUnitText(const platform::HelperPlatformTable& table, const std::string& identifier);
std::string serviceUnitText(const platform::HelperPlatformTable& table, const std::string& identifier, uid_t owner);

}  // namespace tarnix
