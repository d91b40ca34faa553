#pragma once
// The records of a BOM with the text of their paths, kept small: a record's path is its
// parent record's path, a slash and its own name, so each record stores one name instead of
// its whole path (a million records take about 35 MB instead of 90).
#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

namespace tarnix {

// One entry of a BOM's "Paths" tree with the owner, group and mode its receipt prescribes.
struct RZFileSystemResource {
  std::uint32_t parent = 0;  // the record whose path this one extends, or RZRecordTable::kNoParent
  std::uint32_t text = 0;    // where the record's own text lies in its table
  std::uint16_t textLength = 0;
  std::uint16_t mode = 0;  // file type and permission bits, e.g. 0100644
  std::uint32_t uid = 0;
  std::uint32_t gid = 0;
};
static_assert(sizeof(RZFileSystemResource) == 20);

class RZRecordTable {
 public:
  static constexpr std::uint32_t kNoParent = 0xFFFFFFFF;
  static constexpr std::size_t kMaxTextLength = 0xFFFF;

  RZRecordTable() = default;
  RZRecordTable(const RZRecordTable&) = delete;
  RZRecordTable& operator=(const RZRecordTable&) = delete;

  std::uint32_t count() const { return static_cast<std::uint32_t>(records_.size()); }
  const RZFileSystemResource* data() const { return records_.empty() ? nullptr : records_.data(); }
  const RZFileSystemResource& operator[](std::uint32_t index) const { return records_[index]; }

  // The record's own text: its name, or its whole path when it has no parent.
  std::string_view text(std::uint32_t index) const;
  // Appends the record's path ("./System/Library") to `out`.
  void appendPath(std::uint32_t index, std::string& out) const;
  std::string path(std::uint32_t index) const;

  void reserve(std::uint32_t count) { records_.reserve(count); }
  // Adds a record whose path is its parent's path, "/" and `text`, or `text` alone without a
  // parent. False when the parent is not an earlier record, or the text is longer than
  // kMaxTextLength or than the table can hold (4 GiB in all).
  bool add(std::uint32_t parent, std::string_view text, std::uint16_t mode, std::uint32_t uid, std::uint32_t gid);
  void clear();

 private:
  static constexpr unsigned kBlockShift = 20;  // texts live in blocks of 1 MiB that never move

  std::vector<RZFileSystemResource> records_;
  std::vector<std::unique_ptr<char[]>> blocks_;
  std::uint32_t used_ = 0;  // bytes taken in the last block
};

}  // namespace tarnix
