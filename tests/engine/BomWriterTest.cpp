// The BOM writer: what it writes reads back through our reader, and its layout has the shape
// of Apple's stores (header, variables, tree header, linked leaves, inner nodes).
#include <set>

#include "BomTestSupport.h"
#include "TestSupport.h"
#include "engine/BomWriter.h"
#include "engine/RZBomParser.h"

namespace tarnix::test {
namespace {

// Paths of a system-like tree: folders a few levels deep with files in each.
std::vector<BomRecord> systemTree(std::size_t count) {
  std::vector<BomRecord> records = {
      {".", 040755, 0, 0}, {"./System", 040755, 0, 0}, {"./System/Library", 040755, 0, 0}};
  for (std::size_t f = 0; records.size() < count; ++f) {
    const std::string folder = "./System/Library/Frameworks/Kit" + std::to_string(f) + ".framework";
    if (f == 0) records.push_back({"./System/Library/Frameworks", 040755, 0, 0});
    records.push_back({folder, 040755, 0, 0});
    records.push_back({folder + "/Resources", 040775, 0, 80});
    for (int i = 0; i < 12 && records.size() < count; ++i)
      records.push_back({folder + "/Resources/file" + std::to_string(i) + ".plist", 0100644, 0, 0});
    records.push_back({folder + "/Kit", 0120755, 0, 0});
  }
  records.resize(count);
  return records;
}

std::string write(const std::vector<BomRecord>& records, std::uint32_t perLeaf) {
  BomWriter writer;
  writer.setEntriesPerLeaf(perLeaf);
  for (const auto& r : records) {
    const bool link = (r.mode & 0170000) == 0120000;
    EXPECT_TRUE(writer.addPath(r.path, r.mode, r.uid, r.gid, 0, link ? "Versions/Current/Kit" : "")) << r.path;
  }
  EXPECT_EQ(writer.size(), records.size());
  return writer.serialize();
}

// Walks the Paths tree independently of the reader and checks the invariants of the format:
// leaves within their capacity, linked both ways in order, separators equal to the key of the
// last entry of each child, key 0 on the last child. Answers the depth and the leaves.
struct TreeShape {
  int depth = 0;
  std::vector<std::uint32_t> leaves;
};
std::uint32_t walk(const BomLayout& layout, std::uint32_t block, int depth, std::uint32_t perLeaf, TreeShape& shape) {
  const std::string& s = layout.bytes;
  const std::uint32_t at = layout.offset(block);
  EXPECT_EQ(layout.length(block), 4096u);
  const std::uint16_t k = be16(s, at + 2);
  if (be16(s, at) != 0) {
    EXPECT_LE(k, perLeaf);
    if (shape.depth == 0) shape.depth = depth;
    EXPECT_EQ(shape.depth, depth) << "leaves at different depths";
    const std::uint32_t previous = shape.leaves.empty() ? 0 : shape.leaves.back();
    EXPECT_EQ(be32(s, at + 8), previous) << "backward link of leaf " << block;
    if (previous != 0) {
      EXPECT_EQ(be32(s, layout.offset(previous) + 4), block) << "forward link";
    }
    shape.leaves.push_back(block);
    return k == 0 ? 0 : be32(s, at + 12 + 8 * (k - 1) + 4);
  }
  std::uint32_t last = 0;
  for (std::uint32_t j = 0; j <= k; ++j) {
    last = walk(layout, be32(s, at + 12 + 8 * j), depth + 1, perLeaf, shape);
    EXPECT_EQ(be32(s, at + 16 + 8 * j), j < k ? last : 0u) << "key " << j << " of inner node " << block;
  }
  return last;
}

TEST(BomWriter, RoundTripsThroughTheReaderAtEveryDepth) {
  struct Case {
    std::size_t entries;
    std::uint32_t perLeaf;
    int depth;
  };
  for (const Case c :
       {Case{3, 510, 1}, Case{0, 510, 1}, Case{5000, 510, 2}, Case{1021, 510, 2}, Case{60, 4, 3}, Case{400, 3, 6}}) {
    SCOPED_TRACE(testing::Message() << c.entries << " entries, " << c.perLeaf << " per leaf");
    const auto records = systemTree(c.entries);
    const std::string store = write(records, c.perLeaf);
    const auto parsed = parseStore(store);
    ASSERT_TRUE(parsed.ok);
    EXPECT_EQ(parsed.records, records);

    const BomLayout layout(store);
    TreeShape shape;
    walk(layout, layout.root(), 1, c.perLeaf, shape);
    EXPECT_EQ(shape.depth, c.depth);
    ASSERT_FALSE(shape.leaves.empty());
    EXPECT_EQ(shape.leaves.front(), kFirstLeaf);
    EXPECT_EQ(be32(store, layout.offset(shape.leaves.back()) + 4), 0u);
    std::size_t entries = 0;
    for (const auto leaf : shape.leaves) entries += be16(store, layout.offset(leaf) + 2);
    EXPECT_EQ(entries, c.entries);
    EXPECT_EQ(be32(store, layout.offset(layout.pathsTree()) + 16), c.entries) << "tree header count";
  }
}

TEST(BomWriter, HeaderVariablesAndTreeHeaderHaveApplesShape) {
  const std::string store = write(systemTree(20), 510);
  const BomLayout layout(store);
  EXPECT_EQ(store.substr(0, 8), "BOMStore");
  EXPECT_EQ(be32(store, 8), 1u);
  EXPECT_EQ(layout.table() + be32(store, 20), store.size()) << "block index ends the file";
  EXPECT_EQ(layout.vars(), 512u);
  EXPECT_GE(layout.slots(), 2730u);
  EXPECT_EQ(layout.offset(0), 0u);
  EXPECT_EQ(layout.length(0), 0u);
  // Every block below the announced count is used, none above it.
  const std::uint32_t used = be32(store, 12);
  for (std::uint32_t id = 1; id < layout.slots(); ++id) EXPECT_EQ(layout.length(id) != 0, id <= used) << id;

  std::vector<std::pair<std::uint32_t, std::string>> vars;
  std::size_t at = layout.vars() + 4;
  for (std::uint32_t v = 0; v < be32(store, layout.vars()); ++v) {
    const auto length = static_cast<unsigned char>(store[at + 4]);
    vars.emplace_back(be32(store, at), store.substr(at + 5, length));
    at += 5 + length;
  }
  EXPECT_EQ(at - layout.vars(), be32(store, 28));
  EXPECT_EQ(vars, (std::vector<std::pair<std::uint32_t, std::string>>{
                      {1, "BomInfo"}, {2, "Paths"}, {4, "HLIndex"}, {6, "VIndex"}, {9, "Size64"}}));

  const std::string tree = store.substr(layout.offset(2), layout.length(2));
  EXPECT_EQ(tree,
            "tree" + be32String(1) + be32String(kFirstLeaf) + be32String(4096) + be32String(20) + std::string(1, '\0'));
}

TEST(BomWriter, RecordsCarryNameParentAndTypedAttributes) {
  BomWriter writer;
  ASSERT_TRUE(writer.addPath(".", 040755, 0, 0));
  ASSERT_TRUE(writer.addPath("./bin", 040755, 0, 0));
  ASSERT_TRUE(writer.addPath("./bin/sh", 0100555, 0, 80, 1234));
  ASSERT_TRUE(writer.addPath("./sh", 0120755, 0, 0, 0, "bin/sh"));
  const std::string store = writer.serialize();
  const BomLayout layout(store);
  auto block = [&](std::uint32_t id) { return store.substr(layout.offset(id), layout.length(id)); };

  EXPECT_EQ(block(nameBlockOf(2)), be32String(2) + std::string("sh\0", 3));
  EXPECT_EQ(block(infoBlockOf(2)), be32String(3) + be32String(attributeBlockOf(2)));
  // Same lengths as Apple's directory, file and link records.
  const std::string dir = block(attributeBlockOf(1));
  const std::string file = block(attributeBlockOf(2));
  const std::string link = block(attributeBlockOf(3));
  EXPECT_EQ(dir.size(), 31u);
  EXPECT_EQ(file.size(), 35u);
  EXPECT_EQ(link.size(), 23u + 8 + 7 + 8);
  EXPECT_EQ(dir[0], 2);
  EXPECT_EQ(file[0], 1);
  EXPECT_EQ(link[0], 3);
  EXPECT_EQ(be16(file, 4), 0100555);
  EXPECT_EQ(be32(file, 6), 0u);
  EXPECT_EQ(be32(file, 10), 80u);
  EXPECT_EQ(be32(file, 18), 1234u);
  EXPECT_EQ(be32(link, 18), 6u) << "a link's size is its target's length";
  EXPECT_EQ(be32(link, 27), 7u);
  EXPECT_EQ(link.substr(31, 7), std::string("bin/sh\0", 7));
}

TEST(BomWriter, AddPathRefusesWhatItCannotPlace) {
  BomWriter writer;
  ASSERT_TRUE(writer.addPath(".", 040755, 0, 0));
  ASSERT_TRUE(writer.addPath("./a", 040755, 0, 0));
  for (const char* bad : {"", ".", "./a", "./missing/x", "./a/", "./a//b"})
    EXPECT_FALSE(writer.addPath(bad, 0100644, 0, 0)) << bad;
  EXPECT_EQ(writer.size(), 2u);
  // Ids continue after those given by hand.
  BomWriter::Entry byHand;
  byHand.id = 40;
  byHand.parent = 1;
  byHand.name = "b";
  writer.addEntry(byHand);
  ASSERT_TRUE(writer.addPath("./a/c", 0100644, 0, 0));
  const std::string store = writer.serialize();
  EXPECT_EQ(be32(store, BomLayout(store).offset(infoBlockOf(3))), 41u);
}

TEST(BomWriter, WritesAFileTheReaderOpens) {
  TempDir dir;
  BomWriter writer;
  writer.addPath(".", 040755, 0, 0);
  ASSERT_EQ(writer.writeTo(dir / "x.bom"), 0);
  EXPECT_EQ(slurp(dir / "x.bom"), writer.serialize());
  EXPECT_NE(writer.writeTo(dir / "missing/x.bom"), 0);
  RZBomParserWrapper wrapper(dir / "x.bom");
  ASSERT_TRUE(wrapper.parse());
  EXPECT_EQ(wrapper.path(0), ".");
}

}  // namespace
}  // namespace tarnix::test
