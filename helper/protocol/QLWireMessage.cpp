#include "helper/protocol/QLWireMessage.h"

#include <algorithm>
#include <cstdlib>
#include <limits>

#include "helper/protocol/QLArchiveCodec.h"

namespace tarnix::wire {
namespace {
constexpr const char* kKinds[] = {"call", "oneway", "reply", "part"};
constexpr std::size_t kMaxSelector = 256;

std::optional<Message> messageFrom(platform::Plist body) {
  plist_t root = body.get();
  if (plist_get_node_type(root) != PLIST_DICT) return std::nullopt;
  Message message;
  const auto kind = archive::decode<std::string>(plist_dict_get_item(root, "kind"));
  if (!kind) return std::nullopt;
  if (*kind == kKinds[0])
    message.kind = Kind::call;
  else if (*kind == kKinds[1])
    message.kind = Kind::oneway;
  else if (*kind == kKinds[2])
    message.kind = Kind::reply;
  else if (*kind == kKinds[3])
    message.kind = Kind::part;
  else
    return std::nullopt;

  if (message.kind != Kind::oneway) {
    plist_t id = plist_dict_get_item(root, "id");
    if (!id || plist_get_node_type(id) != PLIST_UINT) return std::nullopt;
    plist_get_uint_val(id, &message.id);
    if (message.id == 0 || message.id > (1ull << 53)) return std::nullopt;
  }
  const bool named = message.kind == Kind::call || message.kind == Kind::oneway;
  if (named) {
    auto selector = archive::decode<std::string>(plist_dict_get_item(root, "selector"));
    if (!selector || selector->empty() || selector->size() > kMaxSelector) return std::nullopt;
    message.selector = std::move(*selector);
  }
  plist_t arguments = plist_dict_get_item(root, "arguments");
  if (!arguments || plist_get_node_type(arguments) != PLIST_ARRAY) return std::nullopt;
  // Borrowed, not copied: a reply can hold millions of values.
  message.arguments = arguments;
  if (message.kind == Kind::reply) message.refusal = QLXPCHelperRefusal::decode(plist_dict_get_item(root, "refusal"));
  if (message.kind == Kind::call) {
    plist_t parts = plist_dict_get_item(root, "parts");
    std::uint8_t accepts = 0;
    if (parts && plist_get_node_type(parts) == PLIST_BOOLEAN) plist_get_bool_val(parts, &accepts);
    message.acceptsParts = accepts != 0;
  }
  message.root = std::move(body);
  return message;
}
}  // namespace

platform::PlistBounds expansionBounds(std::size_t frameLimit) {
  const auto capped = [](std::uint64_t n) {
    return static_cast<std::uint32_t>(std::min<std::uint64_t>(n, std::numeric_limits<std::uint32_t>::max()));
  };
  return {capped(frameLimit / 8), 32, capped(std::uint64_t{frameLimit} * 4)};
}

std::optional<Message> decodeMessage(std::string_view body, std::size_t frameLimit, std::string* refusal) {
  std::string why = "a body longer than the frame limit";
  std::optional<Message> message;
  if (body.size() <= frameLimit) {
    // Only the binary form: XML would bring a second parser into the helper for nothing.
    if (auto root = platform::parseBinaryPropertyList(body, expansionBounds(frameLimit), &why)) {
      message = messageFrom(std::move(root));
      why = "not a message of this protocol";
    }
  }
  if (!message && refusal) *refusal = std::move(why);
  return message;
}

std::string encodeMessage(Kind kind, std::uint64_t id, std::string_view selector, platform::Plist arguments,
                          const std::optional<QLXPCHelperRefusal>& refusal, bool acceptsParts) {
  platform::Plist root(plist_new_dict());
  plist_dict_set_item(root.get(), "kind", plist_new_string(kKinds[static_cast<int>(kind)]));
  if (kind != Kind::oneway) plist_dict_set_item(root.get(), "id", plist_new_uint(id));
  if (kind == Kind::call || kind == Kind::oneway)
    plist_dict_set_item(root.get(), "selector", plist_new_string(std::string(selector).c_str()));
  if (kind == Kind::call && acceptsParts) plist_dict_set_item(root.get(), "parts", plist_new_bool(1));
  plist_dict_set_item(root.get(), "arguments", arguments ? arguments.release() : plist_new_array());
  if (kind == Kind::reply && refusal) plist_dict_set_item(root.get(), "refusal", refusal->encode().release());
  return platform::toBinary(root.get());
}

std::string frame(const std::string& body) {
  const auto length = static_cast<std::uint32_t>(body.size());
  std::string out;
  out.reserve(body.size() + kFrameHeaderSize);
  out.push_back(static_cast<char>(length >> 24));
  out.push_back(static_cast<char>(length >> 16));
  out.push_back(static_cast<char>(length >> 8));
  out.push_back(static_cast<char>(length));
  out += body;
  return out;
}

std::uint32_t frameLength(const unsigned char header[kFrameHeaderSize]) {
  return (std::uint32_t{header[0]} << 24) | (std::uint32_t{header[1]} << 16) | (std::uint32_t{header[2]} << 8) |
         std::uint32_t{header[3]};
}

}  // namespace tarnix::wire
