#pragma once
// The two pieces of the systemd protocol a socket-activated daemon needs, without libsystemd.
#include <vector>

namespace tarnix::platform {

// The listening descriptors systemd passed (LISTEN_PID is ours, LISTEN_FDS of them from fd 3),
// marked close-on-exec; the variables are then removed so children do not inherit them.
// Empty when the process was not socket-activated.
std::vector<int> activationSockets();

// Tells systemd (NOTIFY_SOCKET) that start-up is done; nothing when not run by systemd.
void notifyReady();

}  // namespace tarnix::platform
