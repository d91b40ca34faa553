#pragma once
#include <sys/types.h>

#include <optional>
#include <string>
#include <vector>

#include "platform/PeerCredentials.h"

namespace tarnix {

// Who the helper serves: root, the user who installed it, and members of the admin groups.
// Unreadable credentials are refused.
class QLXPCPeerPolicy {
 public:
  QLXPCPeerPolicy(uid_t owner, std::vector<std::string> adminGroups)
      : owner_(owner), adminGroups_(std::move(adminGroups)) {}
  bool allows(const std::optional<platform::PeerCredentials>& peer) const;

 private:
  uid_t owner_;
  std::vector<std::string> adminGroups_;
};

}  // namespace tarnix
