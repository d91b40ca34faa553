#include "engine/QLFileSystemResource.h"

#include <cerrno>
#include <algorithm>
#include <cstring>
#include <functional>

#include "engine/QLRepairPermissionsResult.h"

namespace tarnix {
namespace {

// The item a report names is mount point + this text, and the volume tree must reach that
// same item: "" (the root) or "/" and names, none of them empty, "." or "..". Anything else
// ("Name" from an entry whose parent came later, "/a/../b", "/a//b") names something beside
// the volume or one item in two ways, which would be checked under two prescriptions.
bool namesOneItemInTheVolume(std::string_view relative) {
  if (relative.empty()) return true;
  if (relative.front() != '/') return false;
  for (std::size_t start = 1;;) {
    const std::size_t end = std::min(relative.find('/', start), relative.size());
    const std::string_view name = relative.substr(start, end - start);
    if (name.empty() || name == "." || name == "..") return false;
    if (end == relative.size()) return true;
    start = end + 1;
  }
}

}  // namespace

using Mismatch = QLFileSystemResourceAttributeMismatchedType;
using Status = QLFileSystemResourceAttributeStatus;

QLFileSystemResource::QLFileSystemResource(std::string path, std::size_t relativeOffset, std::int64_t uid,
                                           std::int64_t gid, std::int64_t posixpermissions,
                                           platform::FileAttributes current)
    : path_(std::move(path)),
      relativeOffset_(relativeOffset),
      uid_(uid),
      gid_(gid),
      posixpermissions_(posixpermissions),
      currentAttributes_(current) {}

std::shared_ptr<const QLFileSystemResource> QLFileSystemResource::make(const RZFileSystemResource& record,
                                                                       const QLOSVolume& volume,
                                                                       platform::VolumeTree& tree) {
  if (!record.path) return nullptr;
  return make(record.path, record.uid, record.gid, record.mode, volume.mountPoint, tree);
}

std::shared_ptr<const QLFileSystemResource> QLFileSystemResource::make(std::string_view bomPath, std::uint32_t uid,
                                                                       std::uint32_t gid, std::uint32_t mode,
                                                                       const std::string& mountPoint,
                                                                       platform::VolumeTree& tree) {
  if (bomPath.empty()) return nullptr;
  const std::string_view relative = bomPath.substr(1);  // every BOM path starts with "."
  if (!namesOneItemInTheVolume(relative)) return nullptr;
  auto attributes = tree.attributes(relative);
  if (!attributes) return nullptr;
  std::string path;
  path.reserve(mountPoint.size() + relative.size());
  path.append(mountPoint).append(relative);
  return std::make_shared<const QLFileSystemResource>(std::move(path), mountPoint.size(), uid, gid,
                                                      permissionDigits(mode) % 10000, *attributes);
}

std::size_t QLFileSystemResource::hashValue() const { return std::hash<std::string>{}(path_); }

int QLFileSystemResource::repairOwnerID(platform::VolumeTree& tree) const {
  return tree.changeOwner(relativePath(), static_cast<std::uint32_t>(uid_), std::nullopt);
}

int QLFileSystemResource::repairGroupID(platform::VolumeTree& tree) const {
  return tree.changeOwner(relativePath(), std::nullopt, static_cast<std::uint32_t>(gid_));
}

int QLFileSystemResource::repairPOSIXPermissions(platform::VolumeTree& tree) const {
  return tree.changePermissions(relativePath(), permissionBits(posixpermissions_));
}

std::vector<QLRepairPermissionsResult> QLFileSystemResource::verify() const {
  std::vector<QLRepairPermissionsResult> results;
  verify(results);
  return results;
}

std::vector<QLRepairPermissionsResult> QLFileSystemResource::repair(platform::VolumeTree& tree) const {
  std::vector<QLRepairPermissionsResult> results;
  repair(tree, results);
  return results;
}

void QLFileSystemResource::verify(std::vector<QLRepairPermissionsResult>& results) const {
  if (mismatchCount() == 0) return;  // the usual case: no reference to take
  const auto self = shared_from_this();
  const auto add = [&](Mismatch type, std::int64_t current, std::int64_t correct) {
    results.emplace_back(QLRepairPermissionsJobType::verifyPermissions, self, type, current, correct, std::nullopt,
                         Status::verified);
  };
  if (uid_ != currentOwnerID()) add(Mismatch::ownerIDMismatched, currentOwnerID(), uid_);
  if (gid_ != currentGroupID()) add(Mismatch::groupIDMismatched, currentGroupID(), gid_);
  if (posixpermissions_ != currentPOSIXPermissions())
    add(Mismatch::posixPermissionsMismatched, currentPOSIXPermissions(), posixpermissions_);
}

void QLFileSystemResource::repair(platform::VolumeTree& tree, std::vector<QLRepairPermissionsResult>& results) const {
  if (mismatchCount() == 0) return;
  const auto self = shared_from_this();
  const auto add = [&](Mismatch type, std::int64_t current, std::int64_t correct, int error) {
    results.emplace_back(QLRepairPermissionsJobType::repairPermissions, self, type, current, correct, correct,
                         error == 0 ? Status::fixed : Status::failed);
  };
  const bool ownerDiffers = uid_ != currentOwnerID();
  const bool groupDiffers = gid_ != currentGroupID();
  int ownerError = 0;
  int groupError = 0;
  if (ownerDiffers && groupDiffers) {
    // One call sets both; only a failure needs them apart, to tell which one failed.
    if (tree.changeOwner(relativePath(), static_cast<std::uint32_t>(uid_), static_cast<std::uint32_t>(gid_)) != 0) {
      ownerError = repairOwnerID(tree);
      groupError = repairGroupID(tree);
    }
  } else if (ownerDiffers) {
    ownerError = repairOwnerID(tree);
  } else if (groupDiffers) {
    groupError = repairGroupID(tree);
  }
  if (ownerDiffers) add(Mismatch::ownerIDMismatched, currentOwnerID(), uid_, ownerError);
  if (groupDiffers) add(Mismatch::groupIDMismatched, currentGroupID(), gid_, groupError);

  if (posixpermissions_ != currentPOSIXPermissions()) {
    add(Mismatch::posixPermissionsMismatched, currentPOSIXPermissions(), posixpermissions_,
        repairPOSIXPermissions(tree));
  } else if (((ownerDiffers && ownerError == 0) || (groupDiffers && groupError == 0)) &&
             (permissionBits(posixpermissions_) & 06000u) != 0 && !currentAttributes_.isSymlink()) {
    // Changing the owner or group of a file clears its set-user-id and set-group-id bits;
    // the prescribed mode was right before and must be right after.
    if (const int error = repairPOSIXPermissions(tree); error != 0)
      add(Mismatch::posixPermissionsMismatched, currentPOSIXPermissions(), posixpermissions_, error);
  }
}

}  // namespace tarnix
