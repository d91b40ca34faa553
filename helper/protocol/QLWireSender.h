#pragma once
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/results/QLRepairPermissionsRepresentableResult.h"
#include "platform/PropertyList.h"

namespace tarnix::wire {

// The sending half of a connection, as the proxies see it. Thread-safe.
class Sender {
 public:
  virtual ~Sender() = default;
  // Gets the reply's value array (borrowed); false means a malformed reply, which closes the
  // connection. Not called at all when the connection ends first.
  using ReplyHandler = std::function<bool(plist_t values)>;
  // With `onPart`, the call asks for its reply's values in parts ahead of the reply; each part's
  // value array goes to `onPart` (false closes the connection), the reply ends them.
  // With `onResults` as well, a part or reply whose only value is a repair's results is read
  // straight from its bytes and handed over as results (`last` for the reply; false closes the
  // connection); any other part or reply still goes to `onPart` or `onReply`.
  using ResultsHandler = std::function<bool(std::vector<QLRepairPermissionsRepresentableResult> results, bool last)>;
  virtual void sendCall(std::string_view selector, platform::Plist arguments, ReplyHandler onReply,
                        ReplyHandler onPart = {}, ResultsHandler onResults = {}) = 0;
  virtual void sendOneway(std::string_view selector, platform::Plist arguments) = 0;
};

// Sends a reply, or parts ahead of it, back for one received call. Any thread.
class ReplySender {
 public:
  virtual ~ReplySender() = default;
  virtual void sendReply(platform::Plist values) = 0;
  // A body already encoded (kind "reply" with this call's id).
  virtual void sendEncodedReply(std::string body) = 0;
  std::uint64_t id() const { return id_; }

  // Whether the caller asked for parts; only then may sendEncodedPart be used.
  virtual bool acceptsParts() const { return false; }
  // A "part" body with this call's id. Blocks the calling thread (never the connection's) while
  // the peer leaves much output unread; false once the connection has ended, when the rest of
  // the parts and the reply go nowhere.
  virtual bool sendEncodedPart(std::string body) {
    (void)body;
    return false;
  }

 protected:
  explicit ReplySender(std::uint64_t id) : id_(id) {}

 private:
  std::uint64_t id_;
};

}  // namespace tarnix::wire
