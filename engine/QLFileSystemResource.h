#pragma once
// The items of a target volume with the owner, group and permissions their receipts prescribe
// and the attributes the disk reported when each item was made.
//
// A volume has hundreds of thousands of items, so they live together in one QLResourceList:
// an item is a record number (its path and prescription stay in the BOM's record table) and
// the three attributes read from disk, sixteen bytes in all. QLFileSystemResource is a handle
// on one of them.
#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "engine/RZChangeObserver.h"
#include "engine/RZRecordTable.h"
#include "engine/results/QLRepairPermissionsTypes.h"
#include "platform/VolumeTree.h"

namespace tarnix {

class QLRepairPermissionsResult;
class QLResourceList;
struct RZAttributeMismatch;

// One item of the list that holds it; valid while that list lives. Cheap to copy.
class QLFileSystemResource {
 public:
  QLFileSystemResource(const QLResourceList& list, std::uint32_t index) : list_(&list), index_(index) {}

  // The absolute path as the running system sees it: mount point + the BOM path without its
  // leading dot ("//System" for "/", the mount point itself for the BOM's root entry).
  std::string path() const;
  // The same path relative to the mount point, as the volume tree takes it, appended to `out`.
  void appendRelativePath(std::string& out) const;
  std::int64_t uid() const;
  std::int64_t gid() const;
  std::int64_t posixpermissions() const;  // permission digits: 4755
  platform::FileAttributes currentAttributes() const;

  std::size_t hashValue() const;
  const QLResourceList& list() const { return *list_; }
  std::uint32_t index() const { return index_; }
  bool operator==(const QLFileSystemResource& other) const { return list_ == other.list_ && index_ == other.index_; }

  // Each answers 0 or the errno of the failure.
  int repairGroupID(platform::VolumeTree& tree) const;
  int repairOwnerID(platform::VolumeTree& tree) const;
  int repairPOSIXPermissions(platform::VolumeTree& tree) const;

  std::int64_t currentOwnerID() const;
  std::int64_t currentGroupID() const;
  std::int64_t currentPOSIXPermissions() const;

  // Mismatches in the order owner, group, permissions; never touches the disk.
  std::vector<QLRepairPermissionsResult> verify() const;
  // Repairs each mismatch in that order; one result per attribute that differed. The item
  // ends with exactly the prescribed owner, group and mode, set-user-id bits included. Every
  // change is first told to `observer`, when there is one.
  std::vector<QLRepairPermissionsResult> repair(platform::VolumeTree& tree, RZChangeObserver* observer = nullptr) const;

  // The same in the compact form the managers gather: at most three, written to `out`;
  // answers how many.
  int verify(RZAttributeMismatch* out) const;
  int repair(platform::VolumeTree& tree, RZAttributeMismatch* out, RZChangeObserver* observer) const;
  // Whether the owner, group or mode differs from the prescription.
  bool needsRepair() const;
  // The two halves of a repair told to an observer, for a manager that commits the changes of
  // many items at once: tells the observer every change repair() will make (false when it
  // held one back), then makes them, or with `holdBack` reports them all failed instead.
  bool announceRepair(RZChangeObserver& observer) const;
  int applyRepair(platform::VolumeTree& tree, RZAttributeMismatch* out, bool holdBack) const;

 private:
  const QLResourceList* list_;
  std::uint32_t index_;
};

class QLResourceList : public std::enable_shared_from_this<QLResourceList> {
 public:
  // Records come from at most this many tables (receipts).
  static constexpr std::size_t kMaxTables = 0xFFFF;

  static std::shared_ptr<QLResourceList> make(std::string mountPoint);

  const std::string& mountPoint() const { return mountPoint_; }
  std::size_t size() const { return entries_.size(); }
  bool empty() const { return entries_.empty(); }
  QLFileSystemResource operator[](std::size_t index) const {
    return QLFileSystemResource(*this, static_cast<std::uint32_t>(index));
  }

  // The tables whose records the items name. Nothing when kMaxTables are there already.
  std::optional<std::uint16_t> addRecords(std::shared_ptr<const RZRecordTable> records);
  // Appends the item of `record` in table `table` with the attributes read from disk.
  void append(std::uint16_t table, std::uint32_t record, const platform::FileAttributes& current);
  void reserve(std::size_t count) { entries_.reserve(count); }
  // Appends the path of `record` in `table` without its leading dot ("/System"): the path the
  // volume tree takes, and what makes two items the same.
  void appendRelativePath(std::uint16_t table, std::uint32_t record, std::string& out) const;

  // For callers without a BOM: the item at `bomPath` ("./System") with that prescription,
  // appended when it can be read, as the package manager makes them.
  std::optional<QLFileSystemResource> add(std::string_view bomPath, std::uint32_t uid, std::uint32_t gid,
                                          std::uint32_t mode, platform::VolumeTree& tree);

  // Whether a BOM path without its leading dot names one item inside the volume: "" (the
  // root) or "/" and names, none empty, "." or "..". Anything else ("Name", from an entry
  // whose parent came later, or "/a/../b") would name something beside the volume, or one item
  // in two ways, checked under two prescriptions.
  static bool namesOneItemInTheVolume(std::string_view relative);

 private:
  friend class QLFileSystemResource;
  struct Entry {
    std::uint32_t record;
    std::uint16_t table;
    std::uint16_t mode;  // st_mode as read: file type and permission bits fit in sixteen
    std::uint32_t uid;
    std::uint32_t gid;
  };
  static_assert(sizeof(Entry) == 16);

  explicit QLResourceList(std::string mountPoint) : mountPoint_(std::move(mountPoint)) {}
  const RZFileSystemResource& record(const Entry& entry) const { return (*tables_[entry.table])[entry.record]; }

  std::string mountPoint_;
  std::vector<std::shared_ptr<const RZRecordTable>> tables_;
  std::vector<Entry> entries_;
  std::shared_ptr<RZRecordTable> ownRecords_;  // made by add()
  std::uint16_t ownTable_ = 0;
};

}  // namespace tarnix
