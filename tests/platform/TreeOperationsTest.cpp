#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cerrno>
#include <filesystem>
#include <map>
#include <string>

#include "TestSupport.h"
#include "platform/Fakes.h"
#include "platform/Files.h"
#include "platform/TreeOperations.h"

namespace tarnix::platform {
namespace {

using test::TempDir;
namespace fs = std::filesystem;

// Each item beneath `folder` as "mode content" (a file), "mode" (a folder) or "-> target"
// (a link): what a copy must reproduce, and a failed operation must leave as it was.
std::map<std::string, std::string> snapshot(const std::string& folder) {
  std::map<std::string, std::string> items;
  for (const auto& relative : enumerateBeneath(folder, "")) {
    const std::string path = folder + "/" + relative;
    const auto attributes = attributesBeneath("/", path);
    if (!attributes) continue;
    std::string& item = items[relative];
    if (attributes->isSymlink()) {
      item = "-> " + fs::read_symlink(path).string();
      continue;
    }
    char mode[8];
    std::snprintf(mode, sizeof mode, "%04o", attributes->permissions());
    item = mode;
    if (const auto contents = readFile(path)) item += " " + *contents;
  }
  return items;
}

// A kext as bundles come: folders, files, a set-user-id file, relative and absolute links.
void makeKext(const std::string& path) {
  ASSERT_EQ(makeDirectories(path + "/Contents/MacOS"), 0);
  ASSERT_EQ(makeDirectories(path + "/Contents/Resources/English.lproj"), 0);
  ASSERT_EQ(writeFile(path + "/Contents/Info.plist", "<plist/>", 0644), 0);
  ASSERT_EQ(writeFile(path + "/Contents/MacOS/Fake", std::string(200000, 'x'), 0755), 0);
  ASSERT_EQ(setModeNoFollow(path + "/Contents/MacOS/Fake", 04755), 0);
  ASSERT_EQ(writeFile(path + "/Contents/Resources/English.lproj/InfoPlist.strings", "", 0600), 0);
  ASSERT_EQ(makeSymlink("MacOS/Fake", path + "/Contents/Current"), 0);
  ASSERT_EQ(makeSymlink("/System/Library/Extensions", path + "/Contents/Home"), 0);
}

// A chain of `depth` folders below `path`.
void makeDeepTree(const std::string& path, int depth) {
  std::string deep = path;
  for (int level = 0; level < depth; ++level) deep += "/d";
  ASSERT_EQ(makeDirectories(deep), 0);
  ASSERT_EQ(writeFile(deep + "/leaf", "leaf"), 0);
}

class CopyTree : public ::testing::Test {
 protected:
  void SetUp() override {
    makeKext(dir / "from/Fake.kext");
    ASSERT_EQ(makeDirectories(dir / "to"), 0);
  }
  TempDir dir;
};

TEST_F(CopyTree, CopiesFoldersFilesAndLinksAsTheyAreWithoutSetIdBits) {
  ASSERT_EQ(copyTreeBeneath(dir.path(), "/from/Fake.kext", dir.path(), "/to/Fake.kext"), 0);
  auto expected = snapshot(dir / "from/Fake.kext");
  expected["Contents/MacOS/Fake"].replace(0, 4, "0755");
  EXPECT_EQ(snapshot(dir / "to/Fake.kext"), expected);
  EXPECT_EQ(expected["Contents/Home"], "-> /System/Library/Extensions");
}

TEST_F(CopyTree, FollowsALinkAtTheTopOnlyInsideItsRoot) {
  ASSERT_EQ(makeSymlink("/from/Fake.kext", dir / "from/Link.kext"), 0);
  ASSERT_EQ(copyTreeBeneath(dir.path(), "/from/Link.kext", dir.path(), "/to/Fake.kext"), 0);
  EXPECT_TRUE(isDirectory(dir / "to/Fake.kext/Contents"));
  // Resolved beneath the root "from": the link's absolute target names nothing there.
  EXPECT_EQ(copyTreeBeneath(dir / "from", "/Link.kext", dir.path(), "/to/Other.kext"), ENOENT);
}

TEST_F(CopyTree, CopiesTreesAsDeepAsBundlesGoAndRefusesDeeperOnes) {
  makeDeepTree(dir / "from/deep", 120);
  EXPECT_EQ(copyTreeBeneath(dir.path(), "/from/deep", dir.path(), "/to/deep"), 0);
  makeDeepTree(dir / "from/deeper", 140);
  EXPECT_EQ(copyTreeBeneath(dir.path(), "/from/deeper", dir.path(), "/to/deeper"), ELOOP);
  EXPECT_FALSE(pathExists(dir / "to/deeper"));
}

TEST_F(CopyTree, RefusesWhatABundleCannotHoldAndLeavesNothing) {
  ASSERT_EQ(::mkfifo((dir / "from/Fake.kext/Contents/pipe").c_str(), 0644), 0);
  EXPECT_EQ(copyTreeBeneath(dir.path(), "/from/Fake.kext", dir.path(), "/to/Fake.kext"), ENOTSUP);
  EXPECT_FALSE(pathExists(dir / "to/Fake.kext"));
}

TEST_F(CopyTree, NeverReplacesWhatIsThere) {
  ASSERT_EQ(writeFile(dir / "to/Fake.kext", "mine"), 0);
  EXPECT_EQ(copyTreeBeneath(dir.path(), "/from/Fake.kext", dir.path(), "/to/Fake.kext"), EEXIST);
  EXPECT_EQ(readFile(dir / "to/Fake.kext"), "mine");
}

// A copy that fails part-way says why and leaves no copy that could pass for a whole one (a
// kext kept for undo, a backup); the source is never touched.
TEST_F(CopyTree, AFailureMidWayIsReportedAndLeavesNoCopy) {
  struct Case {
    TreeCall call;
    const char* name;
    int error;
  };
  const Case cases[] = {
      {TreeCall::createFile, "Info.plist", EACCES},
      {TreeCall::write, "Fake", ENOSPC},
      {TreeCall::makeFolder, "English.lproj", ENOSPC},
      {TreeCall::makeLink, "Home", EACCES},
      {TreeCall::readLink, "Current", ELOOP},
      {TreeCall::open, "InfoPlist.strings", EACCES},
      {TreeCall::status, "MacOS", ELOOP},
      {TreeCall::list, "Resources", EXDEV},
      {TreeCall::mode, "Contents", EPERM},
      {TreeCall::mode, "Fake.kext", EPERM},
  };
  const auto source = snapshot(dir / "from/Fake.kext");
  for (const auto& [call, name, error] : cases) {
    SCOPED_TRACE(name);
    {
      FailingTreeCall fault(call, name, error);
      EXPECT_EQ(copyTreeBeneath(dir.path(), "/from/Fake.kext", dir.path(), "/to/Fake.kext"), error);
    }
    EXPECT_FALSE(pathExists(dir / "to/Fake.kext"));
    EXPECT_EQ(snapshot(dir / "from/Fake.kext"), source);
  }
  // And once the fault is gone, the same copy goes through.
  EXPECT_EQ(copyTreeBeneath(dir.path(), "/from/Fake.kext", dir.path(), "/to/Fake.kext"), 0);
}

TEST_F(CopyTree, GivesEveryCopiedItemTheOwnerAsked) {
  if (currentUserId() != 0) GTEST_SKIP() << "needs root to give items away";
  ASSERT_EQ(copyTreeBeneath(dir.path(), "/from/Fake.kext", dir.path(), "/to/Fake.kext", Ownership{1234, 5678}), 0);
  for (const auto& relative : enumerateBeneath(dir / "to", "Fake.kext")) {
    const auto attributes = attributesBeneath(dir.path(), "/to/Fake.kext/" + relative);
    ASSERT_TRUE(attributes) << relative;
    EXPECT_EQ(attributes->uid, 1234u) << relative;
    EXPECT_EQ(attributes->gid, 5678u) << relative;
  }
}

TEST(MakeDirectories, MakesEachMissingFolderWithItsModeAndKeepsWhatIsThere) {
  TempDir dir;
  ASSERT_EQ(makeDirectories(dir / "volume/private/var"), 0);
  ASSERT_EQ(makeSymlink("private/var", dir / "volume/var"), 0);
  // Through a link inside the root, as the volume's own system would go.
  ASSERT_EQ(makeDirectoriesBeneath(dir / "volume", "/var/log/Tarnix/", 0750), 0);
  const auto made = attributesBeneath(dir / "volume", "/private/var/log/Tarnix");
  ASSERT_TRUE(made);
  EXPECT_EQ(made->permissions(), 0750u);  // past the umask
  EXPECT_EQ(attributesBeneath(dir / "volume", "/private/var/log")->permissions(), 0750u);
  EXPECT_EQ(makeDirectoriesBeneath(dir / "volume", "/var/log/Tarnix", 0700), 0);
  EXPECT_EQ(attributesBeneath(dir / "volume", "/private/var/log/Tarnix")->permissions(), 0750u);
  EXPECT_EQ(makeDirectoriesBeneath(dir / "volume", "/var/../log", 0755), EINVAL);
  EXPECT_EQ(makeDirectoriesBeneath(dir / "volume", "/var/./log", 0755), EINVAL);
}

TEST(MakeDirectories, AFileWhereTheFolderShouldBeIsAFailure) {
  TempDir dir;
  ASSERT_EQ(writeFile(dir / "Logs", "not a folder"), 0);
  EXPECT_EQ(makeDirectoriesBeneath(dir.path(), "/Logs", 0755), ENOTDIR);
  EXPECT_EQ(makeDirectoriesBeneath(dir.path(), "/Logs/", 0755), ENOTDIR);
  EXPECT_EQ(makeDirectoriesBeneath(dir.path(), "/Logs/Tarnix", 0755), ENOTDIR);
}

// A folder that could not be given its owner or mode is not left to pass for a finished one
// the next time; folders already finished above it stay.
TEST(MakeDirectories, AFailureMidWayLeavesNoUnfinishedFolder) {
  const struct {
    TreeCall call;
    const char* name;
    int error;
    const char* unfinished;
  } cases[] = {
      {TreeCall::makeFolder, "Journal", ENOSPC, "Logs/Tarnix/Journal"},
      {TreeCall::makeFolder, "Tarnix", EACCES, "Logs/Tarnix"},
      {TreeCall::mode, "Journal", EPERM, "Logs/Tarnix/Journal"},
      {TreeCall::owner, "Tarnix", EPERM, "Logs/Tarnix"},
      {TreeCall::open, "Journal", ELOOP, "Logs/Tarnix/Journal"},
  };
  for (const auto& [call, name, error, unfinished] : cases) {
    SCOPED_TRACE(unfinished);
    TempDir dir;
    {
      FailingTreeCall fault(call, name, error);
      EXPECT_EQ(makeDirectoriesBeneath(dir.path(), "/Logs/Tarnix/Journal", 0700,
                                       Ownership{currentUserId(), currentGroupId()}),
                error);
    }
    EXPECT_FALSE(pathExists(dir / unfinished));
    EXPECT_TRUE(isDirectory(dir / "Logs"));
    ASSERT_EQ(makeDirectoriesBeneath(dir.path(), "/Logs/Tarnix/Journal", 0700), 0);
    EXPECT_EQ(attributesBeneath(dir.path(), "/Logs/Tarnix/Journal")->permissions(), 0700u);
  }
}

TEST(WriteFile, AFileCutShortIsNotLeftBehind) {
  TempDir dir;
  for (const auto& [call, error] :
       {std::pair{TreeCall::write, ENOSPC}, std::pair{TreeCall::mode, EPERM}, std::pair{TreeCall::owner, EPERM}}) {
    {
      FailingTreeCall fault(call, "Bramble", error);
      EXPECT_EQ(writeFileBeneath(dir.path(), "/Bramble", "tool", 0755, Ownership{currentUserId(), currentGroupId()}),
                error);
    }
    EXPECT_FALSE(pathExists(dir / "Bramble"));
  }
  ASSERT_EQ(writeFileBeneath(dir.path(), "/Bramble", "tool", 0755), 0);
  EXPECT_EQ(readFile(dir / "Bramble"), "tool");
  EXPECT_EQ(attributesBeneath(dir.path(), "/Bramble")->permissions(), 0755u);
  EXPECT_EQ(writeFileBeneath(dir.path(), "/Bramble", "other", 0755), EEXIST);
  EXPECT_EQ(readFile(dir / "Bramble"), "tool");
}

class RemoveTree : public ::testing::Test {
 protected:
  void SetUp() override {
    makeKext(dir / "Fake.kext");
    ASSERT_EQ(writeFile(dir / "target", "kept"), 0);
    ASSERT_EQ(makeSymlink("/target", dir / "link"), 0);
  }
  TempDir dir;
};

TEST_F(RemoveTree, RemovesFilesLinksAndTreesNeverWhatALinkNames) {
  EXPECT_EQ(removeBeneath(dir.path(), "/link"), 0);
  EXPECT_EQ(readFile(dir / "target"), "kept");
  EXPECT_EQ(removeBeneath(dir.path(), "/Fake.kext"), 0);
  EXPECT_FALSE(pathExists(dir / "Fake.kext"));
  EXPECT_EQ(removeBeneath(dir.path(), "/target"), 0);
  EXPECT_EQ(removeBeneath(dir.path(), "/target"), ENOENT);
  for (const char* root : {"", "/", "/.", "/.."}) EXPECT_EQ(removeBeneath(dir.path(), root), EINVAL) << root;
  EXPECT_TRUE(isDirectory(dir.path()));
}

// Removal cannot be undone part-way, but it never says it removed a tree it did not.
TEST_F(RemoveTree, AFailureMidWayIsReportedAndTheTreeIsStillThere) {
  const struct {
    TreeCall call;
    const char* name;
    int error;
  } cases[] = {
      {TreeCall::remove, "Info.plist", EACCES}, {TreeCall::list, "Resources", EXDEV},
      {TreeCall::open, "MacOS", ELOOP},         {TreeCall::status, "Current", EIO},
      {TreeCall::remove, "Fake.kext", EBUSY},
  };
  for (const auto& [call, name, error] : cases) {
    SCOPED_TRACE(name);
    TempDir fresh;
    makeKext(fresh / "Fake.kext");
    FailingTreeCall fault(call, name, error);
    EXPECT_EQ(removeBeneath(fresh.path(), "/Fake.kext"), error);
    EXPECT_TRUE(isDirectory(fresh / "Fake.kext"));
  }
  makeDeepTree(dir / "deep", 140);
  EXPECT_EQ(removeBeneath(dir.path(), "/deep"), ELOOP);
  EXPECT_TRUE(isDirectory(dir / "deep"));
}

class TreeAttributes : public ::testing::Test {
 protected:
  void SetUp() override {
    makeKext(dir / "Fake.kext");
    ASSERT_EQ(writeFile(dir / "outside", "", 0600), 0);
    ASSERT_EQ(makeSymlink("/outside", dir / "Fake.kext/Contents/Outside"), 0);
  }
  // Every item's permissions beneath the kext, links as "link".
  std::map<std::string, std::string> modes() {
    std::map<std::string, std::string> out;
    for (const auto& relative : enumerateBeneath(dir / "Fake.kext", "")) {
      const auto attributes = attributesBeneath(dir.path(), "/Fake.kext/" + relative);
      out[relative] = attributes->isSymlink() ? "link" : std::to_string(attributes->permissions());
    }
    return out;
  }
  TempDir dir;
  const Ownership me{currentUserId(), currentGroupId()};
};

TEST_F(TreeAttributes, GiveEveryItemTheModeButLinksAndNeverTouchWhatLinksName) {
  const auto outcome = setTreeAttributesBeneath(dir.path(), "/Fake.kext", me, 0755);
  EXPECT_TRUE(outcome.ownersSet);
  EXPECT_TRUE(outcome.modesSet);
  for (const auto& [relative, mode] : modes()) EXPECT_TRUE(mode == "493" || mode == "link") << relative << " " << mode;
  EXPECT_EQ(attributesBeneath(dir.path(), "/Fake.kext")->permissions(), 0755u);
  EXPECT_EQ(attributesBeneath(dir.path(), "/outside")->permissions(), 0600u);
  // The top item may not be a link.
  ASSERT_EQ(makeSymlink("/Fake.kext", dir / "Link.kext"), 0);
  const auto link = setTreeAttributesBeneath(dir.path(), "/Link.kext", me, 0700);
  EXPECT_FALSE(link.ownersSet || link.modesSet);
  EXPECT_EQ(attributesBeneath(dir.path(), "/Fake.kext")->permissions(), 0755u);
}

TEST_F(TreeAttributes, TheObserverSeesEachItemThatChangesAndMayHoldItBack) {
  ASSERT_EQ(setTreeAttributesBeneath(dir.path(), "/Fake.kext", me, 0755).modesSet, true);
  ASSERT_EQ(setModeNoFollow(dir / "Fake.kext/Contents/Info.plist", 0600), 0);
  ASSERT_EQ(setModeNoFollow(dir / "Fake.kext/Contents/MacOS/Fake", 0700), 0);
  std::map<std::string, std::uint32_t> seen;
  const TreeChangeObserver observer = [&](std::string_view relative, const FileAttributes& current) {
    seen[std::string(relative)] = current.permissions();
    return relative != "/Fake.kext/Contents/MacOS/Fake";
  };
  const auto outcome = setTreeAttributesBeneath(dir.path(), "/Fake.kext", me, 0755, &observer);
  EXPECT_EQ(seen, (std::map<std::string, std::uint32_t>{{"/Fake.kext/Contents/Info.plist", 0600},
                                                        {"/Fake.kext/Contents/MacOS/Fake", 0700}}));
  EXPECT_FALSE(outcome.modesSet);
  EXPECT_TRUE(outcome.ownersSet);
  EXPECT_EQ(attributesBeneath(dir.path(), "/Fake.kext/Contents/Info.plist")->permissions(), 0755u);
  EXPECT_EQ(attributesBeneath(dir.path(), "/Fake.kext/Contents/MacOS/Fake")->permissions(), 0700u);
}

// As chown -R and chmod -R: one item that fails is reported and the walk goes on.
TEST_F(TreeAttributes, AFailureIsReportedAndTheRestStillChanges) {
  const struct {
    TreeCall call;
    const char* name;
    int error;
    bool ownersSet, modesSet;
  } cases[] = {
      {TreeCall::mode, "Info.plist", EPERM, true, false},  {TreeCall::mode, "Resources", EROFS, true, false},
      {TreeCall::open, "MacOS", ELOOP, false, false},      {TreeCall::list, "English.lproj", EACCES, false, false},
      {TreeCall::status, "Info.plist", EIO, false, false},
  };
  for (const auto& [call, name, error, ownersSet, modesSet] : cases) {
    SCOPED_TRACE(name);
    ASSERT_EQ(setTreeAttributesBeneath(dir.path(), "/Fake.kext", me, 0700).modesSet, true);
    FailingTreeCall fault(call, name, error);
    const auto outcome = setTreeAttributesBeneath(dir.path(), "/Fake.kext", me, 0755);
    EXPECT_EQ(outcome.ownersSet, ownersSet);
    EXPECT_EQ(outcome.modesSet, modesSet);
    EXPECT_EQ(attributesBeneath(dir.path(), "/Fake.kext/Contents/Home")->isSymlink(), true);
    EXPECT_EQ(
        attributesBeneath(dir.path(), "/Fake.kext/Contents/Resources/English.lproj/InfoPlist.strings")->permissions(),
        std::string(name) == "English.lproj" ? 0700u : 0755u);
  }
}

TEST_F(TreeAttributes, GiveEveryItemTheOwnerLinksIncluded) {
  if (currentUserId() != 0) GTEST_SKIP() << "needs root to give items away";
  const auto outcome = setTreeAttributesBeneath(dir.path(), "/Fake.kext", {1234, 5678}, 0755);
  EXPECT_TRUE(outcome.ownersSet && outcome.modesSet);
  for (const auto& relative : enumerateBeneath(dir / "Fake.kext", "")) {
    const auto attributes = attributesBeneath(dir.path(), "/Fake.kext/" + relative);
    EXPECT_EQ(attributes->uid, 1234u) << relative;
    EXPECT_EQ(attributes->gid, 5678u) << relative;
  }
  EXPECT_EQ(attributesBeneath(dir.path(), "/outside")->uid, currentUserId());
}

}  // namespace
}  // namespace tarnix::platform
