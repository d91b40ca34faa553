#pragma once
// The form of a repair result that crosses to the applications: plain strings and numbers.
// The engine makes it (representable() beside its own result); the wire, the client and the
// applications carry it without the engine.
#include <cstddef>
#include <cstdint>
#include <string>

namespace tarnix {

class QLRepairPermissionsRepresentableResult {
 public:
  // From the engine's result, or from decoded archive values.
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
