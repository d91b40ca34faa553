#include "engine/QLRepairPermissionsResult.h"

#include <charconv>
#include <cstring>
#include <functional>
#include <string_view>

#include "engine/QLFileSystemResource.h"
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
                                                     std::shared_ptr<const QLFileSystemResource> resource,
                                                     QLFileSystemResourceAttributeMismatchedType attributeMismatchedType,
                                                     std::int64_t currentAttribute, std::int64_t correctAttribute,
                                                     std::optional<std::int64_t> newAttribute,
                                                     QLFileSystemResourceAttributeStatus status)
    : jobType_(jobType),
      attributeMismatchedType_(attributeMismatchedType),
      attributeStatus_(status),
      hasNewAttribute_(newAttribute.has_value()),
      resource_(std::move(resource)),
      currentAttribute_(currentAttribute),
      correctAttribute_(correctAttribute),
      newAttribute_(newAttribute.value_or(0)) {
  platform::newUuid(identifier_.data());
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
  out.append("   File: ").append(resource_ ? resource_->path() : std::string());
  out.append("\n Reason: ").append(text(attributeMismatchedType_));
  out.append("\nCurrent: ");
  appendNumber(out, currentAttribute_);
  out.append("\nCorrect: ");
  appendNumber(out, correctAttribute_);
  out.append("\n    New: ");
  if (hasNewAttribute_)
    appendNumber(out, newAttribute_);
  else
    out.append("N/A");
  out.append("\n Status: ").append(text(attributeStatus_));
}

}  // namespace tarnix
