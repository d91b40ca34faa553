#pragma once
// The helper side of QLXPCTarnixHelperProtocol: decodes received calls and invokes the
// exported object.
#include <memory>
#include <type_traits>

#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLWireResults.h"
#include "helper/protocol/QLXPCHelperRefusal.h"
#include "helper/protocol/QLXPCTarnixHelperProtocol.h"

namespace tarnix {

// `Target` has the protocol's methods, each taking first the `context` that dispatch is given:
// an implementation of the protocol takes none; the daemon's helper takes the call (who asked,
// and where the reply goes).
template <typename Target>
class QLXPCTarnixHelperStub {
 public:
  explicit QLXPCTarnixHelperStub(Target& exported) : exported_(exported) {}
  // False for a protocol error: an unknown selector, a call sent one-way (or the reverse), a
  // wrong argument count or an argument of a class its position does not allow. Nothing is
  // invoked then. The reply block may be called on any thread.
  template <typename... Context>
  bool dispatch(const wire::Message& message, std::shared_ptr<wire::ReplySender> send, const Context&... context) const;

 private:
  // One entry per line of the protocol's table.
  template <typename... Context>
  static const auto& entries();

  Target& exported_;
};

namespace detail {

// Results are written by the fast writer on the replying thread; a refused call's reply
// carries its refusal through the ordinary path (its list is empty).
template <typename R>
std::function<void(R)> replyFor(std::shared_ptr<wire::ReplySender> send) {
  using Results = std::vector<QLRepairPermissionsRepresentableResult>;
  if constexpr (std::is_same_v<R, Results>) {
    return [send = std::move(send)](Results value) {
      if (QLXPCHelperRefusal::current()) return send->sendReply(wire::pack(value));
      send->sendEncodedReply(wire::encodeResultsMessage(wire::Kind::reply, send->id(), value));
    };
  } else {
    return wire::replyBlock<R>(std::move(send));
  }
}

}  // namespace detail

template <typename Target>
template <typename... Context>
bool QLXPCTarnixHelperStub<Target>::dispatch(const wire::Message& message, std::shared_ptr<wire::ReplySender> send,
                                             const Context&... context) const {
  return wire::dispatch(entries<Context...>(), exported_, message, std::move(send), context...);
}

template <typename Target>
template <typename... Context>
const auto& QLXPCTarnixHelperStub<Target>::entries() {
#define QL_STUB_CALL(method, selector, R, ...)                                                                  \
  {selector, false,                                                                                             \
   [](Target& target, plist_t arguments, std::shared_ptr<wire::ReplySender>& send, const Context&... context) { \
     return wire::invoke<__VA_ARGS__>(arguments, [&](auto&&... values) {                                        \
       target.method(context..., std::move(values)..., detail::replyFor<R>(std::move(send)));                   \
     });                                                                                                        \
   }},
#define QL_STUB_ONEWAY(method, selector, ...)                                                                      \
  {selector, true,                                                                                                 \
   [](Target& target, plist_t arguments, std::shared_ptr<wire::ReplySender>&, const Context&... context) {         \
     return wire::invoke<__VA_ARGS__>(arguments,                                                                   \
                                      [&](auto&&... values) { target.method(context..., std::move(values)...); }); \
   }},
  static const wire::StubEntry<Target, Context...> table[] = {QL_XPC_TARNIX_HELPER_CALLS(QL_STUB_CALL, QL_STUB_ONEWAY)};
#undef QL_STUB_CALL
#undef QL_STUB_ONEWAY
  return table;
}

}  // namespace tarnix
