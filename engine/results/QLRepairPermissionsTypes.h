#pragma once
// The small enumerations every permission result carries, and permission digits.
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace tarnix {

enum class QLFileSystemResourceAttributeMismatchedType : std::uint8_t {
  ownerIDMismatched = 0,
  groupIDMismatched = 1,
  posixPermissionsMismatched = 2,
};

enum class QLFileSystemResourceAttributeStatus : std::uint8_t { verified = 0, fixed = 1, failed = 2 };

enum class QLRepairPermissionsJobType : std::uint8_t { verifyPermissions = 0, repairPermissions = 1 };

// "Owner ID Mismatched", "Group ID Mismatched", "POSIX Permissions Mismatched": the English
// text, which is also the key of its translation.
std::string_view englishText(QLFileSystemResourceAttributeMismatchedType type);
// The text through the process's translator (the English text when there is none).
std::string text(QLFileSystemResourceAttributeMismatchedType type);

// "Verified", "Fixed", "Failed"; never translated. Any other stored value reads "Verified".
std::string_view text(QLFileSystemResourceAttributeStatus status);

// "verify permissions" / "repair permissions", and back.
std::string_view rawValue(QLRepairPermissionsJobType type);
std::optional<QLRepairPermissionsJobType> jobTypeFromRawValue(std::string_view raw);

// A permission word written as its octal digits read as a decimal number: 0755 → 755,
// 04755 → 4755. And back: 755 → 0755.
std::int64_t permissionDigits(std::uint32_t bits);
std::uint32_t permissionBits(std::int64_t digits);

// Translation of user-visible engine texts; the applications install one, the helper and
// the command line keep the English keys.
using Translator = std::string (*)(std::string_view key);
void setTranslator(Translator translator);
std::string localizedString(std::string_view key);

}  // namespace tarnix
