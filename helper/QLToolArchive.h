#pragma once
// The command-line tool as the feed publishes it: a zip archive with the tool at its top, and
// beside it (ARCHIVE.sig) a detached Ed25519 signature of the whole archive, base64-encoded.
// Only an archive signed with the key built in beside the feed's address is ever unpacked.
#include <cstddef>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix::QLToolArchive {

inline constexpr std::size_t kMaximumArchiveBytes = 64u << 20;
inline constexpr std::size_t kMaximumSignatureBytes = 4096;

// Whether `signature` (base64 of 64 bytes) signs `archive` under `publicKey` (base64 of the
// 32-byte Ed25519 key). False for an empty or malformed key or signature.
bool verify(std::string_view archive, std::string_view signature, std::string_view publicKey);

// The regular file named `name` at the top of `archive` (not a link), at most `limit` bytes.
std::optional<std::string> extract(std::string_view archive, const std::string& name, std::size_t limit);

}  // namespace tarnix::QLToolArchive
