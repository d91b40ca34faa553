#include "engine/RZBomParser.h"

#include <cstring>
#include <limits>
#include <new>
#include <optional>
#include <unordered_map>

#include "platform/Files.h"

namespace tarnix {
namespace {

// "BOMStore", the version and the counts and offsets that locate the block table and variables.
constexpr std::size_t kHeaderFieldsSize = 32;
// A BOM of a few million entries is a few hundred MiB; nothing real comes near this.
constexpr std::size_t kMaxFileSize = std::size_t{2} << 30;
// No system accepts longer paths; a longer one is built by a hostile chain of names.
constexpr std::size_t kMaxPathLength = 32 * 1024;
static_assert(kMaxPathLength <= RZRecordTable::kMaxTextLength);
// While a mapped file is read its pages stay mapped; they are let go every so many records so
// that only the part being read is held (a whole system's BOM is about 100 MB).
constexpr std::uint32_t kRecordsBetweenReleases = 1u << 16;

// Bounds-checked big-endian view of the whole file.
class Store {
 public:
  explicit Store(std::string_view bytes) : bytes_(bytes) {}

  bool has(std::uint64_t offset, std::uint64_t length) const {
    return offset <= bytes_.size() && length <= bytes_.size() - offset;
  }
  std::uint32_t u32(std::uint64_t offset) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + offset);
    return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
  }
  std::uint16_t u16(std::uint64_t offset) const {
    const auto* p = reinterpret_cast<const unsigned char*>(bytes_.data() + offset);
    return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
  }
  const char* at(std::uint64_t offset) const { return bytes_.data() + offset; }
  std::size_t size() const { return bytes_.size(); }

  // The block index: entry i at tableOffset + 4 + 8i. The whole index must lie in the file:
  // a store cut short loses its index first, since the index comes last.
  bool setBlockTable(std::uint64_t tableOffset) {
    if (!has(tableOffset, 4)) return false;
    tableOffset_ = tableOffset;
    blockCount_ = u32(tableOffset);
    return has(tableOffset + 4, blockCount_ * 8);
  }
  std::uint64_t blockCount() const { return blockCount_; }

  // Offset of block `id` when `length` bytes of it lie inside the file.
  std::optional<std::uint64_t> block(std::uint32_t id, std::uint64_t length) const {
    if (id >= blockCount_) return std::nullopt;
    const std::uint64_t offset = u32(tableOffset_ + 4 + 8 * std::uint64_t{id});
    if (!has(offset, length)) return std::nullopt;
    return offset;
  }

 private:
  std::string_view bytes_;
  std::uint64_t tableOffset_ = 0;
  std::uint64_t blockCount_ = 0;
};

// What is known of one entry id while the paths are rebuilt. Kept small: one per id.
struct Node {
  std::uint32_t nameOffset = 0;  // into the file
  std::uint32_t parent = 0;
  // When every name of its chain was known, `record` is the record whose path is this id's:
  // children then extend that record instead of walking the chain again. Valid only in the
  // epoch it was made in.
  std::uint32_t epoch = 0;
  std::uint32_t record = 0;
  std::uint16_t nameLength = 0;
  std::uint16_t pathLength = 0;
  bool present = false;  // the id has been looked up
  bool named = false;    // a record with this id has been read
  bool hasParent = false;
  bool cached = false;
};
static_assert(sizeof(Node) == 24);

// Ids of real stores are small and dense; a vector serves them, a map the rest.
class Nodes {
 public:
  explicit Nodes(std::uint32_t expected) : dense_(std::uint64_t{expected} + expected / 4 + 1024) {}
  Node& operator[](std::uint32_t id) {
    Node* node;
    if (id < dense_.size()) {
      node = &dense_[id];
    } else {
      node = &sparse_[id];
    }
    if (!node->present) {
      node->present = true;
      ++size_;
    }
    return *node;
  }
  Node* find(std::uint32_t id) {
    if (id < dense_.size()) return dense_[id].present ? &dense_[id] : nullptr;
    auto it = sparse_.find(id);
    return it == sparse_.end() ? nullptr : &it->second;
  }
  std::size_t size() const { return size_; }

 private:
  std::vector<Node> dense_;
  std::unordered_map<std::uint32_t, Node> sparse_;  // references stay valid as it grows
  std::size_t size_ = 0;
};

struct Leaf {
  std::uint64_t offset;
  std::uint16_t entries;
};

