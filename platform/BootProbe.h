#pragma once
// How the running system was started.
#include <string_view>

namespace tarnix::platform {

// Whether a kernel command line asks for a single-user boot: "single", "S", "s", "1",
// "-s", "emergency", "rescue", or a systemd rescue or emergency target.
bool isSingleUserCommandLine(std::string_view commandLine);

// The running system: its /proc/cmdline, or an active rescue or emergency target.
bool isSingleUserBoot();

}  // namespace tarnix::platform
