#pragma once
// The form of a repair result that crosses to the applications: plain strings and numbers.
#include <cstdint>
#include <optional>
#include <string>

#include "engine/QLRepairPermissionsResult.h"

namespace tarnix {

class QLRepairPermissionsRepresentableResult {
 public:
  // Only repair results, which always carry the applied value, can be represented: the
  // archive has no way to mark it missing. Nothing for a verification result.
  static std::optional<QLRepairPermissionsRepresentableResult> fromResult(const QLRepairPermissionsResult& result);
  // From decoded archive values.
  QLRepairPermissionsRepresentableResult(std::string identifier, std::string fileSystemResourcePath,
                                         std::string attributeMismatchedTypeString, std::int64_t currentAttribute,
                                         std::int64_t correctAttribute, std::int64_t newAttribute,
                                         std::string attributeStatusString);

  std::string identifier;
  std::string fileSystemResourcePath;
  std::string attributeMismatchedTypeString;  // the English text
  std::int64_t currentAttribute = 0;
  std::int64_t correctAttribute = 0;
  std::int64_t newAttribute = 0;
  std::string attributeStatusString;  // "Fixed", "Failed" or "Verified"

  bool operator==(const QLRepairPermissionsRepresentableResult& other) const { return identifier == other.identifier; }
  std::size_t hashValue() const;
};

}  // namespace tarnix
