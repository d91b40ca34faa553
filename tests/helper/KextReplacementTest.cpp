// A kext is replaced in one step: whenever the daemon is killed, or the new bundle cannot be
// copied, the folder holds the old bundle or the new one, whole.
#include <gtest/gtest.h>
#include <signal.h>
#include <sys/stat.h>

#include <filesystem>
#include <map>

#include "HelperHarness.h"

namespace tarnix {
namespace {

using test::Awaited;
using test::HelperDaemon;
using test::RecordingDelegate;
using test::TempDir;

using Tree = std::map<std::string, std::string>;  // relative path -> contents ("/" for a folder)

Tree treeOf(const std::string& root) {
  Tree tree;
  if (!std::filesystem::exists(root)) return tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    const std::string relative = entry.path().string().substr(root.size());
    tree[relative] = entry.is_directory() ? "/" : test::slurp(entry.path().string());
  }
  return tree;
}

std::vector<std::string> leftovers(const std::string& folder) {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator(folder))
    if (entry.path().filename().string().rfind(".tarnix-staging-", 0) == 0) names.push_back(entry.path().string());
  return names;
}

class KextReplacement : public ::testing::Test {
 protected:
  void SetUp() override {
    if (::geteuid() != 0) GTEST_SKIP() << "installed kexts belong to root";
    volume_ = dir_ / "volume";
    platform::makeDirectories(volume_ + "/System/Library/CoreServices");
    platform::makeDirectories(folder());
    // The old kext, and a new one large enough that copying it takes a while.
    const std::string old = folder() + "Big.kext";
    platform::makeDirectories(old + "/Contents/MacOS");
    platform::writeFile(old + "/Contents/Info.plist", "old", 0644);
    platform::writeFile(old + "/Contents/MacOS/Big", "old code", 0755);
    oldTree_ = treeOf(old);
    const std::string source = dir_ / "src/Big.kext";
    platform::makeDirectories(source + "/Contents/Resources");
    platform::writeFile(source + "/Contents/Info.plist", "new", 0644);
    const std::string block(64 * 1024, 'n');
    for (int i = 0; i < 300; ++i)
      platform::writeFile(source + "/Contents/Resources/part" + std::to_string(i), block + std::to_string(i), 0644);
    newTree_ = treeOf(source);
    kext_ = QLKernelExtension::fromPath(source);
  }

  std::string folder() const { return volume_ + "/Library/Extensions/"; }
  QLOSVolume volume() const {
    return QLOSVolume::fromArchive(volume_, QLOSVersion::fromArchive(10, 13, 6, "10.13.6", "17G65"));
  }

  // Sends the install to a daemon of its own and kills it `after` later (never, when negative).
  std::optional<std::vector<QLKernelExtension>> install(std::chrono::microseconds after) {
    HelperDaemon daemon;
    if (!daemon.started()) return std::nullopt;
    ::setenv("TARNIX_HELPER_SOCKET", daemon.socket().c_str(), 1);
    RecordingDelegate delegate;
    // Made before the manager so that it outlives the manager's thread, which may still answer
    // it when the daemon is killed.
    Awaited<std::vector<QLKernelExtension>> reply;
    QLXPCHelperManager manager(QLXPCHelper(QLXPCHelper::kIdentifier, "1.0.0"), &delegate);
    manager.installAndConnect();
    if (!test::waitFor([&] { return delegate.locked([&] { return delegate.connected == 1; }); })) return std::nullopt;
    manager.proxy()->installWithKernelExtensions({kext_}, "/Library/Extensions/", volume(), reply.reply());
    if (after.count() < 0) return reply.get();
    std::this_thread::sleep_for(after);
    ::kill(daemon.pid(), SIGKILL);
    return std::vector<QLKernelExtension>{};
  }

  TempDir dir_;
  std::string volume_;
  Tree oldTree_, newTree_;
  QLKernelExtension kext_ = QLKernelExtension::fromPath("/");
};

TEST_F(KextReplacement, AKillAtAnyMomentLeavesTheOldKextOrTheNewOneWhole) {
  // How long one replacement takes here, uninterrupted; then the old kext back.
  const auto started = std::chrono::steady_clock::now();
  const auto whole = install(std::chrono::microseconds(-1));
  const auto took = std::chrono::duration_cast<std::chrono::microseconds>(std::chrono::steady_clock::now() - started);
  ASSERT_TRUE(whole && whole->empty());
  ASSERT_EQ(treeOf(folder() + "Big.kext"), newTree_);

  int sawOld = 0, sawNew = 0, sawLeftover = 0;
  constexpr int kPoints = 16;
  // The kills spread over the time one replacement took; on a loaded machine a later one may
  // take longer, so the kills go on, later each time, until one came after the swap.
  for (int point = 0; point <= kPoints || (sawNew == 0 && point <= 4 * kPoints); ++point) {
    std::filesystem::remove_all(folder() + "Big.kext");
    std::filesystem::create_directories(folder() + "Big.kext/Contents/MacOS");
    platform::writeFile(folder() + "Big.kext/Contents/Info.plist", "old", 0644);
    platform::writeFile(folder() + "Big.kext/Contents/MacOS/Big", "old code", 0755);
    ASSERT_TRUE(install(took * point / (kPoints - 2)));
    const Tree found = treeOf(folder() + "Big.kext");
    const bool old = found == oldTree_;
    const bool fresh = found == newTree_;
    EXPECT_TRUE(old || fresh) << "killed at " << point << "/" << kPoints << ": " << found.size() << " items";
    sawOld += old;
    sawNew += fresh;
    sawLeftover += !leftovers(folder()).empty();
  }
  EXPECT_GT(sawOld, 0);
  EXPECT_GT(sawNew, 0);
  EXPECT_GT(sawLeftover, 0) << "no kill came while the bundle was being copied";
  // The next install clears what the killed ones left and replaces the kext again.
  const auto after = install(std::chrono::microseconds(-1));
  ASSERT_TRUE(after && after->empty());
  EXPECT_EQ(treeOf(folder() + "Big.kext"), newTree_);
  EXPECT_TRUE(leftovers(folder()).empty());
}

TEST_F(KextReplacement, ABundleThatCannotBeCopiedLeavesTheInstalledOneAndSaysSo) {
  // A pipe has no place in a bundle: the copy fails half way.
  ASSERT_EQ(::mkfifo((dir_ / "src/Big.kext/Contents/Resources/zz-pipe").c_str(), 0644), 0);
  HelperDaemon daemon;
  ASSERT_TRUE(daemon.started());
  ::setenv("TARNIX_HELPER_SOCKET", daemon.socket().c_str(), 1);
  RecordingDelegate delegate;
  QLXPCHelperManager manager(QLXPCHelper(QLXPCHelper::kIdentifier, "1.0.0"), &delegate);
  manager.installAndConnect();
  ASSERT_TRUE(test::waitFor([&] { return delegate.locked([&] { return delegate.connected == 1; }); }));
  Awaited<std::vector<QLKernelExtension>> reply;
  manager.proxy()->installWithKernelExtensions({kext_}, "/Library/Extensions/", volume(), reply.reply());
  const auto failed = reply.get();
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->size(), 1u);
  EXPECT_EQ(treeOf(folder() + "Big.kext"), oldTree_);
  EXPECT_TRUE(leftovers(folder()).empty());
  EXPECT_TRUE(daemon.logContains("the installed Big.kext is in place, unchanged")) << daemon.log();
}

}  // namespace
}  // namespace tarnix
