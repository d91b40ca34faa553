#pragma once
#include <string>
#include <vector>

namespace tarnix {

// The daemon's command line (without the program name):
//   (no option)        serve the socket systemd passed (socket activation)
//   --listen PATH      serve PATH (development and tests; as root or as the running user)
//   --owner-uid N      the user who installed the helper (besides root and the admin groups)
//   --install          copy this binary into place, write the units, start the socket
//   --version          print the version
int runHelperDaemon(const std::vector<std::string>& arguments);

}  // namespace tarnix
