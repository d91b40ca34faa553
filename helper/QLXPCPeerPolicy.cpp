#include "helper/QLXPCPeerPolicy.h"

namespace tarnix {

bool QLXPCPeerPolicy::allows(const std::optional<platform::PeerCredentials>& peer) const {
  if (!peer) return false;
  if (peer->uid == 0 || peer->uid == owner_) return true;
  for (const auto& group : adminGroups_)
    if (platform::userIsInGroup(peer->uid, group)) return true;
  return false;
}

}  // namespace tarnix
