#pragma once
// Packing typed arguments and replies into archive arrays, and the decoding side, which
// refuses a wrong count or a value of any class other than the one its position allows.
#include <functional>
#include <optional>
#include <tuple>
#include <utility>

#include "helper/protocol/QLArchiveCodec.h"
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
