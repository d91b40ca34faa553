#pragma once
// Who the daemon serves, and whom it trusts as much as itself.
#include <optional>

#include "platform/PeerCredentials.h"

namespace tarnix {

class QLHelperPeerPolicy {
 public:
  explicit QLHelperPeerPolicy(uid_t daemonUid) : daemonUid_(daemonUid) {}

  // A daemon running as root serves every local user: what each may change is polkit's to
  // say, operation by operation. A daemon running as an ordinary user serves that user and
  // root only. Unreadable credentials are refused.
  bool allows(const std::optional<platform::PeerCredentials>& peer) const {
    return peer && (daemonUid_ == 0 || trusts(*peer));
  }
  // Root, and the user the daemon runs as, could do all it does without it: acting for them
  // needs no authorization and no checked volume.
  bool trusts(const platform::PeerCredentials& peer) const { return peer.uid == 0 || peer.uid == daemonUid_; }

 private:
  uid_t daemonUid_;
};

}  // namespace tarnix
