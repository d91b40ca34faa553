#include "engine/results/QLRepairPermissionsTypes.h"

#include <atomic>

namespace tarnix {
namespace {
std::atomic<Translator> gTranslator{nullptr};
}

std::string_view englishText(QLFileSystemResourceAttributeMismatchedType type) {
  switch (type) {
    case QLFileSystemResourceAttributeMismatchedType::ownerIDMismatched: return "Owner ID Mismatched";
    case QLFileSystemResourceAttributeMismatchedType::groupIDMismatched: return "Group ID Mismatched";
    case QLFileSystemResourceAttributeMismatchedType::posixPermissionsMismatched: break;
  }
  return "POSIX Permissions Mismatched";
}

std::string text(QLFileSystemResourceAttributeMismatchedType type) { return localizedString(englishText(type)); }

std::string_view text(QLFileSystemResourceAttributeStatus status) {
  switch (status) {
    case QLFileSystemResourceAttributeStatus::fixed: return "Fixed";
    case QLFileSystemResourceAttributeStatus::failed: return "Failed";
    default: return "Verified";
  }
}

std::string_view rawValue(QLRepairPermissionsJobType type) {
  return type == QLRepairPermissionsJobType::repairPermissions ? "repair permissions" : "verify permissions";
}

std::optional<QLRepairPermissionsJobType> jobTypeFromRawValue(std::string_view raw) {
  if (raw == "verify permissions") return QLRepairPermissionsJobType::verifyPermissions;
  if (raw == "repair permissions") return QLRepairPermissionsJobType::repairPermissions;
  return std::nullopt;
}

std::int64_t permissionDigits(std::uint32_t bits) {
  std::int64_t digits = 0;
  std::int64_t scale = 1;
  for (; bits != 0; bits >>= 3, scale *= 10) digits += static_cast<std::int64_t>(bits & 7u) * scale;
  return digits;
}

std::uint32_t permissionBits(std::int64_t digits) {
  std::uint32_t bits = 0;
  unsigned shift = 0;
  for (; digits > 0 && shift < 32; digits /= 10, shift += 3)
    bits |= static_cast<std::uint32_t>(digits % 10 & 7) << shift;
  return bits;
}

void setTranslator(Translator translator) { gTranslator.store(translator); }

std::string localizedString(std::string_view key) {
  if (Translator translator = gTranslator.load()) return translator(key);
  return std::string(key);
}

}  // namespace tarnix
