#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>
#include <tuple>

#include "TestSupport.h"
#include "engine/QLFileSystemResource.h"
#include "engine/QLFileSystemResourceManager.h"
#include "engine/QLRepairPermissionsResult.h"
#include "engine/RZWorkerPool.h"
#include "platform/Fakes.h"
#include "platform/Files.h"

namespace tarnix {
namespace {

using Mismatch = QLFileSystemResourceAttributeMismatchedType;
using Status = QLFileSystemResourceAttributeStatus;
using platform::FakeVolumeTrees;
using platform::FileAttributes;

// Items of one volume, made one at a time as the package manager makes them.
class Items {
 public:
  explicit Items(platform::VolumeTrees& trees, const std::string& mount = "/Volumes/Mac")
      : list(QLResourceList::make(mount)), tree(trees.open(mount)) {}
  std::optional<QLFileSystemResource> make(const char* bomPath, std::uint32_t mode, std::uint32_t uid = 0,
                                           std::uint32_t gid = 0) {
    return list->add(bomPath, uid, gid, mode, *tree);
  }
  std::shared_ptr<QLResourceList> list;
  std::unique_ptr<platform::VolumeTree> tree;
};

TEST(QLFileSystemResource, PathsAndPrescribedDigits) {
  FakeVolumeTrees trees;
  trees.add("", {0, 0, 040755});
  trees.add("/System", {0, 0, 040755});
  trees.add("/usr/bin/sudo", {0, 0, 0104511});
  trees.add("/etc", {0, 0, 0120755});
  Items items(trees);

  const auto root = items.make(".", 040755);
  ASSERT_TRUE(root);
  EXPECT_EQ(root->path(), "/Volumes/Mac");
  EXPECT_EQ(Items(trees, "/").make("./System", 040755)->path(), "//System");
  EXPECT_EQ(Items(trees, "").make("./System", 040755)->path(), "/System");

  const std::pair<std::uint32_t, std::int64_t> digits[] = {
      {0100644, 644}, {040755, 755}, {0120755, 755}, {0104755, 4755}, {041777, 1777}};
  for (const auto& [mode, expected] : digits)
    EXPECT_EQ(items.make("./System", mode)->posixpermissions(), expected) << std::oct << mode;
  EXPECT_EQ(items.make("./usr/bin/sudo", 0104511)->currentPOSIXPermissions(), 4511);
  EXPECT_EQ(items.make("./usr/bin/sudo", 0104511, 501, 20)->currentAttributes().mode, 0104511u);

  EXPECT_FALSE(items.make("./missing", 0100644));
  EXPECT_FALSE(items.make("", 0100644));
}

// The item checked and repaired is always the one the report names. "/Name" (an entry whose
// parent came later in its BOM) names <mount point>Name, beside the volume, so nothing is made
// for it; nor for paths that name one item in two ways.
TEST(QLFileSystemResource, ChecksOnlyTheItemItsPathNames) {
  test::TempDir dir;
  ASSERT_EQ(platform::makeDirectories(dir / "a/b"), 0);
  ASSERT_EQ(platform::writeFile(dir / "Name", ""), 0);
  Items items(platform::linuxVolumeTrees(), dir.path());
  const std::pair<const char*, bool> cases[] = {
      {"./Name", true},  {"/Name", false},   {"xName", false},  {"./a/../Name", false},
      {"./a//b", false}, {"./a/./b", false}, {"./a/b/", false}, {"./a/b", true},
  };
  for (const auto& [bomPath, made] : cases) {
    const auto resource = items.make(bomPath, 040755);
    EXPECT_EQ(resource.has_value(), made) << bomPath;
    if (resource) {
      EXPECT_EQ(resource->path(), dir.path() + std::string(bomPath).substr(1));
    }
  }
}

TEST(QLFileSystemResource, VerifiesInOrderWithoutTouchingTheDisk) {
  FakeVolumeTrees trees;
  trees.add("/ok", {0, 0, 0100644});
  trees.add("/bad", {501, 20, 0100600});
  trees.add("/lost-suid", {0, 0, 0100755});
  Items items(trees);
  EXPECT_TRUE(items.make("./ok", 0100644)->verify().empty());

  const auto results = items.make("./bad", 0100644)->verify();
  ASSERT_EQ(results.size(), 3u);
  const std::tuple<Mismatch, std::int64_t, std::int64_t> expected[] = {
      {Mismatch::ownerIDMismatched, 501, 0},
      {Mismatch::groupIDMismatched, 20, 0},
      {Mismatch::posixPermissionsMismatched, 600, 644}};
  for (std::size_t i = 0; i < 3; ++i) {
    EXPECT_EQ(results[i].attributeMismatchedType(), std::get<0>(expected[i]));
    EXPECT_EQ(results[i].currentAttribute(), std::get<1>(expected[i]));
    EXPECT_EQ(results[i].correctAttribute(), std::get<2>(expected[i]));
    EXPECT_EQ(results[i].attributeStatus(), Status::verified);
    EXPECT_FALSE(results[i].newAttribute());
    EXPECT_EQ(results[i].jobType(), QLRepairPermissionsJobType::verifyPermissions);
  }
  EXPECT_NE(results[0].identifier(), results[1].identifier());
  // A missing set-user-id bit is a permission mismatch; file-type bits never count.
  const auto lost = items.make("./lost-suid", 0104755)->verify();
  ASSERT_EQ(lost.size(), 1u);
  EXPECT_EQ(lost[0].currentAttribute(), 755);
  EXPECT_EQ(lost[0].correctAttribute(), 4755);
  EXPECT_TRUE(trees.calls().empty());
}

TEST(QLFileSystemResource, RepairGoesOnPastFailures) {
  FakeVolumeTrees trees;
  trees.add("/a", {501, 20, 0100600});
  trees.failOn("/a", FakeVolumeTrees::Operation::owner, EPERM);
  Items items(trees);
  const auto resource = items.make("./a", 0100644);
  const auto results = resource->repair(*items.tree);
  ASSERT_EQ(results.size(), 3u);
  for (const auto& result : results) {
    EXPECT_EQ(result.newAttribute(), result.correctAttribute());
    EXPECT_EQ(result.jobType(), QLRepairPermissionsJobType::repairPermissions);
  }
  EXPECT_EQ(results[0].attributeStatus(), Status::failed);
  EXPECT_EQ(results[1].attributeStatus(), Status::failed);
  EXPECT_EQ(results[2].attributeStatus(), Status::fixed);
  EXPECT_EQ(results[0].currentAttribute(), 501);  // the value before the repair
  EXPECT_EQ(trees.item("/a")->permissions(), 0644u);
  // The resource keeps what it read; a later verify shows the old values.
  EXPECT_EQ(resource->verify().size(), 3u);
}

TEST(QLFileSystemResource, RepairKeepsPrescribedSetUidBits) {
  FakeVolumeTrees trees;
  trees.add("/usr/bin/login", {501, 20, 0104555});  // right mode, wrong owner
  trees.add("/usr/bin/su", {501, 0, 0104555});
  trees.failOn("/usr/bin/su", FakeVolumeTrees::Operation::permissions, EROFS);
  Items items(trees);

  const auto login = items.make("./usr/bin/login", 0104555)->repair(*items.tree);
  ASSERT_EQ(login.size(), 2u);  // owner and group; the mode was right and stays right
  const auto after = trees.item("/usr/bin/login");
  EXPECT_EQ(after->uid, 0u);
  EXPECT_EQ(after->gid, 0u);
  EXPECT_EQ(after->mode, 0104555u);

  // When the bits cannot be put back, that is a failure, not silence.
  const auto su = items.make("./usr/bin/su", 0104555)->repair(*items.tree);
  ASSERT_EQ(su.size(), 2u);
  EXPECT_EQ(su[0].attributeStatus(), Status::fixed);
  EXPECT_EQ(su[1].attributeMismatchedType(), Mismatch::posixPermissionsMismatched);
  EXPECT_EQ(su[1].attributeStatus(), Status::failed);
}

TEST(QLFileSystemResource, RepairOnDiskKeepsSetUidAndLeavesLinkTargetsAlone) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root to change owners";
  test::TempDir dir;
  ASSERT_EQ(platform::writeFile(dir / "ps", "", 0755), 0);
  ASSERT_EQ(platform::setOwnerNoFollow(dir / "ps", 501, 20), 0);
  ASSERT_EQ(platform::setModeNoFollow(dir / "ps", 04555), 0);
  ASSERT_EQ(platform::writeFile(dir / "target", "", 0600), 0);
  ASSERT_EQ(platform::makeSymlink("target", dir / "link"), 0);
  Items items(platform::linuxVolumeTrees(), dir.path());

