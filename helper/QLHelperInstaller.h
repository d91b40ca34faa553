#pragma once
// The helper's own install step for a build run from its source tree, run as root through
// pkexec: copy this binary into place, write the systemd units, start listening on the socket.
// A package needs none of it: it installs the same units, started by its maintainer scripts.
#include <string>

#include "platform/HelperPlatformTable.h"

namespace tarnix {

// `binary` is the helper to install. False, with a diagnostic, on the first failure.
bool installHelper(const platform::HelperPlatformTable& table, const std::string& identifier,
                   const std::string& binary);

// The unit texts, for the install step and the tests.
std::string socketUnitText(const platform::HelperPlatformTable& table);
std::string serviceUnitText(const platform::HelperPlatformTable& table, const std::string& identifier);

}  // namespace tarnix
