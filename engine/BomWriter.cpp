#include "engine/BomWriter.h"

#include <algorithm>
#include <cerrno>
#include <limits>
#include <string_view>
#include <utility>

#include "platform/Files.h"

namespace tarnix {
namespace {

// The header's fields padded to the block where the variables begin, as Apple's tools write it.
constexpr std::uint32_t kHeaderBlockSize = 512;
constexpr std::uint32_t kNodeSize = 4096;
constexpr std::uint32_t kMaxNodeEntries = (kNodeSize - 12) / 8;  // 510
constexpr std::uint32_t kVIndexNodeSize = 128;
// Apple's tools start with a block index of this many slots and leave the unused ones null.
constexpr std::uint32_t kMinBlockSlots = 2730;

// The fixed blocks, numbered the way Apple's tools number them.
enum FixedBlock : std::uint32_t {
  kBomInfo = 1,
  kPathsTree = 2,
  kFirstPathsLeaf = 3,
  kHLIndexTree = 4,
  kHLIndexLeaf = 5,
  kVIndex = 6,
  kVIndexTree = 7,
  kVIndexLeaf = 8,
  kSize64Tree = 9,
  kSize64Leaf = 10,
  kFirstEntryBlock = 11,  // then attributes, name and info of each entry in turn
};

void put8(std::string& out, std::uint8_t value) { out.push_back(static_cast<char>(value)); }
void put16(std::string& out, std::uint16_t value) {
  put8(out, static_cast<std::uint8_t>(value >> 8));
  put8(out, static_cast<std::uint8_t>(value));
}
void put32(std::string& out, std::uint32_t value) {
  put16(out, static_cast<std::uint16_t>(value >> 16));
  put16(out, static_cast<std::uint16_t>(value));
}

std::uint32_t attributeBlock(std::size_t index) { return kFirstEntryBlock + 3 * static_cast<std::uint32_t>(index); }
std::uint32_t nameBlock(std::size_t index) { return attributeBlock(index) + 1; }
std::uint32_t infoBlock(std::size_t index) { return attributeBlock(index) + 2; }

// Record type byte of an attribute record, from the file-type bits of the mode.
std::uint8_t recordType(std::uint16_t mode) {
  switch (mode & 0170000) {
    case 0040000: return 2;  // directory
    case 0120000: return 3;  // link
    case 0020000:
    case 0060000: return 4;  // device
    default: return 1;       // file
  }
}

// A child in the tree under construction: its block and the key block of its last entry.
struct Child {
  std::uint32_t block = 0;
  std::uint32_t lastKey = 0;
};
struct Inner {
  std::uint32_t block = 0;
  std::vector<Child> children;
};

// Blocks appended back to back after the header; the index remembers where each one went.
class Body {
 public:
  explicit Body(std::size_t blocks) : index_(blocks + 1, {0, 0}) {}
  std::string& out() { return out_; }
  void begin(std::uint32_t id) {
    current_ = id;
    start_ = out_.size();
  }
  void end(std::uint32_t padTo = 0) {
    if (out_.size() - start_ < padTo) out_.resize(start_ + padTo, '\0');
    index_[current_] = {start_, out_.size() - start_};
  }
  const std::vector<std::pair<std::size_t, std::size_t>>& index() const { return index_; }