// The leaves of the "Paths" tree in order, or nothing when the tree is malformed.
std::optional<std::vector<Leaf>> collectLeaves(const Store& store, std::uint32_t treeBlock) {
  const auto tree = store.block(treeBlock, 12);
  if (!tree) return std::nullopt;
  std::uint32_t nodeId = store.u32(*tree + 8);
  // Descend through the leftmost children; a tree deeper than the block count loops.
  std::uint64_t steps = 0;
  std::optional<std::uint64_t> node;
  for (;;) {
    node = store.block(nodeId, 12);
    if (!node) return std::nullopt;
    if (store.u16(*node) != 0) break;
    if (!store.has(*node + 12, 4) || ++steps > store.blockCount()) return std::nullopt;
    nodeId = store.u32(*node + 12);
  }
  std::vector<Leaf> leaves;
  std::uint64_t total = 0;
  for (;;) {
    const std::uint16_t k = store.u16(*node + 2);
    if (!store.has(*node, 12 + 8 * std::uint64_t{k})) return std::nullopt;
    total += k;
    // Every entry takes 8 bytes of some leaf: leaves that overlap or repeat cannot announce
    // more records than that, which would only make the allocations below huge.
    if (total > store.size() / 8) return std::nullopt;
    leaves.push_back({*node, k});
    // A forward chain longer than the block count has a loop in it.
    if (leaves.size() > store.blockCount()) return std::nullopt;
    const std::uint32_t next = store.u32(*node + 4);
    if (next == 0) break;
    node = store.block(next, 12);
    if (!node) return std::nullopt;
  }
  return leaves;
}

}  // namespace

RZBomParser::RZBomParser(std::string fileName) : fileName_(std::move(fileName)) {}

int RZBomParser::parse() {
  auto file = platform::mapFile(fileName_, kMaxFileSize);
  if (!file) return unreadable;
  return parseMapped(std::move(file));
}

int RZBomParser::parseBytes(std::string bytes) {
  mapped_.reset();
  buffer_ = std::move(bytes);
  data_ = buffer_;
  return finish(parseBufferSafely());
}

int RZBomParser::parseMapped(std::unique_ptr<platform::MappedFile> file) {
  buffer_.clear();
  mapped_ = std::move(file);
  data_ = mapped_ ? mapped_->bytes() : std::string_view();
  return finish(parseBufferSafely());
}

int RZBomParser::parseBufferSafely() {
  // A fresh table: the previous one may be shared with resources made from it.
  records_ = std::make_shared<RZRecordTable>();
  count_ = filled_ = 0;
  try {
    return parseBuffer();
  } catch (const std::bad_alloc&) {
    return notABomStore;  // a store announcing more than memory holds is not usable
  }
}

int RZBomParser::finish(int code) {
  if (code != success) {
    records_->clear();
    count_ = filled_ = 0;
  }
  // The records hold copies of everything they need from the file.
  data_ = {};
  mapped_.reset();
  buffer_ = std::string();
  return code;
}

