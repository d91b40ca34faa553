#pragma once
// One mismatch of one attribute of one item.
#include <array>
#include <memory>
#include <optional>
#include <string>

#include "engine/QLRepairPermissionsTypes.h"

namespace tarnix {

class QLFileSystemResource;

class QLRepairPermissionsResult {
 public:
  // A fresh upper-case UUID becomes the identifier.
  QLRepairPermissionsResult(QLRepairPermissionsJobType jobType, std::shared_ptr<const QLFileSystemResource> resource,
                            QLFileSystemResourceAttributeMismatchedType attributeMismatchedType,
                            std::int64_t currentAttribute, std::int64_t correctAttribute,
                            std::optional<std::int64_t> newAttribute, QLFileSystemResourceAttributeStatus status);

  // Canonical upper-case text; the sixteen bytes are kept, the text is made on demand.
  std::string identifier() const;
  QLRepairPermissionsJobType jobType() const { return jobType_; }
  const std::shared_ptr<const QLFileSystemResource>& fileSystemResource() const { return resource_; }
  QLFileSystemResourceAttributeMismatchedType attributeMismatchedType() const { return attributeMismatchedType_; }
  std::int64_t currentAttribute() const { return currentAttribute_; }
  std::int64_t correctAttribute() const { return correctAttribute_; }
  std::optional<std::int64_t> newAttribute() const {
    return hasNewAttribute_ ? std::optional<std::int64_t>(newAttribute_) : std::nullopt;
  }
  QLFileSystemResourceAttributeStatus attributeStatus() const { return attributeStatus_; }

  std::size_t hashValue() const;
  bool operator==(const QLRepairPermissionsResult& other) const { return identifier_ == other.identifier_; }

  // Six labelled lines: File, Reason, Current, Correct, New ("N/A" for a verification),
  // Status; no line feed after the last.
  std::string description() const;
  // The same, appended to `out` (the report of a whole run is built this way).
  void appendDescription(std::string& out) const;

 private:
  friend class QLFileSystemResourceManager;
  // An empty slot of a pre-sized result list, filled by assignment.
  QLRepairPermissionsResult() = default;

  // Kept small: a repair of a whole volume makes hundreds of thousands of these.
  std::array<unsigned char, 16> identifier_{};
  QLRepairPermissionsJobType jobType_ = QLRepairPermissionsJobType::verifyPermissions;
  QLFileSystemResourceAttributeMismatchedType attributeMismatchedType_ =
      QLFileSystemResourceAttributeMismatchedType::ownerIDMismatched;
  QLFileSystemResourceAttributeStatus attributeStatus_ = QLFileSystemResourceAttributeStatus::verified;
  bool hasNewAttribute_ = false;
  std::shared_ptr<const QLFileSystemResource> resource_;
  std::int64_t currentAttribute_ = 0;
  std::int64_t correctAttribute_ = 0;
  std::int64_t newAttribute_ = 0;
};

}  // namespace tarnix
