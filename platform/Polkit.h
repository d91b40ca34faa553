#pragma once
// Asking polkit (polkitd on the system bus) whether a process may perform an action.
#include <string>

#include "platform/PeerCredentials.h"

namespace tarnix::platform {

enum class PolkitAnswer {
  authorized,
  notAuthorized,  // polkit said no, or the person dismissed the dialog
  unavailable,    // no system bus, no polkitd, or a subject polkit cannot be told about
};

// CheckAuthorization for the process `peer` as the kernel described it when it connected,
// letting the desktop's authentication agent ask the person. Blocks until polkit answers,
// which may take minutes while a password dialog is open: never call it on an event loop.
PolkitAnswer checkPolkitAuthorization(const PeerCredentials& peer, const std::string& actionId);

}  // namespace tarnix::platform
