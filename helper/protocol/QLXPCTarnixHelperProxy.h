#pragma once
// The application side of QLXPCTarnixHelperProtocol: every call becomes a message on the
// connection; replies come back on the connection's thread.
#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireSender.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"

namespace tarnix {

class QLXPCTarnixHelperProxy final : public QLXPCTarnixHelperProtocol {
 public:
  explicit QLXPCTarnixHelperProxy(wire::Sender& sender) : sender_(sender) {}

  // Every method of the protocol, as its table lists them.
  QL_XPC_TARNIX_HELPER_CALLS(QL_WIRE_DECLARE_CALL, QL_WIRE_DECLARE_ONEWAY)

 private:
  wire::Sender& sender_;
};

}  // namespace tarnix
