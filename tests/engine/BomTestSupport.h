#pragma once
// Reading and patching BOM stores byte by byte, independently of the reader under test, so
// that tests can check the writer's layout and craft damaged stores from valid ones.
#include <cstdint>
#include <string>
#include <vector>

#include "engine/BomWriter.h"
#include "engine/RZBomParser.h"

namespace tarnix::test {

inline std::uint32_t be32(const std::string& bytes, std::size_t offset) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
  return std::uint32_t{p[0]} << 24 | std::uint32_t{p[1]} << 16 | std::uint32_t{p[2]} << 8 | p[3];
}
inline std::uint16_t be16(const std::string& bytes, std::size_t offset) {
  const auto* p = reinterpret_cast<const unsigned char*>(bytes.data() + offset);
  return static_cast<std::uint16_t>(p[0] << 8 | p[1]);
}
inline void put32At(std::string& bytes, std::size_t offset, std::uint32_t value) {
  for (int i = 0; i < 4; ++i) bytes[offset + i] = static_cast<char>(value >> (24 - 8 * i));
}
inline void put16At(std::string& bytes, std::size_t offset, std::uint16_t value) {
  bytes[offset] = static_cast<char>(value >> 8);
  bytes[offset + 1] = static_cast<char>(value);
}
inline std::string be32String(std::uint32_t value) {
  std::string out(4, '\0');
  put32At(out, 0, value);
  return out;
}

// A view of a store's block index, for finding and moving blocks.
struct BomLayout {
  explicit BomLayout(const std::string& store) : bytes(store) {}
  const std::string& bytes;
  std::size_t table() const { return be32(bytes, 16); }
  std::size_t vars() const { return be32(bytes, 24); }
  std::uint32_t slots() const { return be32(bytes, table()); }
  std::size_t entryOffset(std::uint32_t id) const { return table() + 4 + 8 * std::size_t{id}; }
  std::uint32_t offset(std::uint32_t id) const { return be32(bytes, entryOffset(id)); }
  std::uint32_t length(std::uint32_t id) const { return be32(bytes, entryOffset(id) + 4); }
  std::uint32_t pathsTree() const { return be32(bytes, vars() + 4 + 5 + 7); }  // after BomInfo
  std::uint32_t root() const { return be32(bytes, offset(pathsTree()) + 8); }
};

// The writer's fixed numbering: attributes, name and info of entry i follow block 10.
inline std::uint32_t attributeBlockOf(std::size_t i) { return 11 + 3 * static_cast<std::uint32_t>(i); }
inline std::uint32_t nameBlockOf(std::size_t i) { return 12 + 3 * static_cast<std::uint32_t>(i); }
inline std::uint32_t infoBlockOf(std::size_t i) { return 13 + 3 * static_cast<std::uint32_t>(i); }
inline constexpr std::uint32_t kFirstLeaf = 3;

struct BomRecord {
  std::string path;
  std::uint16_t mode = 0;
  std::uint32_t uid = 0;
  std::uint32_t gid = 0;
  bool operator==(const BomRecord&) const = default;
};

inline std::ostream& operator<<(std::ostream& out, const BomRecord& r) {
  return out << r.path << " " << std::oct << r.mode << std::dec << " " << r.uid << "/" << r.gid;
}

// Parses bytes with a fresh wrapper: the records, or false.
struct Parsed {
  bool ok = false;
  std::vector<BomRecord> records;
  bool resultsNull = true;
};
inline Parsed parseStore(const std::string& bytes) {
  RZBomParserWrapper wrapper("");
  Parsed parsed;
  parsed.ok = wrapper.parseBytes(bytes);
  parsed.resultsNull = wrapper.results() == nullptr;
  for (std::uint32_t i = 0; i < wrapper.count(); ++i) {
    const auto& r = wrapper.results()[i];
    parsed.records.push_back({wrapper.path(i), r.mode, r.uid, r.gid});
  }
  return parsed;
}

}  // namespace tarnix::test