 private:
  std::string out_;
  std::vector<std::pair<std::size_t, std::size_t>> index_;  // offset in out_, length
  std::uint32_t current_ = 0;
  std::size_t start_ = 0;
};

void writeTreeHeader(Body& body, std::uint32_t id, std::uint32_t root, std::uint32_t nodeSize, std::uint32_t entries) {
  body.begin(id);
  body.out().append("tree", 4);
  put32(body.out(), 1);
  put32(body.out(), root);
  put32(body.out(), nodeSize);
  put32(body.out(), entries);
  put8(body.out(), 0);
  body.end();
}

void writeEmptyLeaf(Body& body, std::uint32_t id, std::uint32_t nodeSize) {
  body.begin(id);
  put16(body.out(), 1);
  body.end(nodeSize);
}

}  // namespace

void BomWriter::addEntry(Entry entry) {
  if (entry.id >= nextId_ && entry.id != std::numeric_limits<std::uint32_t>::max()) nextId_ = entry.id + 1;
  entries_.push_back(std::move(entry));
}

bool BomWriter::addPath(const std::string& path, std::uint16_t mode, std::uint32_t uid, std::uint32_t gid,
                        std::uint32_t size, const std::string& linkTarget) {
  if (path.empty() || pathIds_.count(path) != 0) return false;
  std::uint32_t parent = 0;
  std::string name = path;
  if (const auto slash = path.rfind('/'); slash != std::string::npos) {
    const auto it = pathIds_.find(path.substr(0, slash));
    if (it == pathIds_.end()) return false;
    parent = it->second;
    name = path.substr(slash + 1);
  }
  if (name.empty()) return false;
  Entry entry;
  entry.id = nextId_;
  entry.parent = parent;
  entry.name = std::move(name);
  entry.mode = mode;
  entry.uid = uid;
  entry.gid = gid;
  entry.size = size == 0 && !linkTarget.empty() ? static_cast<std::uint32_t>(linkTarget.size()) : size;
  entry.linkTarget = linkTarget;
  pathIds_.emplace(path, entry.id);
  addEntry(std::move(entry));
  return true;
}

void BomWriter::setEntriesPerLeaf(std::uint32_t entriesPerLeaf) {
  entriesPerLeaf_ = std::clamp<std::uint32_t>(entriesPerLeaf, 1, kMaxNodeEntries);
}

std::string BomWriter::serialize() const {
  const std::size_t n = entries_.size();
  const std::uint32_t perLeaf = entriesPerLeaf_;
  // Three children at least, so that spreading them evenly never leaves a node with one.
  const std::uint32_t fanout = std::max<std::uint32_t>(3, perLeaf);

  // Leaves are filled in the caller's order; an empty tree still has one (empty) leaf.
  const std::size_t leafCount = n == 0 ? 1 : (n + perLeaf - 1) / perLeaf;
  std::uint32_t nextBlock = attributeBlock(n);
  std::vector<Child> level;
  level.reserve(leafCount);
  for (std::size_t leaf = 0; leaf < leafCount; ++leaf) {
    const std::size_t last = std::min<std::size_t>(n, (leaf + 1) * perLeaf);
    level.push_back({leaf == 0 ? std::uint32_t{kFirstPathsLeaf} : nextBlock++, n == 0 ? 0u : nameBlock(last - 1)});
  }
  const std::vector<Child> leaves = level;

  // Inner levels above the leaves, children spread evenly over as few nodes as possible.
  std::vector<Inner> inner;
  while (level.size() > 1) {
    const std::size_t groups = (level.size() + fanout - 1) / fanout;
    std::vector<Child> above;
    std::size_t start = 0;
    for (std::size_t g = 0; g < groups; ++g) {
      const std::size_t take = level.size() / groups + (g < level.size() % groups ? 1 : 0);
      Inner node{nextBlock++,
                 {level.begin() + static_cast<std::ptrdiff_t>(start),
                  level.begin() + static_cast<std::ptrdiff_t>(start + take)}};
      start += take;
      above.push_back({node.block, node.children.back().lastKey});
      inner.push_back(std::move(node));
    }
    level = std::move(above);
  }
  const std::uint32_t root = level.front().block;
  const std::uint32_t blockCount = nextBlock - 1;

  Body body(blockCount);
  std::string& out = body.out();
  out.reserve(n * 72 + (leaves.size() + inner.size()) * kNodeSize + 4096);

  std::uint64_t totalSize = 0;
  for (const auto& entry : entries_) totalSize += entry.size;
  body.begin(kBomInfo);
  put32(out, 1);
  put32(out, static_cast<std::uint32_t>(n + 1));
  put32(out, 1);  // one architecture record, for "any"
  put32(out, 0);
  put32(out, 0);
  put32(out, static_cast<std::uint32_t>(std::min<std::uint64_t>(totalSize, std::numeric_limits<std::uint32_t>::max())));
  put32(out, 0);
  body.end();

  writeTreeHeader(body, kPathsTree, root, kNodeSize, static_cast<std::uint32_t>(n));
  writeTreeHeader(body, kHLIndexTree, kHLIndexLeaf, kNodeSize, 0);
  writeEmptyLeaf(body, kHLIndexLeaf, kNodeSize);
  body.begin(kVIndex);
  put32(out, 1);
  put32(out, kVIndexTree);
  put32(out, 0);
  put8(out, 0);
  body.end();
  writeTreeHeader(body, kVIndexTree, kVIndexLeaf, kVIndexNodeSize, 0);
  writeEmptyLeaf(body, kVIndexLeaf, kVIndexNodeSize);
  writeTreeHeader(body, kSize64Tree, kSize64Leaf, kNodeSize, 0);
  writeEmptyLeaf(body, kSize64Leaf, kNodeSize);

  for (std::size_t i = 0; i < n; ++i) {
    const Entry& entry = entries_[i];
    const std::uint8_t type = recordType(entry.mode);
    body.begin(attributeBlock(i));
    put8(out, type);
    put8(out, 1);
    put16(out, 0x000f);
    put16(out, entry.mode);
    put32(out, entry.uid);
    put32(out, entry.gid);
    put32(out, 0);  // mtime
    put32(out, entry.size);
    put8(out, 1);
    if (type == 1) {
      put32(out, 0);  // checksum
    } else if (type == 3) {
      put32(out, 0);  // checksum
      put32(out, static_cast<std::uint32_t>(entry.linkTarget.size() + 1));
      out.append(entry.linkTarget);
      put8(out, 0);
    } else if (type == 4) {
      put32(out, 0);  // device number
    }
    out.append(8, '\0');
    body.end();

    body.begin(nameBlock(i));
    put32(out, entry.parent);
    out.append(entry.name);
    put8(out, 0);
    body.end();

    body.begin(infoBlock(i));
    put32(out, entry.id);
    put32(out, attributeBlock(i));
    body.end();
  }

  for (std::size_t leaf = 0; leaf < leaves.size(); ++leaf) {
    const std::size_t first = std::min<std::size_t>(n, leaf * perLeaf);
    const std::size_t last = std::min<std::size_t>(n, (leaf + 1) * perLeaf);
    body.begin(leaves[leaf].block);
    put16(out, 1);
    put16(out, static_cast<std::uint16_t>(last - first));
    put32(out, leaf + 1 < leaves.size() ? leaves[leaf + 1].block : 0);
    put32(out, leaf > 0 ? leaves[leaf - 1].block : 0);
    for (std::size_t i = first; i < last; ++i) {
      put32(out, infoBlock(i));
      put32(out, nameBlock(i));
    }
    body.end(kNodeSize);
  }
  // k separators and k + 1 children: the last child sits in entry k with key 0.
  for (const Inner& node : inner) {
    body.begin(node.block);
    put16(out, 0);
    put16(out, static_cast<std::uint16_t>(node.children.size() - 1));
    put32(out, 0);
    put32(out, 0);
    for (std::size_t c = 0; c < node.children.size(); ++c) {
      put32(out, node.children[c].block);
      put32(out, c + 1 < node.children.size() ? node.children[c].lastKey : 0);
    }
    body.end(kNodeSize);
  }

  // Header, variables, the blocks, then the block index with an empty free list.
  static constexpr std::pair<std::uint32_t, std::string_view> kVariables[] = {{kBomInfo, "BomInfo"},
                                                                              {kPathsTree, "Paths"},
                                                                              {kHLIndexTree, "HLIndex"},
                                                                              {kVIndex, "VIndex"},
                                                                              {kSize64Tree, "Size64"}};
  std::string vars;
  put32(vars, static_cast<std::uint32_t>(std::size(kVariables)));
  for (const auto& [block, name] : kVariables) {
    put32(vars, block);
    put8(vars, static_cast<std::uint8_t>(name.size()));
    vars.append(name);
  }
  const std::size_t bodyStart = kHeaderBlockSize + vars.size();
  const std::size_t tableOffset = bodyStart + out.size();
  const std::uint32_t slots = std::max<std::uint32_t>(kMinBlockSlots, blockCount + 1);
  const std::size_t tableLength = 4 + std::size_t{slots} * 8 + 4 + 16;
  if (tableOffset + tableLength > std::numeric_limits<std::uint32_t>::max()) return {};

  std::string file;
  file.reserve(tableOffset + tableLength);
  file.append("BOMStore", 8);
  put32(file, 1);
  put32(file, blockCount);
  put32(file, static_cast<std::uint32_t>(tableOffset));
  put32(file, static_cast<std::uint32_t>(tableLength));
  put32(file, kHeaderBlockSize);
  put32(file, static_cast<std::uint32_t>(vars.size()));
  file.resize(kHeaderBlockSize, '\0');
  file.append(vars);
  file.append(out);
  put32(file, slots);
  const auto& index = body.index();
  for (std::uint32_t id = 0; id < slots; ++id) {
    if (id < index.size() && index[id].second != 0) {
      put32(file, static_cast<std::uint32_t>(bodyStart + index[id].first));
      put32(file, static_cast<std::uint32_t>(index[id].second));
    } else {
      put32(file, 0);
      put32(file, 0);
    }
  }
  put32(file, 0);         // free list: no holes
  file.append(16, '\0');  // and the two null pairs that follow it
  return file;
}

int BomWriter::writeTo(const std::string& path) const {
  const std::string bytes = serialize();
  if (bytes.empty()) return EFBIG;
  return platform::writeFile(path, bytes);
}

}  // namespace tarnix
