#pragma once
#include <string>
#include <vector>

namespace tarnix {

// The daemon's command line (without the program name):
//   (no option)        serve the socket systemd passed (socket activation)
//   --listen PATH      serve PATH (development and tests). Run as root it serves every user,
//                      each operation as polkit allows; run as an ordinary user, that user
//                      and root
//   --idle-exit SECONDS   end after SECONDS with no connection and no operation (0: never).
//                      Socket-activated, the default is 60 (systemd starts it again on the
//                      next connection); with --listen, never
//   --install          copy this binary into place, write the units, start the socket
//   --version          print the version
int runHelperDaemon(const std::vector<std::string>& arguments);

}  // namespace tarnix
