#pragma once
// The helper side of QLXPCTarnixHelperProtocol: decodes received calls and invokes the
// exported object.
#include <memory>

#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLWireSender.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"

namespace tarnix {

class QLXPCTarnixHelperStub {
 public:
  explicit QLXPCTarnixHelperStub(QLXPCTarnixHelperProtocol& exported) : exported_(exported) {}
  // False for a protocol error: an unknown selector, a call sent one-way (or the reverse), a
  // wrong argument count or an argument of a class its position does not allow. Nothing is
  // invoked then. The reply block may be called on any thread.
  bool dispatch(const wire::Message& message, std::shared_ptr<wire::ReplySender> send);

 private:
  QLXPCTarnixHelperProtocol& exported_;
};

}  // namespace tarnix
