#pragma once
// One call the daemon received: who made it, and where its reply, and any parts ahead of it, go.
// The daemon hands it to the operation the call names, ahead of the call's own arguments.
#include <memory>

#include "helper/QLHelperCaller.h"
#include "helper/protocol/QLWireSender.h"

namespace tarnix {

struct QLHelperCall {
  std::shared_ptr<QLHelperCaller> caller;    // the connection's; never null
  std::shared_ptr<wire::ReplySender> reply;  // this call's
};

}  // namespace tarnix
