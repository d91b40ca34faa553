#pragma once
// Who is asking: one per connection, as the kernel described the peer when it connected.
#include <atomic>
#include <cstdint>
#include <mutex>

#include "platform/Identity.h"
#include "platform/PeerCredentials.h"

namespace tarnix {

struct QLHelperCaller {
  QLHelperCaller(platform::PeerCredentials credentials, bool trustedAsDaemon, std::int64_t threads)
      : peer(std::move(credentials)),
        trusted(trustedAsDaemon),
        identity{peer.uid, peer.gid, peer.groups},
        maxThreads(threads) {}

  const platform::PeerCredentials peer;
  // Root, or the user the daemon itself runs as: served as the daemon would act on its own,
  // without asking polkit, on whatever folder it names.
  const bool trusted;
  const platform::Identity identity;
  // The rights that what the caller names (kext sources, backup folders, the tool's source) is
  // used with: the caller's own, or null (the daemon's) for a trusted caller.
  const platform::Identity* rights() const { return trusted ? nullptr : &identity; }

  // The caller sent terminate (main loop only): the daemon need not stay up for it.
  bool askedToTerminate = false;

  // The thread budget of this caller's permission repairs.
  std::atomic<std::int64_t> maxThreads;

  // polkit is asked one question at a time per caller (see QLHelperAuthorization).
  std::atomic<std::uint64_t> questionsArrived{0};
  std::mutex authorizationMutex;
  std::uint64_t refusedUpTo = 0;  // guarded by the mutex: questions that had arrived at the last "no"
  int refusedAction = -1;         // and its action
};

}  // namespace tarnix
