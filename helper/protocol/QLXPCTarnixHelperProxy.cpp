#include "helper/protocol/QLXPCTarnixHelperProxy.h"

#include <algorithm>

namespace tarnix {
namespace {

using Results = std::vector<QLRepairPermissionsRepresentableResult>;

template <typename R>
void sendCall(wire::Sender& sender, std::string_view selector, platform::Plist arguments, QLReply<R> reply) {
  if constexpr (std::is_same_v<R, Results>) {
    // The results arrive in parts while the repair runs and are decoded as each arrives, on the
    // connection's thread; the reply brings the last of them and hands over the whole list.
    // Parts and replies of the usual shape come read straight from their bytes; the property
    // list path takes any other (a refusal, an older helper's reply).
    struct Received {
      Results results;
      QLReply<R> reply;
      bool take(Results items, bool last) {
        const std::size_t needed = results.size() + items.size();
        if (needed > archive::kMaxArrayCount) return false;
        // Grown sixteen-fold rather than doubled: capacity never filled costs address space,
        // not memory, while every move of the list into a larger one touches fresh pages,
        // which was most of what receiving a whole system's results cost.
        if (results.empty()) {
          results = std::move(items);
        } else {
          if (needed > results.capacity())
            results.reserve(std::min<std::size_t>(std::max(needed, results.size() * 16), archive::kMaxArrayCount));
          results.insert(results.end(), std::make_move_iterator(items.begin()), std::make_move_iterator(items.end()));
        }
        if (last && reply) reply(std::move(results));
        return true;
      }
      bool take(plist_t values, bool last) {
        auto part = wire::unpack<Results>(values);
        return part && take(std::move(std::get<0>(*part)), last);
      }
    };
    auto received = std::make_shared<Received>(Received{{}, std::move(reply)});
    sender.sendCall(
        selector, std::move(arguments), [received](plist_t values) { return received->take(values, true); },
        [received](plist_t values) { return received->take(values, false); },
        [received](Results items, bool last) { return received->take(std::move(items), last); });
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
