#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <functional>

#include "TestSupport.h"
#include "platform/BootProbe.h"
#include "platform/Files.h"
#include "platform/Mounts.h"
#include "platform/Process.h"
#include "platform/Processor.h"
#include "platform/VolumeTree.h"

namespace tarnix::platform {
namespace {

using test::TempDir;

// A volume with a file, a folder, links that try to leave the root and a link to a file.
class VolumeTreeTest : public ::testing::Test {
 protected:
  void SetUp() override {
    ASSERT_EQ(makeDirectories(dir / "private/etc"), 0);
    ASSERT_EQ(writeFile(dir / "private/etc/hosts", "volume\n", 0640), 0);
    ASSERT_EQ(makeSymlink("private/etc", dir / "etc"), 0);
    ASSERT_EQ(makeSymlink("/", dir / "host"), 0);          // absolute: the volume's own root
    ASSERT_EQ(makeSymlink("../../../..", dir / "up"), 0);  // cannot climb above the root
    ASSERT_EQ(makeSymlink("/private/etc/hosts", dir / "hostslink"), 0);
    tree = linuxVolumeTrees().open(dir.path());
    ASSERT_TRUE(tree);
  }
  TempDir dir;
  std::unique_ptr<VolumeTree> tree;
};

TEST_F(VolumeTreeTest, ReadsItemsAndLinksThemselves) {
  auto file = tree->attributes("/private/etc/hosts");
  ASSERT_TRUE(file);
  EXPECT_EQ(file->mode, 0100640u);
  auto link = tree->attributes("/hostslink");
  ASSERT_TRUE(link);
  EXPECT_TRUE(link->isSymlink());
  auto root = tree->attributes("");
  ASSERT_TRUE(root);
  EXPECT_EQ(root->mode & 0170000u, 0040000u);
  EXPECT_FALSE(tree->attributes("/missing"));
  // Intermediate links are followed, inside the volume.
  EXPECT_TRUE(tree->attributes("/etc/hosts"));
}

TEST_F(VolumeTreeTest, LinksNeverLeaveTheVolume) {
  ASSERT_TRUE(pathExists("/etc/passwd"));  // on the host
  EXPECT_FALSE(tree->attributes("/host/etc/passwd"));
  EXPECT_FALSE(tree->attributes("/up/etc/passwd"));
  EXPECT_TRUE(tree->attributes("/host/private/etc/hosts"));
  EXPECT_TRUE(tree->attributes("/up/private/etc/hosts"));
  EXPECT_FALSE(tree->attributes("/private/.."));
  EXPECT_NE(tree->changePermissions("/private/etc/..", 0700), 0);
  EXPECT_FALSE(readFileBeneath(dir.path(), "/host/etc/passwd"));
  EXPECT_EQ(readFileBeneath(dir.path(), "/host/private/etc/hosts"), "volume\n");
}

TEST_F(VolumeTreeTest, ChangesModesWithoutFollowingLinks) {
  EXPECT_EQ(tree->changePermissions("/private/etc/hosts", 0604), 0);
  EXPECT_EQ(tree->attributes("/private/etc/hosts")->permissions(), 0604u);
  // A link's own mode cannot be set here; its target must stay untouched.
  EXPECT_EQ(tree->changePermissions("/hostslink", 0700), EOPNOTSUPP);
  EXPECT_EQ(tree->attributes("/private/etc/hosts")->permissions(), 0604u);
  EXPECT_EQ(tree->changePermissions("/missing", 0700), ENOENT);
}

TEST_F(VolumeTreeTest, ChangesOwnersOfLinksThemselves) {
  if (geteuid() != 0) GTEST_SKIP() << "needs root";
  EXPECT_EQ(tree->changeOwner("/hostslink", 501, 20), 0);
  EXPECT_EQ(tree->attributes("/hostslink")->uid, 501u);
  EXPECT_EQ(tree->attributes("/private/etc/hosts")->uid, 0u);
  EXPECT_EQ(tree->changeOwner("/private/etc/hosts", std::nullopt, 20), 0);
  const auto hosts = tree->attributes("/private/etc/hosts");
  EXPECT_EQ(hosts->uid, 0u);
  EXPECT_EQ(hosts->gid, 20u);
}

TEST(Files, ReadsProcFilesAndHonoursTheLimit) {
  const auto mounts = readFile("/proc/self/mountinfo");
  ASSERT_TRUE(mounts);
  EXPECT_FALSE(mounts->empty());
  TempDir dir;
  ASSERT_EQ(writeFile(dir / "ten", "0123456789"), 0);
  EXPECT_EQ(readFile(dir / "ten", 10), "0123456789");
  EXPECT_FALSE(readFile(dir / "ten", 9));
  EXPECT_FALSE(readFile(dir.path()));  // a folder is not a file
}

TEST(Files, EnumeratesBeneathWithoutFollowingLinks) {
  TempDir dir;
  ASSERT_EQ(makeDirectories(dir / "r/sub"), 0);
  ASSERT_EQ(writeFile(dir / "r/a.plist", ""), 0);
  ASSERT_EQ(writeFile(dir / "r/sub/b.plist", ""), 0);
  ASSERT_EQ(makeSymlink("/etc", dir / "r/hostetc"), 0);
  auto listed = enumerateBeneath(dir.path(), "/r");
  std::sort(listed.begin(), listed.end());
  EXPECT_EQ(listed, (std::vector<std::string>{"a.plist", "hostetc", "sub", "sub/b.plist"}));
  EXPECT_TRUE(enumerateBeneath(dir.path(), "/missing").empty());
}

// What `run` wrote to this process's standard error (the terminal, for a user).
std::string standardErrorOf(const std::function<void()>& run) {
  TempDir dir;
  std::fflush(stderr);
  const int saved = ::dup(2);
  const int file = ::open((dir / "err").c_str(), O_WRONLY | O_CREAT | O_CLOEXEC, 0600);
  ::dup2(file, 2);
  ::close(file);
  run();
  std::fflush(stderr);
  ::dup2(saved, 2);
  ::close(saved);
  return test::slurp(dir / "err");
}

TEST(Process, JudgedByExitStatus) {
  EXPECT_EQ(linuxProcessRunner().run("/bin/true", {}), 0);
  EXPECT_EQ(linuxProcessRunner().run("/bin/sh", {"-c", "exit 3"}), 3);
  EXPECT_EQ(linuxProcessRunner().run("/nonexistent/tool", {}), std::nullopt);
  EXPECT_EQ(captureOutput("/bin/echo", {"2.1"}), "2.1\n");
  EXPECT_EQ(captureOutput("/bin/false", {}), std::nullopt);
  // A probe's child neither prints on the terminal nor waits for it.
  std::optional<std::string> out;
  EXPECT_EQ(standardErrorOf([&] { out = captureOutput("/bin/sh", {"-c", "echo out; echo err >&2; cat"}); }), "");
  EXPECT_EQ(out, "out\n");
}

TEST(Processor, ParsesCpuInfo) {
  const std::string twoPackages =
      "processor\t: 0\nmodel name\t: Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz\nphysical id\t: 0\ncore id\t: 0\n"
      "cpu cores\t: 2\n\n"
      "processor\t: 1\nmodel name\t: Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz\nphysical id\t: 0\ncore id\t: 0\n\n"
      "processor\t: 2\nphysical id\t: 1\ncore id\t: 0\n\nprocessor\t: 3\nphysical id\t: 1\ncore id\t: 1\n";
  const auto info = parseCpuInfo(twoPackages);
  EXPECT_EQ(info.brand, "Intel(R) Core(TM) i7-8700K CPU @ 3.70GHz");
  EXPECT_EQ(info.threads, 4);
  EXPECT_EQ(info.cores, 3);  // (0,0), (1,0), (1,1)

  const auto noIds = parseCpuInfo("processor : 0\ncpu cores : 4\nprocessor : 1\n");
  EXPECT_EQ(noIds.cores, 4);
  EXPECT_EQ(noIds.threads, 2);
  EXPECT_FALSE(noIds.brand);

  EXPECT_FALSE(parseCpuInfo("model name : " + std::string(100, 'x') + "\n").brand);
  const auto empty = parseCpuInfo("");
  EXPECT_FALSE(empty.cores || empty.threads || empty.brand);
  EXPECT_GE(onlineProcessorCount(), 1);
}

TEST(BootProbe, ProbesQuietly) {
  EXPECT_EQ(standardErrorOf([] { isSingleUserBoot(); }), "");
}

TEST(BootProbe, SingleUserCommandLines) {
  const std::pair<const char*, bool> cases[] = {
      {"BOOT_IMAGE=/vmlinuz root=/dev/sda1 ro quiet", false},
      {"root=/dev/sda1 single", true},
      {"root=/dev/sda1 S", true},
      {"ro 1", true},
      {"systemd.unit=rescue.target", true},
      {"systemd.unit=emergency.target quiet", true},
      {"systemd.unit=graphical.target", false},
      {"singleton=1", false},
      {"quiet -- single", false},  // an argument of init, not of the kernel
  };
  for (const auto& [line, expected] : cases) EXPECT_EQ(isSingleUserCommandLine(line), expected) << line;
}

TEST(Mounts, ParsesMountInfo) {
  const auto mounts = parseMountInfo(
      "36 35 98:0 / /mnt/Macintosh\\040HD rw,noatime master:1 - hfsplus /dev/sdb2 rw,uid=0\n"
      "37 35 98:1 / /media/ro ro,relatime - apfs /dev/sdc1 ro\n"
      "garbage\n"
      "38 35 0:45 /sub /tmp rw,nosuid,nodev - tmpfs tmpfs rw\n");
  ASSERT_EQ(mounts.size(), 3u);
  EXPECT_EQ(mounts[0].mountPoint, "/mnt/Macintosh HD");
  EXPECT_EQ(mounts[0].fileSystemType, "hfsplus");
  EXPECT_FALSE(mounts[0].readOnly);
  EXPECT_EQ(mounts[1].fileSystemType, "apfs");
  EXPECT_TRUE(mounts[1].readOnly);
  // What the helper checks a volume with: the mount's id, its device, what of its file system
  // is mounted there, and the mount's own options.
  EXPECT_EQ(mounts[0].mountId, 36u);
  EXPECT_TRUE(mounts[0].onBlockDevice());
  EXPECT_EQ(mounts[0].root, "/");
  EXPECT_TRUE(mounts[0].hasOption("noatime"));
  EXPECT_FALSE(mounts[0].hasOption("atime"));
  EXPECT_FALSE(mounts[0].hasOption("uid=0")) << "the file system's options are not the mount's";
  EXPECT_FALSE(mounts[2].onBlockDevice());
  EXPECT_EQ(mounts[2].root, "/sub");
  EXPECT_TRUE(mounts[2].hasOption("nodev"));
}

}  // namespace
}  // namespace tarnix::platform
