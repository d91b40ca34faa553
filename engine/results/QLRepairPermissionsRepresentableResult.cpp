#include "engine/results/QLRepairPermissionsRepresentableResult.h"

#include <functional>
#include <utility>

namespace tarnix {

QLRepairPermissionsRepresentableResult::QLRepairPermissionsRepresentableResult(std::string identifierValue,
                                                                               std::string path, std::string mismatch,
                                                                               std::int64_t current,
                                                                               std::int64_t correct,
                                                                               std::int64_t applied, std::string status)
    : identifier(std::move(identifierValue)),
      fileSystemResourcePath(std::move(path)),
      attributeMismatchedTypeString(std::move(mismatch)),
      currentAttribute(current),
      correctAttribute(correct),
      newAttribute(applied),
      attributeStatusString(std::move(status)) {}

std::size_t QLRepairPermissionsRepresentableResult::hashValue() const { return std::hash<std::string>{}(identifier); }

}  // namespace tarnix
