#pragma once
// Writes BOM stores shaped like the ones Apple's tools make: a 512-byte header, a block
// index, the variables BomInfo, Paths, HLIndex, VIndex and Size64, and a "Paths" B-tree of
// 4096-byte nodes with up to 510 entries per leaf, inner nodes above as many leaves as needed.
// Used by tests and by the sample volume.
#include <cstdint>
#include <string>
#include <unordered_map>
#include <vector>

namespace tarnix {

class BomWriter {
 public:
  struct Entry {
    std::uint32_t id = 0;
    std::uint32_t parent = 0;  // 0 = no parent
    std::string name;
    std::uint16_t mode = 0;
    std::uint32_t uid = 0;
    std::uint32_t gid = 0;
    std::uint32_t size = 0;
    std::string linkTarget;  // for links
  };

  // Entries in leaf order. Ids must be unique and non-zero.
  void addEntry(Entry entry);
  // Convenience: a path such as "." or "./System/Library", whose parent path was added
  // before; ids are given in order. Answers false when the parent is unknown, the path was
  // added before or its last name is empty. A link's size defaults to its target's length.
  bool addPath(const std::string& path, std::uint16_t mode, std::uint32_t uid, std::uint32_t gid,
               std::uint32_t size = 0, const std::string& linkTarget = {});

  // At most `entriesPerLeaf` (1 to 510) entries in each leaf, and at most that many children
  // (but at least 3) in each inner node; small values make deep trees.
  void setEntriesPerLeaf(std::uint32_t entriesPerLeaf);

  std::string serialize() const;
  // Answers an errno value, 0 on success.
  int writeTo(const std::string& path) const;

  std::size_t size() const { return entries_.size(); }

 private:
  std::vector<Entry> entries_;
  std::unordered_map<std::string, std::uint32_t> pathIds_;  // for addPath
  std::uint32_t nextId_ = 1;
  std::uint32_t entriesPerLeaf_ = 510;
};

}  // namespace tarnix