int RZBomParser::parseBuffer() {
  const Store store(data_);
  if (store.size() < kHeaderFieldsSize || std::memcmp(store.at(0), "BOMStore", 8) != 0 || *store.at(8) != 0)
    return notABomStore;
  Store indexed = store;
  if (!indexed.setBlockTable(store.u32(16))) return notABomStore;
  const std::uint64_t varsOffset = store.u32(24);
  if (!store.has(varsOffset, 4)) return notABomStore;
  const std::uint32_t variables = store.u32(varsOffset);

  std::uint64_t position = varsOffset + 4;
  bool pathsRead = false;
  for (std::uint32_t v = 0; v < variables; ++v) {
    if (!store.has(position, 5)) return notABomStore;
    const std::uint32_t blockId = store.u32(position);
    const std::uint8_t varNameLength = static_cast<std::uint8_t>(*store.at(position + 4));
    if (!store.has(position + 5, varNameLength)) return notABomStore;
    const std::string_view name(store.at(position + 5), varNameLength);
    position += 5 + std::uint64_t{varNameLength};
    // Only the first "Paths" tree is read; a second one has no meaning.
    if (name != "Paths" || pathsRead) continue;
    pathsRead = true;

    const auto leaves = collectLeaves(indexed, blockId);
    if (!leaves) return notABomStore;
    std::uint64_t total = 0;
    for (const auto& leaf : *leaves) total += leaf.entries;
    count_ = static_cast<std::uint32_t>(total);
    records_->reserve(count_);

    Nodes nodes(count_);
    std::uint32_t epoch = 0;
    std::string path;
    // Paths come out of a real store no longer than a few times its size, and their chains
    // are walked only for entries whose parents came late. Beyond these the store is hostile
    // (every path is rebuilt again by whoever reads it).
    const std::uint64_t pathBudget = std::min<std::uint64_t>(std::uint64_t{store.size()} * 16 + (1u << 20),
                                                             std::numeric_limits<std::uint32_t>::max());
    std::uint64_t pathBytes = 0;
    std::uint64_t walkBudget = std::uint64_t{count_} * 32 + 65536;
    for (const auto& leaf : *leaves) {
      for (std::uint32_t j = 0; j < leaf.entries; ++j) {
        const std::uint32_t infoId = store.u32(leaf.offset + 12 + 8 * std::uint64_t{j});
        const std::uint32_t nameId = store.u32(leaf.offset + 16 + 8 * std::uint64_t{j});
        const auto nameRecord = indexed.block(nameId, 5);
        const auto infoRecord = indexed.block(infoId, 8);
        if (!nameRecord || !infoRecord) return notABomStore;
        const char* nameStart = store.at(*nameRecord + 4);
        const void* nul = std::memchr(nameStart, 0, store.size() - (*nameRecord + 4));
        if (!nul) return notABomStore;
        const auto nameLength = static_cast<std::size_t>(static_cast<const char*>(nul) - nameStart);
        if (nameLength > kMaxPathLength) return notABomStore;
        const std::string_view ownName(nameStart, nameLength);
        const std::uint32_t parentId = store.u32(*nameRecord);
        const std::uint32_t entryId = store.u32(*infoRecord);
        const auto attributes = indexed.block(store.u32(*infoRecord + 4), 14);
        if (!attributes) return notABomStore;
        const std::uint16_t mode = store.u16(*attributes + 4);
        const std::uint32_t uid = store.u32(*attributes + 6);
        const std::uint32_t gid = store.u32(*attributes + 10);

        Node& node = nodes[entryId];
        if (node.named) ++epoch;  // a redefined id changes the paths below it
        node.named = true;
        node.nameOffset = static_cast<std::uint32_t>(*nameRecord + 4);
        node.nameLength = static_cast<std::uint16_t>(nameLength);
        if (parentId != 0) {
          node.parent = parentId;
          node.hasParent = true;
        }

        // The path from the names seen so far: the parent's record and this name when the
        // parent's path is known, else the whole text, walked up the chain.
        bool complete = true;
        std::size_t pathLength = 0;
        bool added = false;
        Node* parent = node.hasParent ? nodes.find(node.parent) : nullptr;
        if (parent && parent->cached && parent->epoch == epoch) {
          pathLength = std::size_t{parent->pathLength} + 1 + nameLength;
          if (pathLength > kMaxPathLength) return notABomStore;
          added = records_->add(parent->record, ownName, mode, uid, gid);
        } else {
          path.assign(ownName);
          if (node.hasParent) {
            std::size_t steps = 0;
            for (Node* current = &node; current->hasParent;) {
              if (++steps > nodes.size() + 1) return notABomStore;  // the chain loops
              if (walkBudget-- == 0) return notABomStore;
              Node& up = nodes[current->parent];  // an unseen parent gets an empty name
              if (!up.named) complete = false;
              path.insert(0, 1, '/');
              path.insert(0, store.at(up.nameOffset), up.nameLength);
              if (path.size() > kMaxPathLength) return notABomStore;
              current = &up;
            }
          }
          pathLength = path.size();
          added = records_->add(RZRecordTable::kNoParent, path, mode, uid, gid);
        }
        pathBytes += pathLength + 1;
        if (!added || pathBytes > pathBudget) return notABomStore;
        node.cached = complete;
        node.epoch = epoch;
        node.record = filled_;
        node.pathLength = static_cast<std::uint16_t>(pathLength);
        ++filled_;
        if (mapped_ && filled_ % kRecordsBetweenReleases == 0) mapped_->releasePages();
      }
    }
  }
  return success;
}

RZBomParserWrapper::RZBomParserWrapper(std::string fileName) : parser_(std::move(fileName)) {}

std::unique_ptr<RZBomParserWrapper> RZBomParserWrapper::initWithFileName(std::string fileName) {
  return std::make_unique<RZBomParserWrapper>(std::move(fileName));
}

bool RZBomParserWrapper::parse() { return adopt(parser_.parse()); }

bool RZBomParserWrapper::parseBytes(std::string bytes) { return adopt(parser_.parseBytes(std::move(bytes))); }

bool RZBomParserWrapper::parseMapped(std::unique_ptr<platform::MappedFile> file) {
  return adopt(parser_.parseMapped(std::move(file)));
}

bool RZBomParserWrapper::adopt(int code) {
  if (code != RZBomParser::success) return false;
  count_ = parser_.count();
  results_ = parser_.results();
  return true;
}

}  // namespace tarnix
