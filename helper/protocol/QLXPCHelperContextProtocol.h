#pragma once
// What the application exports back on the same connection, so the helper can push progress.
#include <array>

#include "helper/protocol/QLXPCHelperContext.h"

namespace tarnix {

class QLXPCHelperContextProtocol {
 public:
  virtual ~QLXPCHelperContextProtocol() = default;
  virtual void updateWithNewContext(QLXPCHelperContext context) = 0;  // one-way

  static constexpr std::array<const char*, 1> selectors{"updateWithNewContext:"};
};

}  // namespace tarnix
