#include "engine/QLRepairPermissionsResult.h"

#include <charconv>
#include <cstring>
#include <functional>
#include <string_view>

#include "platform/Uuid.h"

namespace tarnix {
namespace {

void appendNumber(std::string& out, std::int64_t value) {
  char digits[24];
  const auto end = std::to_chars(digits, digits + sizeof digits, value).ptr;
  out.append(digits, end);
}

}  // namespace

QLRepairPermissionsResult::QLRepairPermissionsResult(QLRepairPermissionsJobType jobType,
                                                     std::shared_ptr<const QLResourceList> resources,
                                                     const RZAttributeMismatch& mismatch)
    : resources_(std::move(resources)), mismatch_(mismatch), jobType_(jobType) {
  platform::newUuid(identifier_.data());
}

std::int64_t QLRepairPermissionsResult::correctAttribute() const {
  const QLFileSystemResource resource = fileSystemResource();
  switch (mismatch_.type) {
    case QLFileSystemResourceAttributeMismatchedType::ownerIDMismatched: return resource.uid();
    case QLFileSystemResourceAttributeMismatchedType::groupIDMismatched: return resource.gid();
    case QLFileSystemResourceAttributeMismatchedType::posixPermissionsMismatched: break;
  }
  return resource.posixpermissions();
}

std::string QLRepairPermissionsResult::identifier() const { return platform::uuidString(identifier_.data()); }

std::size_t QLRepairPermissionsResult::hashValue() const {
  return std::hash<std::string_view>{}(
      std::string_view(reinterpret_cast<const char*>(identifier_.data()), identifier_.size()));
}

std::string QLRepairPermissionsResult::description() const {
  std::string out;
  appendDescription(out);
  return out;
}

void QLRepairPermissionsResult::appendDescription(std::string& out) const {
  const QLFileSystemResource resource = fileSystemResource();
  out.append("   File: ").append(resource.list().mountPoint());
  resource.appendRelativePath(out);
  out.append("\n Reason: ").append(text(mismatch_.type));
  out.append("\nCurrent: ");
  appendNumber(out, currentAttribute());
  out.append("\nCorrect: ");
  const std::int64_t correct = correctAttribute();
  appendNumber(out, correct);
  out.append("\n    New: ");
  if (jobType_ == QLRepairPermissionsJobType::repairPermissions)
    appendNumber(out, correct);
  else
    out.append("N/A");
  out.append("\n Status: ").append(text(mismatch_.status));
}

std::optional<QLRepairPermissionsRepresentableResult> representable(const QLRepairPermissionsResult& result) {
  if (!result.newAttribute()) return std::nullopt;
  // The applications translate the three English texts themselves, so the English travels.
  return QLRepairPermissionsRepresentableResult(result.identifier(), result.fileSystemResource().path(),
                                                std::string(englishText(result.attributeMismatchedType())),
                                                result.currentAttribute(), result.correctAttribute(),
                                                *result.newAttribute(), std::string(text(result.attributeStatus())));
}

}  // namespace tarnix
