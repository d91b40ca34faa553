#pragma once
// The application side: decodes the helper's one-way context messages.
#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLXPCHelperContextProtocol.h"

namespace tarnix {

class QLXPCHelperContextStub {
 public:
  explicit QLXPCHelperContextStub(QLXPCHelperContextProtocol& exported) : exported_(exported) {}
  // False for anything but a one-way updateWithNewContext: with one QLXPCHelperContext.
  bool dispatch(const wire::Message& message);

 private:
  QLXPCHelperContextProtocol& exported_;
};

}  // namespace tarnix
