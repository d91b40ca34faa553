#include "engine/QLRepairPermissionsRepresentableResult.h"

#include <functional>

#include "engine/QLFileSystemResource.h"

namespace tarnix {

QLRepairPermissionsRepresentableResult::QLRepairPermissionsRepresentableResult(
    std::string identifierValue, std::string path, std::string mismatch, std::int64_t current, std::int64_t correct,
    std::int64_t applied, std::string status)
    : identifier(std::move(identifierValue)),
      fileSystemResourcePath(std::move(path)),
      attributeMismatchedTypeString(std::move(mismatch)),
      currentAttribute(current),
      correctAttribute(correct),
      newAttribute(applied),
      attributeStatusString(std::move(status)) {}

std::optional<QLRepairPermissionsRepresentableResult> QLRepairPermissionsRepresentableResult::fromResult(
    const QLRepairPermissionsResult& result) {
  if (!result.newAttribute()) return std::nullopt;
  // The applications translate the three English texts themselves, so the English travels.
  return QLRepairPermissionsRepresentableResult(
      result.identifier(), result.fileSystemResource().path(),
      std::string(englishText(result.attributeMismatchedType())), result.currentAttribute(),
      result.correctAttribute(), *result.newAttribute(), std::string(text(result.attributeStatus())));
}

std::size_t QLRepairPermissionsRepresentableResult::hashValue() const { return std::hash<std::string>{}(identifier); }

}  // namespace tarnix
