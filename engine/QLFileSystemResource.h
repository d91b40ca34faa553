#pragma once
// One item of the target volume with the owner, group and permissions its receipt
// prescribes and the attributes the disk reported when the item was made.
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "engine/QLRepairPermissionsTypes.h"
#include "engine/RZBomParser.h"
#include "model/QLOSVolume.h"
#include "platform/VolumeTree.h"

namespace tarnix {

class QLRepairPermissionsResult;

class QLFileSystemResource : public std::enable_shared_from_this<QLFileSystemResource> {
 public:
  // Nothing when the record's path is empty, does not name one item inside the volume
  // ("/Name", "./a/../b"), or the item cannot be read (does not exist).
  // `tree` is opened on the volume's mount point.
  static std::shared_ptr<const QLFileSystemResource> make(const RZFileSystemResource& record,
                                                          const QLOSVolume& volume, platform::VolumeTree& tree);
  // The same from a record path ("./System"), for callers without a BOM record.
  static std::shared_ptr<const QLFileSystemResource> make(std::string_view bomPath, std::uint32_t uid,
                                                          std::uint32_t gid, std::uint32_t mode,
                                                          const std::string& mountPoint, platform::VolumeTree& tree);

  // The absolute path as the running system sees it: mount point + the BOM path without its
  // leading dot ("//System" for "/", the mount point itself for the BOM's root entry).
  const std::string& path() const { return path_; }
  // The same path relative to the mount point, as the volume tree takes it.
  std::string_view relativePath() const { return std::string_view(path_).substr(relativeOffset_); }
  std::int64_t uid() const { return uid_; }
  std::int64_t gid() const { return gid_; }
  std::int64_t posixpermissions() const { return posixpermissions_; }
  const platform::FileAttributes& currentAttributes() const { return currentAttributes_; }

  std::size_t hashValue() const;

  // Each answers 0 or the errno of the failure.
  int repairGroupID(platform::VolumeTree& tree) const;
  int repairOwnerID(platform::VolumeTree& tree) const;
  int repairPOSIXPermissions(platform::VolumeTree& tree) const;

  // How many of the three attributes differ (what verify would report).
  int mismatchCount() const {
    return (uid_ != currentOwnerID()) + (gid_ != currentGroupID()) + (posixpermissions_ != currentPOSIXPermissions());
  }

  // The most results a repair can give: one more when owner or group change and the
  // set-user-id bits of a right mode must be put back.
  int repairResultBound() const {
    const bool ownership = uid_ != currentOwnerID() || gid_ != currentGroupID();
    const bool restore = ownership && posixpermissions_ == currentPOSIXPermissions() &&
                         (permissionBits(posixpermissions_) & 06000u) != 0 && !currentAttributes_.isSymlink();
    return mismatchCount() + restore;
  }

  std::int64_t currentOwnerID() const { return currentAttributes_.uid; }
  std::int64_t currentGroupID() const { return currentAttributes_.gid; }
  std::int64_t currentPOSIXPermissions() const { return permissionDigits(currentAttributes_.permissions()); }

  // Mismatches in the order owner, group, permissions; never touches the disk.
  std::vector<QLRepairPermissionsResult> verify() const;
  // The same, appended to `out` (the managers gather a chunk's results this way).
  void verify(std::vector<QLRepairPermissionsResult>& out) const;
  // Repairs each mismatch in that order; one result per attribute that differed. The item
  // ends with exactly the prescribed owner, group and mode, set-user-id bits included.
  std::vector<QLRepairPermissionsResult> repair(platform::VolumeTree& tree) const;
  void repair(platform::VolumeTree& tree, std::vector<QLRepairPermissionsResult>& out) const;

  QLFileSystemResource(std::string path, std::size_t relativeOffset, std::int64_t uid, std::int64_t gid,
                       std::int64_t posixpermissions, platform::FileAttributes current);

 private:
  std::string path_;
  std::size_t relativeOffset_;
  std::int64_t uid_;
  std::int64_t gid_;
  std::int64_t posixpermissions_;
  platform::FileAttributes currentAttributes_;
};

}  // namespace tarnix
