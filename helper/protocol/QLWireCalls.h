#pragma once
// Packing typed arguments and replies into archive arrays, and the decoding side, which
// refuses a wrong count or a value of any class other than the one its position allows; and
// what the proxies and stubs are built with from a protocol's table of calls.
#include <functional>
#include <memory>
#include <optional>
#include <string_view>
#include <tuple>
#include <utility>

#include "helper/protocol/QLArchiveCodec.h"
#include "helper/protocol/QLWireMessage.h"
#include "helper/protocol/QLWireSender.h"

namespace tarnix::wire {

template <typename... Args>
platform::Plist pack(const Args&... values) {
  platform::Plist array(plist_new_array());
  (plist_array_append_item(array.get(), archive::encode(values).release()), ...);
  return array;
}

namespace detail {
template <typename... Args, std::size_t... I>
std::optional<std::tuple<Args...>> unpack([[maybe_unused]] plist_t array, std::index_sequence<I...>) {
  std::tuple<std::optional<Args>...> parts{archive::decode<Args>(plist_array_get_item(array, I))...};
  if (!(std::get<I>(parts).has_value() && ...)) return std::nullopt;
  return std::tuple<Args...>(std::move(*std::get<I>(parts))...);
}
}  // namespace detail

template <typename... Args>
std::optional<std::tuple<Args...>> unpack(plist_t array) {
  if (!array || plist_get_node_type(array) != PLIST_ARRAY || plist_array_get_size(array) != sizeof...(Args))
    return std::nullopt;
  return detail::unpack<Args...>(array, std::index_sequence_for<Args...>{});
}

// Decodes a received message's arguments as Args... and hands them to `call`; false, and
// nothing called, when they do not decode.
template <typename... Args, typename Call>
bool invoke(plist_t arguments, Call&& call) {
  auto values = unpack<Args...>(arguments);
  if (!values) return false;
  std::apply([&](auto&... unpacked) { call(std::move(unpacked)...); }, *values);
  return true;
}

// One line of a stub's table: a selector, whether it comes one-way, and what decodes its
// arguments and invokes the target with them, after the `context` the stub was given.
template <typename Target, typename... Context>
struct StubEntry {
  std::string_view selector;
  bool oneway;
  bool (*invoke)(Target& target, plist_t arguments, std::shared_ptr<ReplySender>& send, const Context&... context);
};

// Invokes the entry of a received call or one-way message. False, and nothing invoked, for any
// other kind of message, an unknown selector, a call sent one-way (or the reverse), or
// arguments the entry does not decode.
template <typename Entries, typename Target, typename... Context>
bool dispatch(const Entries& entries, Target& target, const Message& message, std::shared_ptr<ReplySender> send,
              const Context&... context) {
  if (message.kind != Kind::call && message.kind != Kind::oneway) return false;
  for (const auto& entry : entries) {
    if (entry.selector != message.selector) continue;
    if (entry.oneway != (message.kind == Kind::oneway)) return false;
    return entry.invoke(target, message.arguments, send, context...);
  }
  return false;
}

// Client side: a reply handler that decodes one value of type R for `reply`.
template <typename R>
Sender::ReplyHandler replyHandler(std::function<void(R)> reply) {
  return [reply = std::move(reply)](plist_t values) {
    auto decoded = unpack<R>(values);
    if (!decoded) return false;
    if (reply) reply(std::move(std::get<0>(*decoded)));
    return true;
  };
}

// Server side: the typed reply block for one received call.
template <typename R>
std::function<void(R)> replyBlock(std::shared_ptr<ReplySender> send) {
  return [send = std::move(send)](R value) { send->sendReply(pack(value)); };
}

}  // namespace tarnix::wire

// A table line's argument types as a parameter list with numbered names, and those names, for
// the methods a proxy defines from the table: QL_WIRE_PARAMETERS(A, B) is `A a1, B a2` and
// QL_WIRE_ARGUMENTS(A, B) is `a1, a2`. Up to five arguments.
#define QL_WIRE_PICK(_1, _2, _3, _4, _5, chosen, ...) chosen
#define QL_WIRE_PARAMETERS(...)                                                                                   \
  QL_WIRE_PICK(__VA_ARGS__ __VA_OPT__(, ) QL_WIRE_P5, QL_WIRE_P4, QL_WIRE_P3, QL_WIRE_P2, QL_WIRE_P1, QL_WIRE_P0) \
  (__VA_ARGS__)
#define QL_WIRE_P0()
#define QL_WIRE_P1(A) A a1
#define QL_WIRE_P2(A, B) A a1, B a2
#define QL_WIRE_P3(A, B, C) A a1, B a2, C a3
#define QL_WIRE_P4(A, B, C, D) A a1, B a2, C a3, D a4
#define QL_WIRE_P5(A, B, C, D, E) A a1, B a2, C a3, D a4, E a5
#define QL_WIRE_ARGUMENTS(...)                                                                                    \
  QL_WIRE_PICK(__VA_ARGS__ __VA_OPT__(, ) QL_WIRE_A5, QL_WIRE_A4, QL_WIRE_A3, QL_WIRE_A2, QL_WIRE_A1, QL_WIRE_A0) \
  (__VA_ARGS__)
#define QL_WIRE_A0()
#define QL_WIRE_A1(A) a1
#define QL_WIRE_A2(A, B) a1, a2
#define QL_WIRE_A3(A, B, C) a1, a2, a3
#define QL_WIRE_A4(A, B, C, D) a1, a2, a3, a4
#define QL_WIRE_A5(A, B, C, D, E) a1, a2, a3, a4, a5

// A table line's method as a proxy declares it (the table's CALL and ONEWAY):
// `void repairWithFolder(std::string, QLOSVolume, QLReply<bool> reply) override;`.
#define QL_WIRE_DECLARE_CALL(method, selector, R, ...) \
  void method(__VA_ARGS__ __VA_OPT__(, ) QLReply<R> reply) override;
#define QL_WIRE_DECLARE_ONEWAY(method, selector, ...) void method(__VA_ARGS__) override;
