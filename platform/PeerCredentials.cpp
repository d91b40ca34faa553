#include "platform/PeerCredentials.h"

#include <grp.h>
#include <pwd.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>

namespace tarnix::platform {

std::optional<PeerCredentials> peerCredentials(int socketFd) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
    return std::nullopt;
  return PeerCredentials{credentials.pid, credentials.uid, credentials.gid};
}

bool userIsInGroup(uid_t uid, const std::string& groupName) {
  std::vector<char> buffer(16384);
  group groupEntry{};
  group* foundGroup = nullptr;
  if (::getgrnam_r(groupName.c_str(), &groupEntry, buffer.data(), buffer.size(), &foundGroup) != 0 || !foundGroup)
    return false;
  const gid_t wanted = foundGroup->gr_gid;

  std::vector<char> userBuffer(16384);
  passwd account{};
  passwd* foundAccount = nullptr;
  if (::getpwuid_r(uid, &account, userBuffer.data(), userBuffer.size(), &foundAccount) != 0 || !foundAccount)
    return false;
  if (foundAccount->pw_gid == wanted) return true;
  int count = 64;
  std::vector<gid_t> groups(static_cast<std::size_t>(count));
  while (::getgrouplist(foundAccount->pw_name, foundAccount->pw_gid, groups.data(), &count) < 0) {
    if (count > 65536) return false;
    groups.resize(static_cast<std::size_t>(count));
  }
  groups.resize(static_cast<std::size_t>(count));
  return std::find(groups.begin(), groups.end(), wanted) != groups.end();
}

}  // namespace tarnix::platform
