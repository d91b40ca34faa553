// What the helper trusts as a volume, and acting with a caller's rights on one thread.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <future>
#include <thread>

#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/Identity.h"
#include "platform/PeerCredentials.h"
#include "platform/Process.h"
#include "platform/TreeOperations.h"
#include "platform/VolumeHandle.h"

namespace tarnix::platform {
namespace {

using test::TempDir;

bool isRoot() { return ::geteuid() == 0; }

// Folders that are not trusted mounts, whoever asks. The loop-mounted cases are in the helper's
// authorization tests, which need root.
TEST(TrustedVolume, RefusesWhatIsNotATrustedMount) {
  TempDir dir;
  makeDirectories(dir / "folder");
  makeSymlink(dir / "folder", dir / "link");
  struct Case {
    std::string path;
    VolumeRefusal expected;
  };
  const Case cases[] = {
      {dir / "folder", VolumeRefusal::notAMountRoot}, {dir / "link", VolumeRefusal::unreachable},
      {dir / "missing", VolumeRefusal::unreachable},  {"/proc/self/root" + dir.path(), VolumeRefusal::unreachable},
      {"/proc/self/cwd", VolumeRefusal::unreachable}, {"/", VolumeRefusal::runningSystem},
  };
  for (const auto& c : cases) {
    const auto opening = openTrustedVolume(c.path);
    EXPECT_FALSE(opening.volume) << c.path;
    EXPECT_EQ(opening.refusal, c.expected) << c.path << ": " << describe(opening.refusal);
  }
  // A trusted caller's folder is taken as it stands.
  const auto folder = openVolume(dir / "link");
  ASSERT_TRUE(folder.volume);
  EXPECT_FALSE(folder.volume->confined());
  EXPECT_TRUE(isDirectory(folder.volume->path()));
}

// The held descriptor is the volume: renaming its path afterwards changes nothing.
TEST(TrustedVolume, WorkContinuesOnTheFolderThatWasOpened) {
  TempDir dir;
  makeDirectories(dir / "volume/Library/Extensions");
  auto opened = openVolume(dir / "volume");
  ASSERT_TRUE(opened.volume);
  ASSERT_EQ(::rename((dir / "volume").c_str(), (dir / "moved").c_str()), 0);
  makeDirectories(dir / "volume/Library/Extensions");  // a new folder at the old path
  ASSERT_EQ(writeFileBeneath(*opened.volume, "/Library/Extensions/Foo", "x", 0644), 0);
  EXPECT_TRUE(pathExists(dir / "moved/Library/Extensions/Foo"));
  EXPECT_FALSE(pathExists(dir / "volume/Library/Extensions/Foo"));
}

// Work on a confined volume stops at another file system mounted inside it.
TEST(TrustedVolume, AConfinedVolumeIsNotLeftForAMountInsideIt) {
  if (!isRoot()) GTEST_SKIP() << "needs root to mount";
  TempDir dir;
  makeDirectories(dir / "volume/Library/Extensions");
  const std::string inner = dir / "volume/Library/Extensions";
  ASSERT_TRUE(linuxProcessRunner().run("/usr/bin/mount", {"-t", "tmpfs", "-o", "size=1m", "tarnix-test", inner}) == 0);
  writeFile(inner + "/file", "x", 0600);
  {
    const int fd = ::open((dir / "volume").c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    const VolumeHandle confined(fd, dir / "volume", true);
    const auto outcome = setTreeAttributesBeneath(confined, "/Library/Extensions/file", {0, 0}, 0644);
    EXPECT_FALSE(outcome.modesSet);
    EXPECT_NE(removeBeneath(confined, "/Library/Extensions/file"), 0);
  }
  struct stat info {};
  EXPECT_EQ(::stat((inner + "/file").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u);
  linuxProcessRunner().run("/usr/bin/umount", {inner});
}

TEST(PeerCredentials, AreTheConnectingProcesss) {
  int pair[2];
  ASSERT_EQ(::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, pair), 0);
  const auto peer = peerCredentials(pair[0]);
  ::close(pair[0]);
  ::close(pair[1]);
  ASSERT_TRUE(peer);
  EXPECT_EQ(peer->pid, ::getpid());
  EXPECT_EQ(peer->uid, ::geteuid());
  EXPECT_EQ(peer->startTime, processStartTime(::getpid()).value_or(0));
  EXPECT_NE(peer->startTime, 0u);
  std::vector<gid_t> groups(static_cast<std::size_t>(::getgroups(0, nullptr)));
  groups.resize(static_cast<std::size_t>(std::max(0, ::getgroups(static_cast<int>(groups.size()), groups.data()))));
  EXPECT_EQ(peer->groups, groups);
  if (peer->process) {
    EXPECT_TRUE(peer->process->alive());
  }
}

// One thread reads and writes with a caller's rights while the others keep the daemon's.
TEST(ActingAs, ChangesOnlyThisThreadAndComesBack) {
  if (!isRoot()) GTEST_SKIP() << "needs root to act as another user";
  TempDir dir;
  ::chmod(dir.path().c_str(), 0777);
  const std::string secret = dir / "secret";
  writeFile(secret, "root only", 0600);
  const Identity nobody{65534, 65534, {65534}};
  const auto readable = [&] {
    const int fd = ::open(secret.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd >= 0) ::close(fd);
    return fd >= 0;
  };
  // A thread that was running before (one started meanwhile would inherit the identity).
  std::promise<void> acting;
  bool inside = true, otherThread = false;
  std::thread other([&] {
    acting.get_future().wait();
    otherThread = readable();
  });
  {
    ActingAs as(&nobody);
    ASSERT_TRUE(as.ok());
    inside = readable();
    acting.set_value();
    other.join();
    writeFile(dir / "made", "x", 0644);
  }
  EXPECT_FALSE(inside);
  EXPECT_TRUE(otherThread) << "another thread took the caller's rights";
  EXPECT_TRUE(readable()) << "the thread did not come back";
  struct stat info {};
  ASSERT_EQ(::stat((dir / "made").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);

  // A copy reads with one identity and writes with another.
  makeDirectories(dir / "kext/Contents");
  writeFile(dir / "kext/Contents/open", "x", 0644);
  writeFile(dir / "kext/Contents/closed", "x", 0600);
  EXPECT_EQ(copyTreeBeneath("/", dir / "kext", "/", dir / "copy", std::nullopt, {&nobody, nullptr}), EACCES);
  ::chmod((dir / "kext/Contents/closed").c_str(), 0644);
  EXPECT_EQ(copyTreeBeneath("/", dir / "kext", "/", dir / "copy2", std::nullopt, {nullptr, &nobody}), 0);
  ASSERT_EQ(::stat((dir / "copy2/Contents/closed").c_str(), &info), 0);
  EXPECT_EQ(info.st_uid, 65534u);
}

}  // namespace
}  // namespace tarnix::platform
