#pragma once
// The helper side of QLXPCTarnixHelperProtocol: decodes received calls and invokes the
// exported object.
#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLWireSender.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"

namespace tarnix {

class QLXPCTarnixHelperStub {
 public:
  explicit QLXPCTarnixHelperStub(QLXPCTarnixHelperProtocol& exported) : exported_(exported) {}
  // False for a protocol error: an unknown selector, a call sent one-way (or the reverse), a
  // wrong argument count or an argument of a class its position does not allow. Nothing is
  // invoked then.
  bool dispatch(const wire::Message& message, wire::ReplySender send);

 private:
  QLXPCTarnixHelperProtocol& exported_;
};

}  // namespace tarnix
