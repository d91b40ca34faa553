// The root daemon against a real polkitd, driven by callers of other users: who may do what,
// on which volumes, with whose rights. Each attack that once worked is a case that now does no
// harm. Root only; skipped without root or without polkitd.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <filesystem>
#include <optional>
#include <thread>

#include "HelperHarness.h"
#include "SystemHarness.h"
#include "cli/SampleVolume.h"
#include "helper/protocol/QLXPCHelperRefusal.h"

namespace tarnix {
namespace {

using test::TestUser;

// Owner, group and mode of everything beneath `root`, one line each.
std::string listing(const std::string& root) {
  std::string text;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    struct stat info {};
    if (::lstat(entry.path().c_str(), &info) != 0) continue;
    text += entry.path().string() + " " + std::to_string(info.st_uid) + ":" + std::to_string(info.st_gid) + " " +
            std::to_string(info.st_mode) + "\n";
  }
  return text;
}

struct stat statOf(const std::string& path) {
  struct stat info {};
  ::lstat(path.c_str(), &info);
  return info;
}

class HelperAuthorization : public ::testing::Test {
 protected:
  void SetUp() override {
    const std::string missing = test::missingForAuthorizationTests();
    if (!missing.empty()) GTEST_SKIP() << missing;
    yes.emplace("yes");
    no.emplace("no");
    ASSERT_TRUE(yes->made() && no->made());
    ::chmod(dir.path().c_str(), 0755);
    polkit.emplace(std::string(TARNIX_BINARY_DIR) + "/helper/data/local.quillon.tarnix.helper.policy", yes->name(),
                   no->name());
    ASSERT_TRUE(polkit->started()) << polkit->log();
    volume.emplace(dir / "volume");
    ASSERT_TRUE(volume->mounted());
    cli::SampleVolumeSummary summary;
    std::string error;
    ASSERT_TRUE(cli::makeSampleVolume({volume->mountPoint() + "/macOS", 60}, summary, error)) << error;
    // The macOS volume is the mount itself.
    ASSERT_TRUE(
        test::runQuietly({"/bin/sh", "-c", "cd '" + volume->mountPoint() + "' && mv macOS/* . && rmdir macOS"}));
    platform::makeDirectories(volume->mountPoint() + "/Library/Extensions");

    kexts = dir / "kexts";
    makeKext(kexts + "/Foo.kext");
    platform::makeSymlink("/etc/shadow", kexts + "/Shadow.kext");
    platform::writeFile(dir / "Bramble", "#!/bin/sh\necho packaged\n", 0755);
    daemon.emplace(std::vector<std::string>{"DBUS_SYSTEM_BUS_ADDRESS=" + polkit->busAddress()});
    ASSERT_TRUE(daemon->started()) << daemon->log();
  }

  void makeKext(const std::string& bundle) {
    platform::makeDirectories(bundle + "/Contents/MacOS");
    platform::writeFile(bundle + "/Contents/Info.plist", "<plist/>", 0644);
    platform::writeFile(bundle + "/Contents/MacOS/Foo", "code", 0755);
  }

  std::string as(const TestUser& user, const std::vector<std::string>& call) {
    return test::askHelperAs(user.uid(), user.gid(), daemon->socket(), call);
  }
  std::string extensions() const { return volume->mountPoint() + "/Library/Extensions/"; }

