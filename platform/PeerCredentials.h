#pragma once
// Who is at the other end of a local socket, as the kernel recorded it at connect time.
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

namespace tarnix::platform {

struct PeerCredentials {
  pid_t pid = 0;
  uid_t uid = 0;
  gid_t gid = 0;
};

// SO_PEERCRED of a connected AF_UNIX socket; nothing when the kernel cannot say.
std::optional<PeerCredentials> peerCredentials(int socketFd);

// Whether the account `uid` belongs to the group `groupName` (primary or supplementary).
// False when the account or the group does not exist or cannot be read.
bool userIsInGroup(uid_t uid, const std::string& groupName);

}  // namespace tarnix::platform
