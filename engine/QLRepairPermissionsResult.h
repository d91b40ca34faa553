#pragma once
// One mismatch of one attribute of one item.
#include <array>
#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "engine/QLFileSystemResource.h"
#include "engine/results/QLRepairPermissionsRepresentableResult.h"
#include "engine/results/QLRepairPermissionsTypes.h"

namespace tarnix {

// What a result is made of, in the few bytes a run keeps while its results wait to be handed
// out; the result, with its identifier, is made from it when it is.
struct RZAttributeMismatch {
  std::uint32_t resource = 0;  // index in the resource list
  std::uint32_t current = 0;   // the value found on disk: an id, or permission digits
  QLFileSystemResourceAttributeMismatchedType type = QLFileSystemResourceAttributeMismatchedType::ownerIDMismatched;
  QLFileSystemResourceAttributeStatus status = QLFileSystemResourceAttributeStatus::verified;
};

class QLRepairPermissionsResult {
 public:
  // A fresh upper-case UUID becomes the identifier. The correct value is the item's
  // prescription; a repair applied it (also when that failed), a verification nothing.
  QLRepairPermissionsResult(QLRepairPermissionsJobType jobType, std::shared_ptr<const QLResourceList> resources,
                            const RZAttributeMismatch& mismatch);

  // Canonical upper-case text; the sixteen bytes are kept, the text is made on demand.
  std::string identifier() const;
  QLRepairPermissionsJobType jobType() const { return jobType_; }
  QLFileSystemResource fileSystemResource() const { return (*resources_)[mismatch_.resource]; }
  QLFileSystemResourceAttributeMismatchedType attributeMismatchedType() const { return mismatch_.type; }
  std::int64_t currentAttribute() const { return mismatch_.current; }
  std::int64_t correctAttribute() const;
  std::optional<std::int64_t> newAttribute() const {
    return jobType_ == QLRepairPermissionsJobType::repairPermissions ? std::optional(correctAttribute()) : std::nullopt;
  }
  QLFileSystemResourceAttributeStatus attributeStatus() const { return mismatch_.status; }

  std::size_t hashValue() const;
  bool operator==(const QLRepairPermissionsResult& other) const { return identifier_ == other.identifier_; }

  // Six labelled lines: File, Reason, Current, Correct, New ("N/A" for a verification),
  // Status; no line feed after the last.
  std::string description() const;
  // The same, appended to `out` (the report of a whole run is built this way).
  void appendDescription(std::string& out) const;

 private:
  std::array<unsigned char, 16> identifier_{};
  std::shared_ptr<const QLResourceList> resources_;
  RZAttributeMismatch mismatch_;
  QLRepairPermissionsJobType jobType_;
};

// The form that crosses to the applications. Only repair results, which always carry the
// applied value, can be represented: the archive has no way to mark it missing. Nothing for a
// verification result.
std::optional<QLRepairPermissionsRepresentableResult> representable(const QLRepairPermissionsResult& result);

}  // namespace tarnix
