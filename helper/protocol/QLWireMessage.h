#pragma once
// One message of the helper connection: the body of a frame (a binary property list), see
// docs/protocol.md.
#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "helper/protocol/QLXPCHelperRefusal.h"
#include "platform/PropertyList.h"

namespace tarnix::wire {

// Frame limits: requests reaching the helper carry a few paths and kexts; replies reaching an
// application may carry one result per repaired attribute of a whole system.
inline constexpr std::size_t kMaxRequestFrame = 1u << 20;
inline constexpr std::size_t kMaxReplyFrame = 256u << 20;
inline constexpr std::size_t kFrameHeaderSize = 4;

enum class Kind { call, oneway, reply };

struct Message {
  Kind kind = Kind::call;
  std::uint64_t id = 0;       // call and reply: the request id (>= 1); oneway: 0
  std::string selector;       // call and oneway
  platform::Plist arguments;  // always an array: the call's arguments or the reply's values
  std::optional<QLXPCHelperRefusal> refusal;  // reply: the helper refused the call, "refusal"
};

// Nothing when the bytes are not a binary property list of this shape.
std::optional<Message> decodeMessage(std::string_view body);
// The body of a frame (without the length header).
std::string encodeMessage(Kind kind, std::uint64_t id, std::string_view selector, platform::Plist arguments,
                          const std::optional<QLXPCHelperRefusal>& refusal = std::nullopt);
// The 4-byte big-endian length followed by the body.
std::string frame(const std::string& body);
std::uint32_t frameLength(const unsigned char header[kFrameHeaderSize]);

}  // namespace tarnix::wire
