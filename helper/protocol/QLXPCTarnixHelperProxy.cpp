#include "helper/protocol/QLXPCTarnixHelperProxy.h"

namespace tarnix {
namespace {

using Results = std::vector<QLRepairPermissionsRepresentableResult>;

template <typename R>
void sendCall(wire::Sender& sender, std::string_view selector, platform::Plist arguments, QLReply<R> reply) {
  if constexpr (std::is_same_v<R, Results>) {
    // The results arrive in parts while the repair runs and are decoded as each arrives, on the
    // connection's thread; the reply brings the last of them and hands over the whole list.
    auto received = std::make_shared<Results>();
    const auto take = [received](plist_t values) {
      auto part = wire::unpack<Results>(values);
      if (!part) return false;
      auto& items = std::get<0>(*part);
      if (received->size() + items.size() > archive::kMaxArrayCount) return false;
      if (received->empty())
        *received = std::move(items);
      else
        received->insert(received->end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
      return true;
    };
    sender.sendCall(
        selector, std::move(arguments),
        [take, received, reply = std::move(reply)](plist_t values) {
          if (!take(values)) return false;
          if (reply) reply(std::move(*received));
          return true;
        },
        take);
  } else {
    sender.sendCall(selector, std::move(arguments), wire::replyHandler(std::move(reply)));
  }
}

}  // namespace

#define QL_DEFINE_CALL(method, selector, R, ...)                                                         \
  void QLXPCTarnixHelperProxy::method(QL_WIRE_PARAMETERS(__VA_ARGS__) __VA_OPT__(, ) QLReply<R> reply) { \
    sendCall(sender_, selector, wire::pack(QL_WIRE_ARGUMENTS(__VA_ARGS__)), std::move(reply));           \
  }
#define QL_DEFINE_ONEWAY(method, selector, ...)                               \
  void QLXPCTarnixHelperProxy::method(QL_WIRE_PARAMETERS(__VA_ARGS__)) {      \
    sender_.sendOneway(selector, wire::pack(QL_WIRE_ARGUMENTS(__VA_ARGS__))); \
  }
QL_XPC_TARNIX_HELPER_CALLS(QL_DEFINE_CALL, QL_DEFINE_ONEWAY)
#undef QL_DEFINE_CALL
#undef QL_DEFINE_ONEWAY

}  // namespace tarnix