  // Destroyed from the bottom up: the daemon first, the users last.
  std::optional<TestUser> yes, no;
  test::TempDir dir;
  std::optional<test::PolkitSystem> polkit;
  std::optional<test::LoopVolume> volume;
  std::string kexts;
  std::optional<test::HelperDaemon> daemon;
};

TEST_F(HelperAuthorization, RootIsServedWithoutAsking) {
  ::setenv("TARNIX_HELPER_SOCKET", daemon->socket().c_str(), 1);
  test::RecordingDelegate delegate;
  QLXPCHelperManager manager(QLXPCHelper(QLXPCHelper::kIdentifier, "1.0.0"), &delegate);
  manager.installAndConnect();
  ASSERT_TRUE(test::waitFor([&] { return delegate.locked([&] { return delegate.connected == 1; }); }));
  test::Awaited<std::vector<QLRepairPermissionsRepresentableResult>> results;
  std::optional<QLXPCHelperRefusal> refusal;
  manager.proxy()->repairDiskPermissionsOnTargetVolume(
      QLOSVolume::fromArchive(volume->mountPoint(), QLOSVersion::fromArchive(10, 13, 6, "10.13.6", "17G65")),
      [&, reply = results.reply()](std::vector<QLRepairPermissionsRepresentableResult> value) {
        refusal = QLXPCHelperRefusal::current();
        reply(std::move(value));
      });
  const auto repaired = results.get();
  ASSERT_TRUE(repaired);
  EXPECT_FALSE(repaired->empty());
  EXPECT_FALSE(refusal);
  for (const auto& result : *repaired)
    EXPECT_EQ(result.fileSystemResourcePath.rfind(volume->mountPoint() + "/", 0), 0u) << result.fileSystemResourcePath;
  EXPECT_FALSE(daemon->logContains("Authorized")) << "root needs no polkit";
}

TEST_F(HelperAuthorization, TheAllowedUserRepairsAndInstallsAKext) {
  const std::string before = listing(volume->mountPoint());
  const std::string repaired = as(*yes, {"repair", volume->mountPoint()});
  EXPECT_NE(repaired.find(" - progress="), std::string::npos) << repaired;
  EXPECT_NE(repaired.rfind("0 ", 0), 0u) << "results expected: " << repaired;
  EXPECT_NE(listing(volume->mountPoint()), before);
  EXPECT_TRUE(daemon->logContains("Authorized local.quillon.tarnix.repair for uid " + std::to_string(yes->uid())));

  EXPECT_EQ(as(*yes, {"install", volume->mountPoint(), "/Library/Extensions/", kexts + "/Foo.kext"}), "0 -");
  const auto installed = statOf(extensions() + "Foo.kext/Contents/MacOS/Foo");
  EXPECT_EQ(installed.st_uid, 0u);
  EXPECT_EQ(installed.st_mode & 07777, 0755u);
  EXPECT_EQ(as(*yes, {"repair-folder", volume->mountPoint(), "/Library/Extensions/"}), "true -");
  EXPECT_EQ(as(*yes, {"caches", volume->mountPoint()}), "true -");
  EXPECT_EQ(as(*yes, {"nvram", "40"}), "true -");
}

TEST_F(HelperAuthorization, TheRefusedUserIsToldAndNothingChanges) {
  const std::string before = listing(volume->mountPoint());
  EXPECT_EQ(as(*no, {"repair", volume->mountPoint()}), "0 notAuthorized progress=0");
  EXPECT_EQ(as(*no, {"install", volume->mountPoint(), "/Library/Extensions/", kexts + "/Foo.kext"}), "1 notAuthorized");
  EXPECT_EQ(as(*no, {"repair-folder", volume->mountPoint(), "/Library/Extensions/"}), "false notAuthorized");
  EXPECT_EQ(as(*no, {"caches", volume->mountPoint()}), "false notAuthorized");
  EXPECT_EQ(as(*no, {"tool", dir / "Bramble"}), "false notAuthorized");
  EXPECT_EQ(as(*no, {"nvram", "40"}), "false notAuthorized");
  EXPECT_EQ(listing(volume->mountPoint()), before);
  EXPECT_EQ(daemon->calls("nvram"), "");
  EXPECT_FALSE(platform::pathExists(daemon->root() + "/usr/local/bin/Bramble"));
  // Anyone may still ask what needs nobody's permission.
  EXPECT_EQ(as(*no, {"test"}), "1234567890 -");
}

TEST_F(HelperAuthorization, WithoutPolkitNobodyButRootIsServed) {
  polkit->stopPolkitd();
  const std::string before = listing(volume->mountPoint());
  EXPECT_EQ(as(*yes, {"repair-folder", volume->mountPoint(), "/Library/Extensions/"}), "false notAuthorized");
  EXPECT_EQ(as(*yes, {"nvram", "40"}), "false notAuthorized");
  EXPECT_EQ(listing(volume->mountPoint()), before);
}

TEST_F(HelperAuthorization, OnlyTrustedVolumesEvenForTheAllowedUser) {
  // A folder of the user's own, shaped like a volume whose receipts make its files set-user-id
  // root, with a hard link to a host file in its kext folder.
  const std::string forged = dir / "home/forged";
  platform::makeDirectories(dir / "home");
  cli::SampleVolumeSummary summary;
  std::string error;
  ASSERT_TRUE(cli::makeSampleVolume({forged, 60}, summary, error)) << error;
  const std::string hostFile = dir / "host-file";
  platform::writeFile(hostFile, "host", 0600);
  platform::makeDirectories(forged + "/Library/Extensions/Foo.kext");
  ASSERT_EQ(::link(hostFile.c_str(), (forged + "/Library/Extensions/Foo.kext/linked").c_str()), 0);
  ASSERT_TRUE(test::runQuietly({"/usr/bin/chown", "-R", yes->name() + ":" + yes->name(), dir / "home"}));
  const std::string forgedBefore = listing(forged);

  test::LoopVolume suid(dir / "suid", "loop,nodev");  // no nosuid
  ASSERT_TRUE(suid.mounted());
  const std::string tmpfs = dir / "tmpfs";
  platform::makeDirectories(tmpfs);
  ASSERT_TRUE(test::runQuietly({"/usr/bin/mount", "-t", "tmpfs", "-o", "nosuid,nodev,size=1m", "tarnix-test", tmpfs}));
  struct Case {
    std::string volume;
    std::string expected;
  };
  const Case cases[] = {
      {forged, "untrustedVolume:notAMountRoot"},
      {"/", "untrustedVolume:runningSystem"},
      {volume->mountPoint() + "/System", "untrustedVolume:notAMountRoot"},
      {"/proc/" + std::to_string(::getpid()) + "/root" + volume->mountPoint(), "untrustedVolume:unreachable"},
      {suid.mountPoint(), "untrustedVolume:missingNosuidNodev"},
      {tmpfs, "untrustedVolume:notBlockDevice"},
  };
  for (const auto& c : cases) {
    EXPECT_EQ(as(*yes, {"repair", c.volume}), "0 " + c.expected + " progress=0") << c.volume;
    EXPECT_EQ(as(*yes, {"repair-folder", c.volume, "/Library/Extensions/"}), "false " + c.expected) << c.volume;
  }
  // Where the running system keeps its temporary files: a folder of its root, or a mount of
  // its own, refused either way.
  EXPECT_EQ(as(*yes, {"repair-folder", "/var/tmp", "/Library/Extensions/"}).rfind("false untrustedVolume:", 0), 0u);
  test::runQuietly({"/usr/bin/umount", tmpfs});
  EXPECT_EQ(listing(forged), forgedBefore);
  EXPECT_EQ(statOf(hostFile).st_mode & 07777, 0600u);
  EXPECT_EQ(statOf(forged + "/bin/ps").st_uid, yes->uid()) << "the forged receipt made a root file";
  EXPECT_FALSE(daemon->logContains("Authorized")) << "refused before anyone is asked for a password";
}

TEST_F(HelperAuthorization, WhatTheCallerNamesIsUsedWithTheCallersRights) {
  // A kext that is a link to /etc/shadow: the caller cannot read it, so neither can the copy.
  EXPECT_EQ(as(*yes, {"install", volume->mountPoint(), "/Library/Extensions/", kexts + "/Shadow.kext"}), "1 -");
  EXPECT_FALSE(platform::pathExists(extensions() + "Shadow.kext"));

  // A backup into a folder the caller could not make is not made; into the caller's own it is
  // the caller's.
  EXPECT_EQ(as(*yes, {"install", volume->mountPoint(), "/Library/Extensions/", kexts + "/Foo.kext"}), "0 -");
  const std::string dropIn = "/etc/systemd/system/tarnix-test-" + test::uniqueSuffix() + ".service.d/";
  EXPECT_EQ(as(*yes, {"backup", volume->mountPoint(), "/Library/Extensions/", dropIn, kexts + "/Foo.kext"}), "1 -");
  EXPECT_FALSE(platform::pathExists(dropIn));
  const std::string backups = dir / "backups";
  platform::makeDirectories(backups);
  ASSERT_EQ(::chown(backups.c_str(), yes->uid(), yes->gid()), 0);
  EXPECT_EQ(as(*yes, {"backup", volume->mountPoint(), "/Library/Extensions/", backups + "/", kexts + "/Foo.kext"}),
            "0 -");
  for (const auto& entry : std::filesystem::recursive_directory_iterator(backups))
    EXPECT_EQ(statOf(entry.path()).st_uid, yes->uid()) << entry.path();

  // The tool: only the packaged copy, never a file the caller wrote or cannot read.
  const std::string own = dir / "home-tool";
  platform::makeDirectories(own);
  platform::writeFile(own + "/Bramble", "#!/bin/sh\nid\n", 0755);
  ASSERT_TRUE(test::runQuietly({"/usr/bin/chown", "-R", yes->name(), own}));
  const std::string installed = daemon->root() + "/usr/local/bin/Bramble";
  EXPECT_EQ(as(*yes, {"tool", own + "/Bramble"}), "false -");
  EXPECT_EQ(as(*yes, {"tool", "/etc/shadow"}), "false -");
  EXPECT_FALSE(platform::pathExists(installed));
  EXPECT_EQ(as(*yes, {"tool", daemon->dir() / "Bramble"}), "false -") << "the packaged copy was not written yet";
  platform::writeFile(daemon->dir() / "Bramble", "#!/bin/sh\necho packaged\n", 0755);
  EXPECT_EQ(as(*yes, {"tool", daemon->dir() / "Bramble"}), "true -");
  EXPECT_EQ(test::slurp(installed), "#!/bin/sh\necho packaged\n");
  EXPECT_EQ(statOf(installed).st_uid, 0u);
  EXPECT_EQ(as(*yes, {"uninstall-tool"}), "true -");
}

TEST_F(HelperAuthorization, ProgressGoesOnlyToTheUsersOwnConnections) {
  // The user connects, then root does (the newest connection of all), then the user's repair
  // starts: its progress goes to the user.
  const std::string go = dir / "go";
  std::string repaired;
  std::thread user([&] { repaired = as(*yes, {"repair", volume->mountPoint(), go}); });
  const bool userConnected = test::waitFor(
      [&] { return daemon->logContains("Accepted a connection from uid " + std::to_string(yes->uid())); });
  ::setenv("TARNIX_HELPER_SOCKET", daemon->socket().c_str(), 1);
  test::RecordingDelegate rootDelegate;
  QLXPCHelperManager rootClient(QLXPCHelper(QLXPCHelper::kIdentifier, "1.0.0"), &rootDelegate);
  rootClient.installAndConnect();
  const bool rootConnected =
      test::waitFor([&] { return rootDelegate.locked([&] { return rootDelegate.connected == 1; }); });
  platform::writeFile(go, "");
  user.join();
  ASSERT_TRUE(userConnected && rootConnected);
  EXPECT_EQ(repaired.find("progress=0"), std::string::npos) << repaired;
  EXPECT_TRUE(rootDelegate.locked([&] { return rootDelegate.contexts.empty(); }));
}

}  // namespace
}  // namespace tarnix
