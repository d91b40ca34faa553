// The BOM reader against Apple's own stores, odd but valid layouts, and damaged stores that
// must be refused without reading outside the file.
#include <functional>
#include <sstream>

#include "BomTestSupport.h"
#include "TestSupport.h"
#include "engine/BomWriter.h"
#include "engine/RZBomParser.h"
#include "platform/Files.h"

namespace tarnix::test {
namespace {

// ---- Apple's stores -----------------------------------------------------------------------

std::vector<BomRecord> readListing(const std::string& text) {
  std::vector<BomRecord> records;
  std::istringstream in(text);
  std::string line;
  while (std::getline(in, line, '\n')) {
    if (line.empty()) continue;
    std::vector<std::string> columns;
    std::size_t start = 0;
    for (std::size_t tab; (tab = line.find('\t', start)) != std::string::npos; start = tab + 1)
      columns.push_back(line.substr(start, tab - start));
    columns.push_back(line.substr(start));
    BomRecord record;
    record.path = columns.at(0);
    record.mode = static_cast<std::uint16_t>(std::stoul(columns.at(1), nullptr, 8));
    const auto slash = columns.at(2).find('/');
    record.uid = static_cast<std::uint32_t>(std::stoul(columns.at(2).substr(0, slash)));
    record.gid = static_cast<std::uint32_t>(std::stoul(columns.at(2).substr(slash + 1)));
    records.push_back(record);
  }
  return records;
}

class RealBom : public ::testing::TestWithParam<const char*> {};

TEST_P(RealBom, RecordsMatchTheListingInLeafOrder) {
  const std::string bom = realFixture(std::string("bom/") + GetParam());
  const std::string listing = realFixture(std::string("bom/listings/") + GetParam() + ".lsbom.txt");
  TARNIX_REQUIRE_FIXTURE(bom);
  TARNIX_REQUIRE_FIXTURE(listing);
  const auto expected = readListing(slurp(listing));
  ASSERT_FALSE(expected.empty());

  auto wrapper = RZBomParserWrapper::initWithFileName(bom);
  EXPECT_EQ(wrapper->count(), 0u);
  EXPECT_EQ(wrapper->results(), nullptr);
  ASSERT_TRUE(wrapper->parse());
  ASSERT_EQ(wrapper->count(), expected.size());
  for (std::uint32_t i = 0; i < wrapper->count(); ++i) {
    const auto& r = wrapper->results()[i];
    EXPECT_EQ((BomRecord{wrapper->path(i), r.mode, r.uid, r.gid}), expected[i]) << "record " << i;
  }
}

INSTANTIATE_TEST_SUITE_P(Fixtures, RealBom,
                         ::testing::Values("dotnet-packaging-Sample.Bom", "python-applications.bom",
                                           "osquery-test_bom.bom", "io.osquery.agent.bom",
                                           "macOS-Tahoe-InstallAssistant.Bom"));

// ---- Stores written for the tests -----------------------------------------------------------

// ".", "./System", "./System/Library", "./System/Library/f0" ... in leaves of `perLeaf`.
std::string smallStore(std::uint32_t perLeaf = 510, int files = 3) {
  BomWriter writer;
  writer.setEntriesPerLeaf(perLeaf);
  writer.addPath(".", 040755, 0, 0);
  writer.addPath("./System", 040755, 0, 0);
  writer.addPath("./System/Library", 040755, 0, 80);
  for (int i = 0; i < files; ++i) writer.addPath("./System/Library/f" + std::to_string(i), 0100644, 0, 0, 10);
  return writer.serialize();
}

BomWriter::Entry entry(std::uint32_t id, std::uint32_t parent, std::string name, std::uint16_t mode = 040755) {
  BomWriter::Entry e;
  e.id = id;
  e.parent = parent;
  e.name = std::move(name);
  e.mode = mode;
  return e;
}

std::vector<std::string> pathsOf(const Parsed& parsed) {
  std::vector<std::string> paths;
  for (const auto& r : parsed.records) paths.push_back(r.path);
  return paths;
}

TEST(BomReader, HeaderThatIsNotABomStoreIsRefused) {
  const std::string valid = smallStore();
  std::string ninthByte = valid;
  ninthByte[8] = 1;
  std::string wrongMagic = valid;
  wrongMagic[0] = 'b';
  const std::vector<std::pair<const char*, std::string>> cases = {
      {"empty", ""},
      {"magic only", "BOMStore"},
      {"31 bytes of a valid header", valid.substr(0, 31)},
      {"ninth byte not zero", ninthByte},
      {"magic in lower case", wrongMagic},
  };
  for (const auto& [name, bytes] : cases) {
    RZBomParser parser("");
    EXPECT_EQ(parser.parseBytes(bytes), RZBomParser::notABomStore) << name;
    EXPECT_FALSE(parseStore(bytes).ok) << name;
  }
}

TEST(BomReader, FilesThatCannotBeReadOrAreEmpty) {
  TempDir dir;
  RZBomParser missing(dir / "missing.bom");
  EXPECT_EQ(missing.parse(), RZBomParser::unreadable);
  ASSERT_EQ(platform::writeFile(dir / "empty.bom", ""), 0);
  EXPECT_FALSE(RZBomParserWrapper(dir / "empty.bom").parse());

  ASSERT_EQ(platform::writeFile(dir / "good.bom", smallStore()), 0);
  RZBomParserWrapper good(dir / "good.bom");
  ASSERT_TRUE(good.parse());
  EXPECT_EQ(good.count(), 6u);
}

// Replaces the variables table with `vars`, appended at the end of the store.
std::string withVariables(std::string store, const std::vector<std::pair<std::uint32_t, std::string>>& vars) {
  put32At(store, 24, static_cast<std::uint32_t>(store.size()));
  store += be32String(static_cast<std::uint32_t>(vars.size()));
  for (const auto& [block, name] : vars) {
    store += be32String(block);
    store += static_cast<char>(name.size());
    store += name;
  }
  return store;
}

TEST(BomReader, OnlyAVariableNamedExactlyPathsIsRead) {
  const std::string store = smallStore();
  const std::uint32_t tree = BomLayout(store).pathsTree();
  constexpr std::uint32_t kBad = 0xFFFFFFFF;  // a tree that would fail if it were read
  struct Case {
    const char* name;
    std::vector<std::pair<std::uint32_t, std::string>> vars;
    std::size_t records;
  };
  const std::vector<Case> cases = {
      {"no variables", {}, 0},
      {"no Paths", {{1, "BomInfo"}, {4, "HLIndex"}}, 0},
      {"longer name", {{kBad, "PathsX"}}, 0},
      {"shorter name", {{kBad, "Path"}}, 0},
      {"lower case", {{kBad, "paths"}}, 0},
      {"after skipped ones", {{kBad, "PathsX"}, {kBad, "paths"}, {tree, "Paths"}}, 6},
      {"only the first Paths", {{tree, "Paths"}, {kBad, "Paths"}}, 6},
  };
  for (const auto& c : cases) {
    const auto parsed = parseStore(withVariables(store, c.vars));
    EXPECT_TRUE(parsed.ok) << c.name;
    EXPECT_EQ(parsed.records.size(), c.records) << c.name;
    EXPECT_EQ(parsed.resultsNull, c.records == 0) << c.name;
  }
  EXPECT_FALSE(parseStore(withVariables(store, {{kBad, "Paths"}})).ok);
}

TEST(BomReader, RebuildsPathsFromNamesSeenSoFar) {
  struct Case {
    const char* name;
    std::vector<BomWriter::Entry> entries;
    std::vector<std::string> paths;
  };
  const std::vector<Case> cases = {
      {"parent comes later",
       {entry(1, 0, ".", 040755), entry(5, 9, "late", 040755), entry(9, 1, "Later", 040755), entry(6, 5, "x", 0100644)},
       {".", "/late", "./Later", "./Later/late/x"}},
      {"redefined id renames what follows",
       {entry(1, 0, ".", 040755), entry(2, 1, "A", 040755), entry(3, 2, "f", 0100644), entry(2, 1, "B", 040755),
        entry(4, 2, "g", 0100644)},
       {".", "./A", "./A/f", "./B", "./B/g"}},
      {"several roots",
       {entry(1, 0, "a", 040755), entry(2, 0, "b", 040755), entry(3, 2, "c", 040755)},
       {"a", "b", "b/c"}},
  };
  for (const auto& c : cases) {
    BomWriter writer;
    writer.setEntriesPerLeaf(2);  // and across leaves
    for (const auto& e : c.entries) writer.addEntry(e);
    const auto parsed = parseStore(writer.serialize());
    ASSERT_TRUE(parsed.ok) << c.name;
    EXPECT_EQ(pathsOf(parsed), c.paths) << c.name;
  }
}

TEST(BomReader, EmptyLeavesInTheChainArePassedOver) {
  std::string store = smallStore(2, 5);  // 8 entries in 4 leaves under inner nodes
  const BomLayout layout(store);
  ASSERT_EQ(be16(store, layout.offset(layout.root())), 0) << "root should be an inner node";
  // The second and third leaves follow the first through the forward links.
  const std::uint32_t second = be32(store, layout.offset(kFirstLeaf) + 4);
  const std::uint32_t third = be32(store, layout.offset(second) + 4);
  put16At(store, layout.offset(second) + 2, 0);
  put16At(store, layout.offset(third) + 2, 0);
  const auto parsed = parseStore(store);
  ASSERT_TRUE(parsed.ok);
  EXPECT_EQ(pathsOf(parsed), (std::vector<std::string>{".", "./System", "/f3", "/f4"}))
      << "the folder of f3 and f4 was in a leaf passed over, so its name is unknown";
}

// ---- Damaged stores ---------------------------------------------------------------------------

TEST(BomReader, LoopsInTheParentChainFail) {
  const std::vector<std::pair<const char*, std::vector<BomWriter::Entry>>> cases = {
      {"self parent", {entry(1, 0, ".", 040755), entry(2, 2, "me", 040755)}},
      {"two-entry loop", {entry(1, 0, ".", 040755), entry(2, 3, "a", 040755), entry(3, 2, "b", 040755)}},
      {"loop closed by a redefinition",
       {entry(1, 0, ".", 040755), entry(2, 1, "a", 040755), entry(3, 2, "b", 040755), entry(2, 3, "a", 040755)}},
  };
  for (const auto& [name, entries] : cases) {
    BomWriter writer;
    for (const auto& e : entries) writer.addEntry(e);
    EXPECT_FALSE(parseStore(writer.serialize()).ok) << name;
  }
}

TEST(BomReader, DamagedStoresAreRefused) {
  const std::string base = smallStore(2, 9);  // 12 entries, 6 leaves, inner nodes above them
  const BomLayout layout(base);
  const std::uint32_t slots = layout.slots();
  const std::uint32_t size = static_cast<std::uint32_t>(base.size());
  const std::uint32_t root = layout.root();
  const std::uint32_t rootAt = layout.offset(root);
  const std::uint32_t innerChild = be32(base, rootAt + 12);
  ASSERT_EQ(be16(base, layout.offset(innerChild)), 0) << "expected more than two levels";
  std::uint32_t lastLeaf = kFirstLeaf;
  while (be32(base, layout.offset(lastLeaf) + 4) != 0) lastLeaf = be32(base, layout.offset(lastLeaf) + 4);
  const std::uint32_t leafAt = layout.offset(kFirstLeaf);

  using Patch = std::function<void(std::string&)>;
  auto at32 = [](std::size_t offset, std::uint32_t value) -> Patch {
    return [=](std::string& s) { put32At(s, offset, value); };
  };
  const std::size_t pathsVarBlock = layout.vars() + 4 + 5 + 7;
  const std::vector<std::pair<const char*, Patch>> cases = {
      // block ids out of range
      {"Paths tree id", at32(pathsVarBlock, slots)},
      {"root id", at32(layout.offset(layout.pathsTree()) + 8, 0xFFFFFFFF)},
      {"child id", at32(rootAt + 12, slots)},
      {"forward link", at32(leafAt + 4, slots + 100)},
      {"name key", at32(leafAt + 16, slots)},
      {"info value", at32(leafAt + 12, 0xFFFFFFFF)},
      {"attribute id", at32(layout.offset(infoBlockOf(0)) + 4, slots)},
      // offsets past the end
      {"block table offset", at32(16, size - 2)},
      {"variables offset", at32(24, size - 3)},
      {"variable count", at32(layout.vars(), 0xFFFFFFFF)},
      {"name record offset", at32(layout.entryOffset(nameBlockOf(0)), size - 3)},
      {"name record offset far", at32(layout.entryOffset(nameBlockOf(0)), 0xFFFFFFFF)},
      {"info record offset", at32(layout.entryOffset(infoBlockOf(1)), size - 7)},
      {"attribute record offset", at32(layout.entryOffset(attributeBlockOf(2)), size - 13)},
      {"tree header offset", at32(layout.entryOffset(layout.pathsTree()), size - 11)},
      {"leaf offset", at32(layout.entryOffset(lastLeaf), size - 11)},
      {"leaf entries past the end", [&](std::string& s) { put16At(s, layout.offset(lastLeaf) + 2, 0xFFFF); }},
      // loops
      {"leaf links to itself", at32(leafAt + 4, kFirstLeaf)},
      {"last leaf links to the first", at32(layout.offset(lastLeaf) + 4, kFirstLeaf)},
      {"root descends to itself", at32(rootAt + 12, root)},
      {"inner node descends to the root", at32(layout.offset(innerChild) + 12, root)},
  };
  ASSERT_TRUE(parseStore(base).ok);
  for (const auto& [name, patch] : cases) {
    std::string store = base;
    patch(store);
    EXPECT_FALSE(parseStore(store).ok) << name;
  }
}

TEST(BomReader, NameRunningToTheEndOfTheFileWithoutNulFails) {
  for (const bool terminated : {true, false}) {
    std::string store = smallStore();
    put32At(store, BomLayout(store).entryOffset(nameBlockOf(0)), static_cast<std::uint32_t>(store.size()));
    store += be32String(0) + "dot";
    if (terminated) store += '\0';
    const auto parsed = parseStore(store);
    EXPECT_EQ(parsed.ok, terminated);
    if (terminated) {
      EXPECT_EQ(parsed.records.at(1).path, "dot/System");
    }
  }
}

// The same store with its block index moved in front of the blocks, so that cutting it short
// cuts into the blocks instead of the index.
std::string indexFirst(const std::string& store) {
  const BomLayout layout(store);
  const std::size_t table = layout.table();
  const std::string index = store.substr(table);
  std::string moved = store.substr(0, 512) + index + store.substr(512, table - 512);
  put32At(moved, 16, 512);
  put32At(moved, 24, static_cast<std::uint32_t>(layout.vars() + index.size()));
  for (std::uint32_t id = 1; id < layout.slots(); ++id) {
    const std::size_t entry = 512 + 4 + 8 * std::size_t{id};
    if (const std::uint32_t offset = be32(moved, entry); offset != 0)
      put32At(moved, entry, static_cast<std::uint32_t>(offset + index.size()));
  }
  return moved;
}

TEST(BomReader, TruncatedStoresFailOrKeepEveryRecord) {
  for (const std::string& store : {smallStore(2, 3), indexFirst(smallStore(2, 3))}) {
    const auto full = parseStore(store);
    ASSERT_TRUE(full.ok);
    ASSERT_EQ(full.records.size(), 6u);
    std::size_t refused = 0;
    for (std::size_t length = 0; length < store.size(); ++length) {
      const auto cut = parseStore(store.substr(0, length));
      if (!cut.ok) {
        ++refused;
        continue;
      }
      EXPECT_EQ(cut.records, full.records) << "cut at " << length;
    }
    EXPECT_GT(refused, store.size() / 2);
  }
}

TEST(BomReader, ParsingAgainReplacesTheRecords) {
  RZBomParser parser("");
  ASSERT_EQ(parser.parseBytes(smallStore(510, 3)), RZBomParser::success);
  ASSERT_EQ(parser.parseBytes(smallStore(510, 1)), RZBomParser::success);
  EXPECT_EQ(parser.count(), 4u);
  EXPECT_EQ(parser.filled(), 4u);
  EXPECT_EQ(parser.records()->path(3), "./System/Library/f0");
  EXPECT_NE(parser.parseBytes("BOMStore"), RZBomParser::success);
  EXPECT_EQ(parser.count(), 0u);
  EXPECT_EQ(parser.results(), nullptr);
}

}  // namespace
}  // namespace tarnix::test
