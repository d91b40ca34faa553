#pragma once
// The helper side of the application's exported context receiver.
#include "helper/protocol/QLWireSender.h"
#include "helper/protocol/QLXPCHelperContextProtocol.h"

namespace tarnix {

class QLXPCHelperContextProxy final : public QLXPCHelperContextProtocol {
 public:
  explicit QLXPCHelperContextProxy(wire::Sender& sender) : sender_(sender) {}
  void updateWithNewContext(QLXPCHelperContext context) override;

 private:
  wire::Sender& sender_;
};

}  // namespace tarnix
