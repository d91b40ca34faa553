#pragma once
#include <functional>
#include <string_view>

#include "platform/PropertyList.h"

namespace tarnix::wire {

// The sending half of a connection, as the proxies see it. Thread-safe.
class Sender {
 public:
  virtual ~Sender() = default;
  // Gets the reply's value array (borrowed); false means a malformed reply, which closes the
  // connection. Not called at all when the connection ends first.
  using ReplyHandler = std::function<bool(plist_t values)>;
  virtual void sendCall(std::string_view selector, platform::Plist arguments, ReplyHandler onReply) = 0;
  virtual void sendOneway(std::string_view selector, platform::Plist arguments) = 0;
};

// Sends a reply's value array back for one received call.
using ReplySender = std::function<void(platform::Plist values)>;

}  // namespace tarnix::wire
