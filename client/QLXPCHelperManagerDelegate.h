#pragma once
#include <optional>
#include <string>

#include "client/QLXPCHelperManagerError.h"
#include "helper/protocol/QLXPCHelper.h"
#include "helper/protocol/QLXPCHelperContext.h"

namespace tarnix {

// A notification the manager posts; the application forwards it to its notification centre.
struct QLXPCHelperManagerNotification {
  static constexpr const char* didConnectToHelper = "local.quillon.xpc.manager.didConnectToHelper";
  static constexpr const char* error = "local.quillon.xpc.manager.error";
  static constexpr const char* didReceiveHelperContext = "local.quillon.xpc.manager.didReceiveHelperContext";

  std::string name;
  std::optional<QLXPCHelperManagerError> errorValue;  // the error notification's object
  std::optional<QLXPCHelperContext> context;          // the context notification's object
};

// Called on the calling thread (installation failures) or on the connection thread.
class QLXPCHelperManagerDelegate {
 public:
  virtual ~QLXPCHelperManagerDelegate() = default;
  virtual void helperManagerDidFail(const QLXPCHelper& helper, QLXPCHelperManagerError error,
                                    const std::optional<std::string>& additionalInformation) = 0;
  virtual void helperManagerDidConnect(const QLXPCHelper& helper) = 0;
  virtual void helperManagerDidReceiveContext(const QLXPCHelper& helper, const QLXPCHelperContext& context) = 0;
  virtual void postNotification(const QLXPCHelperManagerNotification& notification) = 0;
};

}  // namespace tarnix