  const auto ps = items.make("./ps", 0104555);
  ASSERT_TRUE(ps);
  for (const auto& result : ps->repair(*items.tree)) EXPECT_EQ(result.attributeStatus(), Status::fixed);
  struct stat info {};
  ASSERT_EQ(lstat((dir / "ps").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 0u);
  EXPECT_EQ(info.st_mode & 07777, 04555u);

  const auto link = items.make("./link", 0120755);
  const auto results = link->repair(*items.tree);
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].attributeStatus(), Status::failed);
  ASSERT_EQ(stat((dir / "target").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
}

TEST(QLRepairPermissionsResult, TextForm) {
  FakeVolumeTrees trees;
  trees.add("/bin/ps", {0, 0, 0100755});
  Items items(trees, "/");
  const auto verify = items.make("./bin/ps", 0104755)->verify();
  ASSERT_EQ(verify.size(), 1u);
  EXPECT_EQ(verify[0].description(),
            "   File: //bin/ps\n Reason: POSIX Permissions Mismatched\nCurrent: 755\nCorrect: 4755\n"
            "    New: N/A\n Status: Verified");
  const auto repair = items.make("./bin/ps", 0104755)->repair(*items.tree);
  EXPECT_EQ(repair[0].description(),
            "   File: //bin/ps\n Reason: POSIX Permissions Mismatched\nCurrent: 755\nCorrect: 4755\n"
            "    New: 4755\n Status: Fixed");
  const std::string id = repair[0].identifier();
  ASSERT_EQ(id.size(), 36u);
  for (std::size_t i : {8u, 13u, 18u, 23u}) EXPECT_EQ(id[i], '-');
  EXPECT_EQ(id.find_first_of("abcdef"), std::string::npos);
}

TEST(RZWorkerPool, ChunksTheRange) {
  const auto ranges = [](std::size_t count, long threads) {
    std::vector<std::pair<std::size_t, std::size_t>> out;
    for (const auto& chunk : chunksFor(count, threads)) out.emplace_back(chunk.first, chunk.last);
    return out;
  };
  using R = std::vector<std::pair<std::size_t, std::size_t>>;
  EXPECT_EQ(ranges(10, 4), (R{{0, 1}, {2, 3}, {4, 5}, {6, 9}}));
  EXPECT_EQ(ranges(3, 8), (R{{0, 0}, {1, 1}, {2, 2}}));
  EXPECT_EQ(ranges(5, 1), (R{{0, 4}}));
  EXPECT_TRUE(ranges(0, 4).empty());
}

class CountingDelegate : public QLFileSystemResourceManagerDelegate {
 public:
  void didVerifyResource(std::int64_t count, std::int64_t total) override { seen.emplace_back(count, total); }
  void didRepairResource(std::int64_t count, std::int64_t total) override { seen.emplace_back(-count, total); }
  std::vector<std::pair<std::int64_t, std::int64_t>> seen;
};

TEST(QLFileSystemResourceManager, RunsChunksAndCountsEveryItem) {
  FakeVolumeTrees trees;
  Items items(trees);
  for (int i = 0; i < 10; ++i) {
    const std::string path = "/f" + std::to_string(i);
    trees.add(path, {0, i % 2 ? 20u : 0u, 0100644});
    ASSERT_TRUE(items.make(("." + path).c_str(), 0100644));
  }
  QLFileSystemResourceManager manager(items.list, 4, trees);
  CountingDelegate delegate;
  manager.setDelegate(&delegate);
  const auto verified = manager.verify();
  EXPECT_EQ(verified.size(), 5u);
  ASSERT_EQ(delegate.seen.size(), 10u);
  for (std::size_t i = 0; i < 10; ++i)
    EXPECT_EQ(delegate.seen[i], std::make_pair(std::int64_t(i + 1), std::int64_t{10}));

  delegate.seen.clear();
  const auto repaired = manager.repair();
  EXPECT_EQ(repaired.size(), 5u);
  EXPECT_EQ(delegate.seen.back(), std::make_pair(std::int64_t{-10}, std::int64_t{10}));
  for (int i = 0; i < 10; ++i) EXPECT_EQ(trees.item("/f" + std::to_string(i))->gid, 0u);

  QLFileSystemResourceManager empty(QLResourceList::make("/Volumes/Mac"), 4, trees);
  empty.setDelegate(&delegate);
  delegate.seen.clear();
  EXPECT_TRUE(empty.verify().empty());
  EXPECT_TRUE(delegate.seen.empty());
}

// Hears of every change and holds the first chunk back until the later chunks are done (a
// sleep was not enough on a loaded machine), so that they finish first.
class SlowFirstChunk : public RZChangeObserver {
 public:
  bool willChange(const QLFileSystemResource& resource, Mismatch attribute, std::int64_t before,
                  std::int64_t after) override {
    std::unique_lock lock(mutex);
    if (resource.index() == 0) othersDone.wait_for(lock, std::chrono::seconds(10), [&] { return heard.size() == 8; });
    heard.emplace_back(resource.index(), attribute, before, after);
    othersDone.notify_all();
    return resource.index() != 5;  // a change that cannot be written down is not made
  }
  std::mutex mutex;
  std::condition_variable othersDone;
  std::vector<std::tuple<std::uint32_t, Mismatch, std::int64_t, std::int64_t>> heard;
};

class Recorder : public RZResultSink {
 public:
  void didProduceResults(std::span<QLRepairPermissionsResult> results) override {
    for (const auto& result : results) seen.emplace_back(result.fileSystemResource().index(), result.attributeStatus());
  }
  std::vector<std::pair<std::uint32_t, Status>> seen;
};

TEST(QLFileSystemResourceManager, HandsResultsOutInOrderAndAnnouncesEachChange) {
  FakeVolumeTrees trees;
  Items items(trees);
  for (int i = 0; i < 10; ++i) {
    trees.add("/f" + std::to_string(i), {0, 20, 0100644});
    ASSERT_TRUE(items.make(("./f" + std::to_string(i)).c_str(), 0100644));
  }
  QLFileSystemResourceManager manager(items.list, 4, trees);  // chunks 0-1, 2-3, 4-5, 6-9
  SlowFirstChunk observer;
  manager.setChangeObserver(&observer);
  Recorder sink;
  manager.repair(sink);

  // The order of the whole list: chunk by chunk, each in item order, though chunk 0 ended last.
  ASSERT_EQ(sink.seen.size(), 10u);
  for (std::uint32_t i = 0; i < 10; ++i)
    EXPECT_EQ(sink.seen[i], std::make_pair(i, i == 5 ? Status::failed : Status::fixed)) << i;
  EXPECT_EQ(std::get<0>(observer.heard.back()), 1u);  // chunk 0 ended last
  ASSERT_EQ(observer.heard.size(), 10u);
  for (const auto& [index, attribute, before, after] : observer.heard) {
    EXPECT_EQ(attribute, Mismatch::groupIDMismatched);
    EXPECT_EQ(std::tie(before, after), std::make_tuple(std::int64_t{20}, std::int64_t{0}));
    EXPECT_EQ(trees.item("/f" + std::to_string(index))->gid, index == 5 ? 20u : 0u);
  }
}

TEST(QLFileSystemResourceManager, AnUnopenableVolumeFailsEveryRepair) {
  FakeVolumeTrees trees;
  trees.add("/a", {501, 0, 0100644});
  Items items(trees);
  ASSERT_TRUE(items.make("./a", 0100644));
  trees.refuseOpen(true);
  QLFileSystemResourceManager manager(items.list, 2, trees);
  const auto results = manager.repair();
  ASSERT_EQ(results.size(), 1u);
  EXPECT_EQ(results[0].attributeStatus(), Status::failed);
}

}  // namespace
}  // namespace tarnix
