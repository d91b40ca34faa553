#include "engine/QLFileSystemResource.h"

#include <algorithm>
#include <cerrno>
#include <functional>

#include "engine/QLRepairPermissionsResult.h"

namespace tarnix {

using Mismatch = QLFileSystemResourceAttributeMismatchedType;
using Status = QLFileSystemResourceAttributeStatus;

// ---- The list ------------------------------------------------------------------------------

std::shared_ptr<QLResourceList> QLResourceList::make(std::string mountPoint) {
  return std::shared_ptr<QLResourceList>(new QLResourceList(std::move(mountPoint)));
}

std::optional<std::uint16_t> QLResourceList::addRecords(std::shared_ptr<const RZRecordTable> records) {
  if (tables_.size() == kMaxTables) return std::nullopt;
  tables_.push_back(std::move(records));
  return static_cast<std::uint16_t>(tables_.size() - 1);
}

void QLResourceList::append(std::uint16_t table, std::uint32_t record, const platform::FileAttributes& current) {
  entries_.push_back({record, table, static_cast<std::uint16_t>(current.mode), current.uid, current.gid});
}

void QLResourceList::appendRelativePath(std::uint16_t table, std::uint32_t record, std::string& out) const {
  // Every BOM path starts with ".", which stands for the mount point.
  const std::size_t start = out.size();
  tables_[table]->appendPath(record, out);
  if (out.size() > start) out.erase(start, 1);
}

std::optional<QLFileSystemResource> QLResourceList::add(std::string_view bomPath, std::uint32_t uid, std::uint32_t gid,
                                                        std::uint32_t mode, platform::VolumeTree& tree) {
  if (bomPath.empty() || !namesOneItemInTheVolume(bomPath.substr(1))) return std::nullopt;
  const auto current = tree.attributes(bomPath.substr(1));
  if (!current) return std::nullopt;
  if (!ownRecords_) {
    const auto table = addRecords(ownRecords_ = std::make_shared<RZRecordTable>());
    if (!table) return std::nullopt;
    ownTable_ = *table;
  }
  if (!ownRecords_->add(RZRecordTable::kNoParent, bomPath, static_cast<std::uint16_t>(mode), uid, gid))
    return std::nullopt;
  append(ownTable_, ownRecords_->count() - 1, *current);
  return (*this)[entries_.size() - 1];
}

bool QLResourceList::namesOneItemInTheVolume(std::string_view relative) {
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

// ---- One item -----------------------------------------------------------------------------

namespace {

// What a repair changes, and through which call: owner and group together, or the mode.
struct Change {
  std::optional<std::uint32_t> uid;
  std::optional<std::uint32_t> gid;
  std::optional<std::uint32_t> permissions;
};

}  // namespace

std::string QLFileSystemResource::path() const {
  std::string out = list_->mountPoint();
  appendRelativePath(out);
  return out;
}

void QLFileSystemResource::appendRelativePath(std::string& out) const {
  const auto& entry = list_->entries_[index_];
  list_->appendRelativePath(entry.table, entry.record, out);
}

std::int64_t QLFileSystemResource::uid() const { return list_->record(list_->entries_[index_]).uid; }
std::int64_t QLFileSystemResource::gid() const { return list_->record(list_->entries_[index_]).gid; }
std::int64_t QLFileSystemResource::posixpermissions() const {
  return permissionDigits(list_->record(list_->entries_[index_]).mode) % 10000;
}

platform::FileAttributes QLFileSystemResource::currentAttributes() const {
  const auto& entry = list_->entries_[index_];
  return {entry.uid, entry.gid, entry.mode};
}

std::int64_t QLFileSystemResource::currentOwnerID() const { return list_->entries_[index_].uid; }
std::int64_t QLFileSystemResource::currentGroupID() const { return list_->entries_[index_].gid; }
std::int64_t QLFileSystemResource::currentPOSIXPermissions() const {
  return permissionDigits(list_->entries_[index_].mode & 07777u);
}

std::size_t QLFileSystemResource::hashValue() const { return std::hash<std::string>{}(path()); }

namespace {

// The one place where a repair changes the volume; a held-back change is not made.
int apply(platform::VolumeTree& tree, std::string_view relative, const Change& change, bool holdBack) {
  if (holdBack) return ECANCELED;
  if (change.permissions) return tree.changePermissions(relative, *change.permissions);
  return tree.changeOwner(relative, change.uid, change.gid);
}

int applyAlone(const QLFileSystemResource& resource, platform::VolumeTree& tree, const Change& change) {
  std::string relative;
  resource.appendRelativePath(relative);
  return apply(tree, relative, change, false);
}

}  // namespace

int QLFileSystemResource::repairOwnerID(platform::VolumeTree& tree) const {
  return applyAlone(*this, tree, {static_cast<std::uint32_t>(uid()), std::nullopt, std::nullopt});
}

int QLFileSystemResource::repairGroupID(platform::VolumeTree& tree) const {
  return applyAlone(*this, tree, {std::nullopt, static_cast<std::uint32_t>(gid()), std::nullopt});
}

int QLFileSystemResource::repairPOSIXPermissions(platform::VolumeTree& tree) const {
  return applyAlone(*this, tree, {std::nullopt, std::nullopt, permissionBits(posixpermissions())});
}

int QLFileSystemResource::verify(RZAttributeMismatch* out) const {
  const auto& entry = list_->entries_[index_];
  const auto& record = list_->record(entry);
  int count = 0;
  if (record.uid != entry.uid) out[count++] = {index_, entry.uid, Mismatch::ownerIDMismatched, Status::verified};
  if (record.gid != entry.gid) out[count++] = {index_, entry.gid, Mismatch::groupIDMismatched, Status::verified};
  // Permission digits compare as the low twelve bits: file-type bits never count.
  if ((record.mode & 07777u) != (entry.mode & 07777u))
    out[count++] = {index_, static_cast<std::uint32_t>(permissionDigits(entry.mode & 07777u)),
                    Mismatch::posixPermissionsMismatched, Status::verified};
  return count;
}

bool QLFileSystemResource::needsRepair() const {
  const auto& entry = list_->entries_[index_];
  const auto& record = list_->record(entry);
  return record.uid != entry.uid || record.gid != entry.gid || (record.mode & 07777u) != (entry.mode & 07777u);
}

bool QLFileSystemResource::announceRepair(RZChangeObserver& observer) const {
  const auto& entry = list_->entries_[index_];
  const auto& record = list_->record(entry);
  const std::uint32_t permissions = record.mode & 07777u;
  const bool ownerDiffers = record.uid != entry.uid;
  const bool groupDiffers = record.gid != entry.gid;
  bool allowed = true;
  if (ownerDiffers) allowed &= observer.willChange(*this, Mismatch::ownerIDMismatched, entry.uid, record.uid);
  if (groupDiffers) allowed &= observer.willChange(*this, Mismatch::groupIDMismatched, entry.gid, record.gid);
  // The mode is set when it differs, and set again after a new owner cleared set-id bits.
  const bool setIdAgain =
      (ownerDiffers || groupDiffers) && (permissions & 06000u) != 0 && (entry.mode & 0170000u) != 0120000u;
  if (permissions != (entry.mode & 07777u) || setIdAgain)
    allowed &= observer.willChange(*this, Mismatch::posixPermissionsMismatched, permissionDigits(entry.mode & 07777u),
                                   permissionDigits(permissions));
  return allowed;
}

int QLFileSystemResource::repair(platform::VolumeTree& tree, RZAttributeMismatch* out,
                                 RZChangeObserver* observer) const {
  bool holdBack = false;
  if (observer && needsRepair()) holdBack = !announceRepair(*observer) || !observer->commit();
  return applyRepair(tree, out, holdBack);
}

int QLFileSystemResource::applyRepair(platform::VolumeTree& tree, RZAttributeMismatch* out, bool holdBack) const {
  const auto& entry = list_->entries_[index_];
  const auto& record = list_->record(entry);
  const bool ownerDiffers = record.uid != entry.uid;
  const bool groupDiffers = record.gid != entry.gid;
  const std::uint32_t permissions = record.mode & 07777u;
  const bool modeDiffers = permissions != (entry.mode & 07777u);
  if (!ownerDiffers && !groupDiffers && !modeDiffers) return 0;  // the usual case
  thread_local std::string relative;
  relative.clear();
  appendRelativePath(relative);

  int count = 0;
  const auto add = [&](Mismatch type, std::uint32_t current, int error) {
    out[count++] = {index_, current, type, error == 0 ? Status::fixed : Status::failed};
  };
  int ownerError = 0;
  int groupError = 0;
  if (ownerDiffers && groupDiffers) {
    // One call sets both; only a failure needs them apart, to tell which one failed.
    if (apply(tree, relative, {record.uid, record.gid, std::nullopt}, holdBack) != 0) {
      ownerError = apply(tree, relative, {record.uid, std::nullopt, std::nullopt}, holdBack);
      groupError = apply(tree, relative, {std::nullopt, record.gid, std::nullopt}, holdBack);
    }
  } else if (ownerDiffers) {
    ownerError = apply(tree, relative, {record.uid, std::nullopt, std::nullopt}, holdBack);
  } else if (groupDiffers) {
    groupError = apply(tree, relative, {std::nullopt, record.gid, std::nullopt}, holdBack);
  }
  if (ownerDiffers) add(Mismatch::ownerIDMismatched, entry.uid, ownerError);
  if (groupDiffers) add(Mismatch::groupIDMismatched, entry.gid, groupError);

  const auto currentDigits = static_cast<std::uint32_t>(permissionDigits(entry.mode & 07777u));
  if (modeDiffers) {
    add(Mismatch::posixPermissionsMismatched, currentDigits,
        apply(tree, relative, {std::nullopt, std::nullopt, permissions}, holdBack));
  } else if (((ownerDiffers && ownerError == 0) || (groupDiffers && groupError == 0)) && (permissions & 06000u) != 0 &&
             (entry.mode & 0170000u) != 0120000u) {
    // Changing the owner or group of a file clears its set-user-id and set-group-id bits;
    // the prescribed mode was right before and must be right after.
    if (const int error = apply(tree, relative, {std::nullopt, std::nullopt, permissions}, holdBack); error != 0)
      add(Mismatch::posixPermissionsMismatched, currentDigits, error);
  }
  return count;
}

std::vector<QLRepairPermissionsResult> QLFileSystemResource::verify() const {
  RZAttributeMismatch found[3];
  const int count = verify(found);
  std::vector<QLRepairPermissionsResult> results;
  for (int i = 0; i < count; ++i)
    results.emplace_back(QLRepairPermissionsJobType::verifyPermissions, list_->shared_from_this(), found[i]);
  return results;
}

std::vector<QLRepairPermissionsResult> QLFileSystemResource::repair(platform::VolumeTree& tree,
                                                                    RZChangeObserver* observer) const {
  RZAttributeMismatch found[3];
  const int count = repair(tree, found, observer);
  std::vector<QLRepairPermissionsResult> results;
  for (int i = 0; i < count; ++i)
    results.emplace_back(QLRepairPermissionsJobType::repairPermissions, list_->shared_from_this(), found[i]);
  return results;
}

}  // namespace tarnix
