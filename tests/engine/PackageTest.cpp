#include <gtest/gtest.h>

#include <algorithm>

#include "VolumeBuilder.h"
#include "engine/QLPackageManager.h"
#include "engine/QLStandardPackage.h"
#include "model/QLOSVolume.h"
#include "platform/Fakes.h"

namespace tarnix {
namespace {

using test::BomItem;
using test::kGroupA;
using test::kGroupB;
using test::TempDir;

TEST(QLPackage, ReadsReceipts) {
  const auto xml = QLPackage::fromBytes(test::receiptPlist("com.apple.pkg.Essentials", {"x", kGroupA}, false),
                                        "/V/System/Library/Receipts/com.apple.pkg.Essentials.plist");
  ASSERT_TRUE(xml);
  EXPECT_EQ(xml->identifier(), "com.apple.pkg.Essentials");
  EXPECT_EQ(xml->groups(), (std::vector<std::string>{"x", kGroupA}));
  EXPECT_EQ(xml->bomPathString(), "/V/System/Library/Receipts/com.apple.pkg.Essentials.bom");
  EXPECT_TRUE(QLStandardPackage::fromPackage(*xml));
  EXPECT_TRUE(QLStandardPackage::fromPackage(
      *QLPackage::fromBytes(test::receiptPlist("b", {kGroupB, kGroupA}, true), "b.plist")));
  EXPECT_FALSE(
      QLStandardPackage::fromPackage(*QLPackage::fromBytes(test::receiptPlist("c", {"other"}, true), "c.plist")));

  const char* broken[] = {
      "not a plist",
      "<plist><array><string>a</string></array></plist>",
      "<plist><dict><key>PackageIdentifier</key><string>a</string></dict></plist>",
      "<plist><dict><key>PackageIdentifier</key><integer>1</integer><key>PackageGroups</key><array/></dict></plist>",
      "<plist><dict><key>PackageIdentifier</key><string>a</string><key>PackageGroups</key>"
      "<array><integer>1</integer></array></dict></plist>",
  };
  for (const char* bytes : broken) EXPECT_FALSE(QLPackage::fromBytes(bytes, "x.plist")) << bytes;

  // A real installer receipt (binary) has no groups, so it is no package here.
  const std::string real = test::realFixture("receipts/io.osquery.agent.plist");
  TARNIX_REQUIRE_FIXTURE(real);
  EXPECT_FALSE(QLPackage::make(real));
}

TEST(QLPackage, BomPathBesideTheReceipt) {
  const std::pair<const char*, const char*> cases[] = {
      {"/V/R/a.plist", "/V/R/a.bom"},
      {"/Volumes/Macintosh HD/R/com.apple.pkg.X.plist", "/Volumes/Macintosh HD/R/com.apple.pkg.X.bom"},
      {"/media/Mac 100%/R/ü.plist", "/media/Mac 100%/R/ü.bom"},
  };
  for (const auto& [receipt, bom] : cases) EXPECT_EQ(bomPathForReceipt(receipt), bom);
}

// Receipts come in name order, as an HFS+ volume lists them (letter case aside), sub-folders
// in their place: which receipt wins a merged path must not depend on the file system.
TEST(QLPackageManager, ListsPlistReceiptsRecursivelyInNameOrder) {
  TempDir dir;
  const std::string receipts = dir / "System/Library/Receipts";
  ASSERT_EQ(platform::makeDirectories(receipts + "/sub"), 0);
  for (const char* name : {"z.plist", "sub/b.plist", "C.PLIST", "d.plist.txt", "e.bom", "plist", "B.plist",
                           "sub/a.plist", "a.plist", "m.plist", "c.plist"})
    ASSERT_EQ(platform::writeFile(receipts + "/" + name, ""), 0);
  const auto paths = QLPackageManager::receiptPaths(dir.path());
  EXPECT_EQ(paths, (std::vector<std::string>{receipts + "/a.plist", receipts + "/B.plist", receipts + "/c.plist",
                                             receipts + "/m.plist", receipts + "/sub/a.plist",
                                             receipts + "/sub/b.plist", receipts + "/z.plist"}));
  EXPECT_TRUE(QLPackageManager::receiptPaths(dir / "missing").empty());
}

// Records the delegate's calls as short words.
class Recorder : public QLPackageManagerDelegate {
 public:
  void willGetPackages(const QLOSVolume&) override { calls.push_back("1"); }
  void didGetPackages(const QLOSVolume&) override { calls.push_back("2"); }
  void willParsePackages(const std::vector<QLStandardPackage>&) override { calls.push_back("3"); }
  void didParsePackages(const std::vector<QLStandardPackage>&) override { calls.push_back("4"); }
  void didParsePackage(const QLStandardPackage&, std::int64_t i, std::int64_t n) override {
    calls.push_back("5:" + std::to_string(i) + "/" + std::to_string(n));
  }
  void willCreateResources() override { calls.push_back("6"); }
  void didCreateResource(std::int64_t c, std::int64_t t) override { created.emplace_back(c, t); }
  void didCreateResources() override { calls.push_back("8"); }
  std::vector<std::string> calls;
  std::vector<std::pair<std::int64_t, std::int64_t>> created;
};

class PackageManagerTest : public ::testing::Test {
 protected:
  void SetUp() override {
    test::writeSystemVersion(dir.path());
    ASSERT_EQ(platform::makeDirectories(dir / "usr/bin"), 0);
    ASSERT_EQ(platform::writeFile(dir / "usr/bin/true", ""), 0);
  }
  QLOSVolume volume() { return *QLOSVolume::initWithMountPoint(dir.path()); }
  TempDir dir;
};

TEST_F(PackageManagerTest, MergesReceiptsAndReportsProgress) {
  const std::vector<BomItem> first = {{".", 040755},
                                      {"./usr", 040755},
                                      {"./usr/bin", 040755},
                                      {"./usr/bin/true", 0100755},
                                      {"./usr/bin/missing", 0100755}};
  const std::vector<BomItem> second = {{".", 040755, 7}, {"./usr", 040755, 7}, {"./System", 040755, 7}};
  test::writeReceipt(dir.path(), "first", "com.apple.pkg.First", {kGroupA}, first, true);
  test::writeReceipt(dir.path(), "sub dir %/second", "com.apple.pkg.Second", {kGroupB}, second);
  test::writeReceipt(dir.path(), "third", "com.example.third", {"com.example.group"}, second);
  // A receipt whose BOM is damaged is passed over.
  test::writeReceipt(dir.path(), "broken", "com.apple.pkg.Broken", {kGroupA}, first);
  ASSERT_EQ(platform::writeFile(dir / "System/Library/Receipts/broken.bom", "BOMStore"), 0);

  QLPackageManager manager(volume(), 3);
  Recorder recorder;
  manager.setDelegate(&recorder);
  const auto resources = manager.parse();

  const auto order = QLPackageManager::standardPackages(dir.path());
  ASSERT_EQ(order.size(), 3u);
  std::vector<std::string> parsed;
  for (const auto& call : recorder.calls)
    if (call[0] == '5') parsed.push_back(call);
  EXPECT_EQ(parsed, (std::vector<std::string>{"5:1/3", "5:2/3"}));
  EXPECT_EQ(recorder.calls.front(), "1");
  EXPECT_EQ(recorder.calls.back(), "8");

  // Each path once; the earlier receipt in listing order wins.
  std::vector<std::string> paths;
  for (std::size_t i = 0; i < resources->size(); ++i) paths.push_back((*resources)[i].path());
  std::sort(paths.begin(), paths.end());
  EXPECT_EQ(paths,
            (std::vector<std::string>{dir.path(), dir / "System", dir / "usr", dir / "usr/bin", dir / "usr/bin/true"}));
  // Name order: "first" comes before "sub dir %", so its prescription wins.
  std::vector<std::string> identifiers;
  for (const auto& package : order) identifiers.push_back(package.identifier());
  EXPECT_EQ(identifiers,
            (std::vector<std::string>{"com.apple.pkg.Broken", "com.apple.pkg.First", "com.apple.pkg.Second"}));
  for (std::size_t i = 0; i < resources->size(); ++i) {
    if ((*resources)[i].path() == dir / "usr") {
      EXPECT_EQ((*resources)[i].uid(), 0);
    }
  }

  // Created-resource counts rise by one across both BOMs against their record total (5 + 3).
  ASSERT_EQ(recorder.created.size(), 7u);  // the missing file makes no resource
  for (std::size_t i = 0; i < recorder.created.size(); ++i)
    EXPECT_EQ(recorder.created[i], std::make_pair(std::int64_t(i + 1), std::int64_t{8}));
}

TEST_F(PackageManagerTest, FiltersByPackageAndSurvivesAMissingReceiptsFolder) {
  Recorder recorder;
  {
    QLPackageManager manager(volume(), 2);
    manager.setDelegate(&recorder);
    EXPECT_TRUE(manager.parse()->empty());
    EXPECT_EQ(recorder.calls, (std::vector<std::string>{"1", "2", "3", "4", "6", "8"}));
  }
  test::writeReceipt(dir.path(), "a", "com.apple.pkg.A", {kGroupA}, {{".", 040755}, {"./usr", 040755}});
  test::writeReceipt(dir.path(), "b", "com.apple.pkg.B", {kGroupA}, {{".", 040755}, {"./System", 040755}});
  QLPackageManager manager(volume(), 2);
  manager.setPackageFilter("com.apple.pkg.B");
  const auto resources = manager.parse();
  ASSERT_EQ(resources->size(), 2u);
  for (std::size_t i = 0; i < resources->size(); ++i) EXPECT_NE((*resources)[i].path(), dir / "usr");
}

}  // namespace
}  // namespace tarnix
