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

// A part carries some of a call's reply values ahead of the reply, to a caller that asked for
// them ("parts": true in its call); the reply ends them.
enum class Kind { call, oneway, reply, part };

struct Message {
  Kind kind = Kind::call;
  std::uint64_t id = 0;         // call, reply and part: the request id (>= 1); oneway: 0
  std::string selector;         // call and oneway
  platform::Plist root;         // the whole body
  plist_t arguments = nullptr;  // borrowed from root; always an array: the call's arguments or the reply's values
  bool acceptsParts = false;    // call: the caller takes its reply's values in parts
  std::optional<QLXPCHelperRefusal> refusal;  // reply: the helper refused the call, "refusal"
};

// What a frame may grow to once parsed, checked before anything is built. The bounds follow the
// receiver's frame limit: one value per 8 bytes of it (131,072 in a request, 33,554,432 in a
// reply; a 145,000-result reply holds about 2.5 million), 4 bytes of text and data per byte of
// it, and containers 32 deep (an honest message nests 5).
platform::PlistBounds expansionBounds(std::size_t frameLimit);

// Nothing when the bytes are longer than `frameLimit`, would grow beyond its bounds, or are not
// a binary property list of this shape; `refusal`, when given, then says why.
std::optional<Message> decodeMessage(std::string_view body, std::size_t frameLimit, std::string* refusal = nullptr);
// The body of a frame (without the length header).
std::string encodeMessage(Kind kind, std::uint64_t id, std::string_view selector, platform::Plist arguments,
                          const std::optional<QLXPCHelperRefusal>& refusal = std::nullopt, bool acceptsParts = false);
// The 4-byte big-endian length followed by the body.
std::string frame(const std::string& body);
std::uint32_t frameLength(const unsigned char header[kFrameHeaderSize]);

}  // namespace tarnix::wire
