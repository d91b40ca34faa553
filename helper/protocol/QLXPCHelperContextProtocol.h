#pragma once
// What the application exports back on the same connection, so the helper can push progress.
#include "helper/protocol/QLXPCHelperContext.h"

namespace tarnix {

class QLXPCHelperContextProtocol {
 public:
  virtual ~QLXPCHelperContextProtocol() = default;
  virtual void updateWithNewContext(QLXPCHelperContext context) = 0;  // one-way
};

}  // namespace tarnix
