#include "helper/QLHelperAuthorization.h"

#include "platform/Log.h"

namespace tarnix {

std::string_view actionId(QLHelperAction action) {
  switch (action) {
    case QLHelperAction::repair: return "local.quillon.tarnix.repair";
    case QLHelperAction::installKexts: return "local.quillon.tarnix.install-kexts";
    case QLHelperAction::installTool: return "local.quillon.tarnix.install-tool";
    case QLHelperAction::writeNvram: return "local.quillon.tarnix.write-nvram";
  }
  return "";
}

bool authorize(QLHelperCaller& caller, QLHelperAction action, const QLPolkitQuestion& ask) {
  if (caller.trusted) return true;
  const std::uint64_t arrival = ++caller.questionsArrived;
  std::lock_guard one(caller.authorizationMutex);
  const int asked = static_cast<int>(action);
  bool authorized = false;
  if (caller.refusedAction == asked && arrival <= caller.refusedUpTo) {
    authorized = false;
  } else {
    const auto answer = ask(caller.peer, std::string(actionId(action)));
    authorized = answer == platform::PolkitAnswer::authorized;
    if (!authorized) {
      caller.refusedAction = asked;
      caller.refusedUpTo = caller.questionsArrived.load();
    }
  }
  platform::diagnostic("QLXPCTarnixHelper::authorize()", std::string(authorized ? "Authorized " : "Not authorized: ") +
                                                             std::string(actionId(action)) + " for uid " +
                                                             std::to_string(caller.peer.uid) + " (pid " +
                                                             std::to_string(caller.peer.pid) + ").");
  return authorized;
}

}  // namespace tarnix
