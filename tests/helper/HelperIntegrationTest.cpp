#include <grp.h>
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <optional>
#include <thread>

#include "HelperHarness.h"
#include "SystemHarness.h"
#include "cli/SampleVolume.h"
#include "helper/protocol/QLWireCalls.h"
#include "helper/protocol/QLWireMessage.h"

namespace tarnix {
namespace {

using test::Awaited;
using test::HelperDaemon;
using test::RecordingDelegate;

bool isRoot() { return ::geteuid() == 0; }

struct Client {
  explicit Client(const HelperDaemon& daemon) {
    ::setenv("TARNIX_HELPER_SOCKET", daemon.socket().c_str(), 1);
    manager.installAndConnect();
    connected = test::waitFor([&] { return delegate.locked([&] { return delegate.connected == 1; }); });
  }
  QLXPCTarnixHelperProtocol& proxy() { return *manager.proxy(); }
  RecordingDelegate delegate;
  QLXPCHelperManager manager{QLXPCHelper(QLXPCHelper::kIdentifier, "1.0.0"), &delegate};
  bool connected = false;
};

class HelperIntegration : public ::testing::Test {
 protected:
  void SetUp() override { ASSERT_TRUE(daemon.started()) << daemon.log(); }

  QLOSVolume makeVolume(std::size_t files = 60) {
    const std::string path = daemon.dir() / ("volume" + std::to_string(volumes_++));
    cli::SampleVolumeSummary summary;
    std::string error;
    EXPECT_TRUE(cli::makeSampleVolume({path, files}, summary, error)) << error;
    auto volume = QLOSVolume::initWithMountPoint(path);
    EXPECT_TRUE(volume);
    return *volume;
  }
  QLOSVolume fakeVolume(const std::string& mountPoint) {
    return QLOSVolume::fromArchive(mountPoint, QLOSVersion::fromArchive(10, 13, 6, "10.13.6", "17G65"));
  }
  // A kext bundle with a real Info.plist and a link inside.
  QLKernelExtension makeKext(const std::string& name, const char* fixture) {
    const std::string bundle = daemon.dir() / ("src/" + name);
    platform::makeDirectories(bundle + "/Contents/MacOS");
    const auto info = test::realFixture(std::string("kext/") + fixture);
    platform::writeFile(bundle + "/Contents/Info.plist",
                        std::filesystem::exists(info) ? test::slurp(info) : std::string("<plist/>"), 0600);
    platform::writeFile(bundle + "/Contents/MacOS/binary", "code", 0700);
    platform::makeSymlink("/etc/hostname", bundle + "/Contents/outside");
    return QLKernelExtension::fromPath(bundle);
  }

  HelperDaemon daemon;
  int volumes_ = 0;
};

TEST_F(HelperIntegration, ConnectsAndAnswersTheLivenessCalls) {
  Client client(daemon);
  ASSERT_TRUE(client.connected);
  EXPECT_EQ(client.delegate.notifications,
            std::vector<std::string>{QLXPCHelperManagerNotification::didConnectToHelper});
  Awaited<std::int64_t> test2;
  client.proxy().test2(test2.reply());
  EXPECT_EQ(test2.get(), 9999999999);
  Awaited<std::string> version;
  client.proxy().getVersion(version.reply());
  EXPECT_EQ(version.get(), "1.0.0");
}

TEST_F(HelperIntegration, RepairsPermissionsWithThrottledProgressAndTheThreadBudget) {
  const auto volume = makeVolume(4000);
  Client client(daemon);
  ASSERT_TRUE(client.connected);
  Awaited<bool> budget;
  client.proxy().changeMaximumThreadsNumber(1, budget.reply());
  EXPECT_EQ(budget.get(), true);

  Awaited<std::vector<QLRepairPermissionsRepresentableResult>> results;
  client.proxy().repairDiskPermissionsOnTargetVolume(volume, results.reply());
  const auto repaired = results.get();
  ASSERT_TRUE(repaired);
  ASSERT_FALSE(repaired->empty());
  for (const auto& result : *repaired) {
    EXPECT_TRUE(result.attributeStatusString == "Fixed" || result.attributeStatusString == "Failed");
    EXPECT_EQ(result.fileSystemResourcePath.front(), '/');
  }
  EXPECT_TRUE(daemon.logContains("with 1 threads."));

  client.delegate.locked([&] {
    ASSERT_FALSE(client.delegate.contexts.empty());
    EXPECT_EQ(client.delegate.contexts.front().status, "Progress");
    EXPECT_EQ(client.delegate.contexts.front().progress, 0.0);
    EXPECT_EQ(client.delegate.contexts.front().phase, "receipts");
    EXPECT_EQ(client.delegate.contexts.back().phase, "transfer");
    // The last says the results are on their way, whenever the repair ends.
    for (std::size_t i = 1; i + 1 < client.delegate.contexts.size(); ++i) {
      EXPECT_GE(client.delegate.contexts[i].progress, client.delegate.contexts[i - 1].progress);
      // About one a second: never two within much less than the interval.
      EXPECT_GE(client.delegate.contextTimes[i] - client.delegate.contextTimes[i - 1], std::chrono::milliseconds(800));
    }
  });
}

// A repair's results are written and sent off the daemon's loop while the repair runs: another
// client is answered meanwhile (the limit is generous for a loaded machine; the benchmark
// measures it), and the asking client gets every result.
TEST_F(HelperIntegration, AnswersOthersWhileALargeRepairSendsItsResults) {
  const auto volume = makeVolume(40000);
  Client repairing(daemon);
  Client other(daemon);
  ASSERT_TRUE(repairing.connected && other.connected);
  Awaited<std::vector<QLRepairPermissionsRepresentableResult>> results;
  repairing.proxy().repairDiskPermissionsOnTargetVolume(volume, results.reply());
  std::chrono::steady_clock::duration longest{};
  int answered = 0;
  while (!results.ready()) {
    const auto asked = std::chrono::steady_clock::now();
    Awaited<std::int64_t> test;
    other.proxy().test(test.reply());
    EXPECT_EQ(test.get(), 1234567890);
    longest = std::max(longest, std::chrono::steady_clock::now() - asked);
    ++answered;
  }
  const auto repaired = results.get();
  ASSERT_TRUE(repaired);
  EXPECT_GT(repaired->size(), 10000u);
  EXPECT_GT(answered, 1);
  EXPECT_LT(longest, std::chrono::seconds(2));
}

// Not the user's newest connection: a second program of the same user (the main application
// beside the EZ installer) would take the progress of the one that asked.
TEST_F(HelperIntegration, ProgressGoesToTheConnectionThatAsked) {
  const auto volume = makeVolume();
  Client first(daemon);
  Client second(daemon);
  ASSERT_TRUE(first.connected && second.connected);
  Awaited<std::vector<QLRepairPermissionsRepresentableResult>> results;
  first.proxy().repairDiskPermissionsOnTargetVolume(volume, results.reply());
  ASSERT_TRUE(results.get());
  EXPECT_FALSE(first.delegate.locked([&] { return first.delegate.contexts.empty(); }));
  EXPECT_TRUE(second.delegate.locked([&] { return second.delegate.contexts.empty(); }));
}

TEST_F(HelperIntegration, RebuildsCachesThroughKextcache) {
  const auto volume = makeVolume();
  Client client(daemon);
  Awaited<bool> ok, failed;
  client.proxy().rebuildCachesOnTargetVolume(volume, ok.reply());
  EXPECT_EQ(ok.get(), true);
  EXPECT_EQ(daemon.calls("kextcache"), "-i\n" + volume.mountPoint + "\n--\n");
  daemon.setStatus("kextcache", 1);
  client.proxy().rebuildCachesOnTargetVolume(volume, failed.reply());
  EXPECT_EQ(failed.get(), false);
  Awaited<bool> refused;
  client.proxy().rebuildCachesOnTargetVolume(fakeVolume(daemon.dir() / "missing"), refused.reply());
  EXPECT_EQ(refused.get(), false);
}

TEST_F(HelperIntegration, RepairsAKextFolderWithoutFollowingLinks) {
  const auto volume = makeVolume();
  const std::string folder = volume.mountPoint + "/Library/Extensions";
  platform::makeDirectories(folder + "/Foo.kext/Contents", 0700);
  platform::writeFile(folder + "/Foo.kext/Contents/Info.plist", "x", 0600);
  const std::string outside = daemon.dir() / "outside-file";
  platform::writeFile(outside, "host", 0600);
  platform::makeSymlink(outside, folder + "/Foo.kext/Contents/link");
  Client client(daemon);

  struct Case {
    std::string folder;
    QLOSVolume volume;
    bool expected;
  };
  const Case cases[] = {
      {"/Library/Extensions/", volume, isRoot()},  // chown to 0:0 needs root
      {"/etc/", volume, false},
      {"/Library/Extensions/../../", volume, false},
      {"/Library/Extensions/", fakeVolume("/nonexistent"), false},
  };
  for (const auto& c : cases) {
    Awaited<bool> reply;
    client.proxy().repairWithFolder(c.folder, c.volume, reply.reply());
    EXPECT_EQ(reply.get(), c.expected) << c.folder;
  }
  struct stat info {};
  ASSERT_EQ(::stat((folder + "/Foo.kext/Contents/Info.plist").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  ASSERT_EQ(::stat(outside.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0600u) << "the link's target was changed";
}

TEST_F(HelperIntegration, InstallsAndBacksUpKexts) {
  const auto volume = makeVolume();
  const auto fakeSMC = makeKext("FakeSMC.kext", "FakeSMC.kext-Info.plist");
  const auto lilu = makeKext("Lilu.kext", "Lilu.kext-Info.plist");
  const std::string extensions = volume.mountPoint + "/Library/Extensions/";
  platform::makeDirectories(extensions + "FakeSMC.kext/Old");  // replaced by the install
  Client client(daemon);

  Awaited<std::vector<QLKernelExtension>> backup;
  const std::string backups = daemon.dir() / "backups/";
  client.proxy().backupWithKernelExtensions({fakeSMC, lilu}, "/Library/Extensions/", volume, backups, backup.reply());
  auto notBackedUp = backup.get();
  ASSERT_TRUE(notBackedUp);
  ASSERT_EQ(notBackedUp->size(), 1u);
  EXPECT_EQ(notBackedUp->front(), lilu);
  std::vector<std::string> dated;
  for (const auto& entry : std::filesystem::directory_iterator(backups)) dated.push_back(entry.path().string());
  ASSERT_EQ(dated.size(), 1u);
  EXPECT_TRUE(platform::isDirectory(dated.front() + "/FakeSMC.kext/Old"));
  EXPECT_EQ(std::filesystem::path(dated.front()).filename().string().size(), 15u);  // 20170315_142530

  Awaited<std::vector<QLKernelExtension>> install;
  client.proxy().installWithKernelExtensions({fakeSMC, lilu}, "/Library/Extensions/", volume, install.reply());
  auto failed = install.get();
  ASSERT_TRUE(failed);
  EXPECT_EQ(failed->size(), isRoot() ? 0u : 2u);  // 0:0 needs root
  EXPECT_FALSE(platform::pathExists(extensions + "FakeSMC.kext/Old"));
  struct stat info {};
  ASSERT_EQ(::lstat((extensions + "FakeSMC.kext/Contents/MacOS/binary").c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  if (isRoot()) {
    EXPECT_EQ(info.st_uid, 0u);
  }
  ASSERT_EQ(::lstat((extensions + "Lilu.kext/Contents/outside").c_str(), &info), 0);
  EXPECT_TRUE(S_ISLNK(info.st_mode)) << "links are copied as links";
  EXPECT_EQ(QLKernelExtension::fromPath(extensions + "FakeSMC.kext").version(), fakeSMC.version());

  // Refused before anything is touched: all failed.
  for (const std::string folder : {"/etc/", "QLKextFolderUseSmartTable"}) {
    Awaited<std::vector<QLKernelExtension>> refused;
    client.proxy().installWithKernelExtensions({fakeSMC}, folder, volume, refused.reply());
    EXPECT_EQ(refused.get()->size(), 1u) << folder;
  }
  Awaited<std::vector<QLKernelExtension>> badName;
  client.proxy().installWithKernelExtensions({QLKernelExtension::fromPath(daemon.dir() / "src/passwd")},
                                             "/Library/Extensions/", volume, badName.reply());
  EXPECT_EQ(badName.get()->size(), 1u);
  EXPECT_FALSE(platform::pathExists(extensions + "passwd"));
}

TEST_F(HelperIntegration, WritesTheBooterWordThroughNvram) {
  Client client(daemon);
  for (std::int64_t value : {std::int64_t{0x28}, std::int64_t{0}, std::int64_t{0x3ab}}) {
    Awaited<bool> reply;
    client.proxy().applyBooterConfigViaNVRAMWithNewBooterConfig(value, reply.reply());
    EXPECT_EQ(reply.get(), true);
  }
  Awaited<bool> tooLarge;
  client.proxy().applyBooterConfigViaNVRAMWithNewBooterConfig(0x10000, tooLarge.reply());
  EXPECT_EQ(tooLarge.get(), false);
  const std::string prefix = "7C436110-AB2A-4BBB-A880-FE41995C9F82:bootercfg=";
  EXPECT_EQ(daemon.calls("nvram"), prefix + "%28%00\n--\n" + prefix + "%00%00\n--\n" + prefix + "%ab%03\n--\n");
  daemon.setStatus("nvram", 3);
  Awaited<bool> failed;
  client.proxy().applyBooterConfigViaNVRAMWithNewBooterConfig(1, failed.reply());
  EXPECT_EQ(failed.get(), false);
}

TEST_F(HelperIntegration, InstallsAndRemovesTheCommandLineTool) {
  Client client(daemon);
  const std::string packaged = daemon.dir() / "Bramble";  // the daemon's packaged copy
  const std::string other = daemon.dir() / "Other";
  platform::writeFile(packaged, "#!/bin/sh\n", 0700);
  platform::writeFile(other, "#!/bin/sh\n", 0700);
  const std::string installed = daemon.root() + "/usr/local/bin/Bramble";

  Awaited<bool> wrongPlace, otherSource, install, uninstall, again;
  client.proxy().installBrambleFromSourcePath(packaged, "/usr/bin/Bramble", wrongPlace.reply());
  EXPECT_EQ(wrongPlace.get(), false);
  client.proxy().installBrambleFromSourcePath(other, "/usr/local/bin/Bramble", otherSource.reply());
  EXPECT_EQ(otherSource.get(), false) << "only the packaged copy or a signed archive";
  EXPECT_FALSE(platform::pathExists(installed));
  client.proxy().installBrambleFromSourcePath(packaged, "/usr/local/bin/Bramble", install.reply());
  EXPECT_EQ(install.get(), isRoot());
  EXPECT_TRUE(platform::pathExists(installed));
  struct stat info {};
  ASSERT_EQ(::stat(installed.c_str(), &info), 0);
  EXPECT_EQ(info.st_mode & 07777, 0755u);
  EXPECT_TRUE(test::waitFor([&] { return daemon.calls("killall").find("Bramble\n--\n") != std::string::npos; }));

  client.proxy().uninstallBrambleFromPath("/usr/local/bin/Bramble", uninstall.reply());
  EXPECT_EQ(uninstall.get(), true);
  client.proxy().uninstallBrambleFromPath("/usr/local/bin/Bramble", again.reply());
  EXPECT_EQ(again.get(), false);
}

TEST_F(HelperIntegration, UninstallRemovesTheInstalledFiles) {
  const std::string binary = daemon.root() + "/usr/local/libexec/local.quillon.tarnix.helper";
  const std::string unit = daemon.root() + "/etc/systemd/system/local.quillon.tarnix.helper.service";
  Client client(daemon);
  Awaited<bool> missing;
  client.proxy().uninstall(missing.reply());
  EXPECT_EQ(missing.get(), false);
  platform::makeDirectories(daemon.root() + "/usr/local/libexec");
  platform::makeDirectories(daemon.root() + "/etc/systemd/system");
  platform::writeFile(binary, "x");
  platform::writeFile(unit, "x");
  EXPECT_TRUE(client.manager.helper().isInstalled(platform::HelperPlatformTable{daemon.root()}));
  Awaited<bool> removed;
  client.proxy().uninstall(removed.reply());
  EXPECT_EQ(removed.get(), true);
  EXPECT_FALSE(platform::pathExists(binary) || platform::pathExists(unit));
}

std::string frameOf(const std::string& selector, platform::Plist arguments) {
  return wire::frame(wire::encodeMessage(wire::Kind::call, 1, selector, std::move(arguments)));
}

TEST_F(HelperIntegration, BadFramesCloseOnlyTheirConnection) {
  Client bystander(daemon);
  ASSERT_TRUE(bystander.connected);
  std::string oversized = wire::frame("x");
  oversized[0] = '\x7f';
  const std::string good = frameOf("test:", wire::pack());
  const std::pair<const char*, std::string> cases[] = {
      {"oversized", oversized},
      {"empty frame", std::string(4, '\0')},
      {"not a property list", wire::frame("this is not a binary property list")},
      {"truncated body", good.substr(0, good.size() - 5) + std::string(5, '\0')},
      {"unknown selector", frameOf("formatDisk:", wire::pack())},
      {"wrong class",
       frameOf("rebuildCachesOnTargetVolume:reply:", wire::pack(QLOSVersion::fromArchive(10, 13, 0, "10.13", "17A")))},
      {"reply to nothing", wire::frame(wire::encodeMessage(wire::Kind::reply, 9, "", wire::pack(true)))},
  };
  for (const auto& [name, bytes] : cases) {
    test::RawClient raw(daemon.socket());
    ASSERT_TRUE(raw.connected()) << name;
    raw.send(bytes);
    const auto received = raw.readUntilClosed();
    ASSERT_TRUE(received) << name << ": the daemon kept the connection open";
    EXPECT_TRUE(received->empty()) << name;
  }
  {
    test::RawClient halfFrame(daemon.socket());  // ends inside a frame
    halfFrame.send(good.substr(0, 6));
  }
  Awaited<std::int64_t> still;
  bystander.proxy().test(still.reply());
  EXPECT_EQ(still.get(), 1234567890);
  EXPECT_TRUE(bystander.delegate.locked([&] { return bystander.delegate.errors.empty(); }));
}

TEST_F(HelperIntegration, AClientThatLeavesMidRepairDoesNotStallTheDaemon) {
  const auto volume = makeVolume(2000);
  {
    Client leaving(daemon);
    ASSERT_TRUE(leaving.connected);
    leaving.proxy().repairDiskPermissionsOnTargetVolume(volume, nullptr);
  }
  Client next(daemon);
  ASSERT_TRUE(next.connected);
  Awaited<std::vector<QLRepairPermissionsRepresentableResult>> results;
  next.proxy().repairDiskPermissionsOnTargetVolume(makeVolume(), results.reply());
  EXPECT_TRUE(results.get());
}

TEST_F(HelperIntegration, ServesEveryUserButChangesNothingWithoutPolkit) {
  if (!isRoot()) GTEST_SKIP() << "needs root to call as another user";
  // This daemon has no polkit to ask: a caller other than root is served only what needs
  // nobody's permission.
  EXPECT_EQ(test::askHelperAs(65534, 65534, daemon.socket(), {"test"}), "1234567890 -");
  EXPECT_EQ(test::askHelperAs(65534, 65534, daemon.socket(), {"nvram", "40"}), "false notAuthorized");
  EXPECT_EQ(daemon.calls("nvram"), "");
  EXPECT_TRUE(daemon.logContains("Not authorized: local.quillon.tarnix.write-nvram for uid 65534"));
}

TEST_F(HelperIntegration, AUserDaemonServesOnlyItsUserAndRoot) {
  if (!isRoot()) GTEST_SKIP() << "needs root to start a daemon as another user";
  const std::string own = daemon.dir() / "nobody";  // the user's own folder, for its socket too
  const std::string socket = own + "/helper.sock";
  const std::string volume = own + "/volume";
  platform::makeDirectories(volume + "/Library/Extensions");
  ASSERT_TRUE(test::runQuietly({"/usr/bin/chown", "-R", "65534:65534", own}));
  test::Child userDaemon({std::string(TARNIX_BINARY_DIR) + "/helper/local.quillon.tarnix.helper", "--listen", socket},
                         {"PATH=/usr/bin:/bin", "TARNIX_KEXTCACHE=" + (daemon.dir() / "no-kextcache")},
                         daemon.dir() / "user-daemon.log", std::make_pair(uid_t{65534}, gid_t{65534}));
  ASSERT_TRUE(test::waitFor([&] { return platform::pathExists(socket); }));
  // Its own user and root are served, with no polkit and any folder as a volume; anyone else
  // is turned away at once.
  EXPECT_EQ(test::askHelperAs(65534, 65534, socket, {"caches", volume}), "true -");
  EXPECT_EQ(test::askHelperAs(0, 0, socket, {"test"}), "1234567890 -");
  EXPECT_EQ(test::askHelperAs(1, 1, socket, {"test"}), "connection-failed -");
}

TEST_F(HelperIntegration, TerminateEndsTheDaemonWithoutAReply) {
  Client client(daemon);
  ASSERT_TRUE(client.connected);
  client.proxy().terminate();
  EXPECT_EQ(daemon.waitForExit(), 0);
  // The client learns of it as a broken connection, once.
  EXPECT_TRUE(
      test::waitFor([&] { return client.delegate.locked([&] { return client.delegate.errors.size() == 1; }); }));
  EXPECT_EQ(client.delegate.errors.front(), QLXPCHelperManagerError::failedToEstablishHelperConnection);
}

// Unchecked, terminate ended the daemon at once, in the middle of whatever ran (a kext install
// left half copied); now it ends the daemon only once nothing runs, and not under another
// client that is still connected. SIGTERM (systemd stopping it) waits for the work as well.
TEST_F(HelperIntegration, AStopRequestWaitsForTheRunningOperation) {
  const auto volume = makeVolume();
  for (const bool bySignal : {false, true}) {
    std::optional<HelperDaemon> own;
    if (bySignal) own.emplace();
    HelperDaemon& running = bySignal ? *own : daemon;
    ASSERT_TRUE(running.started()) << running.log();
    // A cache rebuild whose tool runs until the test lets it end.
    const std::string started = running.dir() / "started", release = running.dir() / "release";
    platform::writeFile(running.dir() / "kextcache",
                        "#!/bin/sh\n: > '" + started + "'\nwhile [ ! -e '" + release + "' ]; do sleep 0.05; done\n",
                        0755);
    std::optional<Client> bystander(std::in_place, running);
    Client client(running);
    ASSERT_TRUE(bystander->connected && client.connected);
    Awaited<bool> rebuilt;
    client.proxy().rebuildCachesOnTargetVolume(volume, rebuilt.reply());
    ASSERT_TRUE(test::waitFor([&] { return platform::pathExists(started); }));

    if (bySignal) {
      ::kill(running.pid(), SIGTERM);
    } else {
      client.proxy().terminate();
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    EXPECT_TRUE(running.running()) << (bySignal ? "SIGTERM" : "terminate") << " cut the running operation";
    platform::writeFile(release, "");
    EXPECT_EQ(rebuilt.get(), true) << "the operation's reply went out before the daemon ended";
    if (!bySignal) {
      std::this_thread::sleep_for(std::chrono::milliseconds(300));
      EXPECT_TRUE(running.running()) << "another client is still connected";
      bystander.reset();
    }
    EXPECT_EQ(running.waitForExit(), 0);
  }
}

TEST_F(HelperIntegration, TerminateDuringAKextInstallLeavesTheKextInPlace) {
  if (!isRoot()) GTEST_SKIP() << "installed kexts belong to root";
  const auto volume = makeVolume();
  const auto kext = makeKext("Many.kext", "Lilu.kext-Info.plist");
  platform::makeDirectories(kext.path() + "/Contents/Resources");
  for (int i = 0; i < 2000; ++i)
    platform::writeFile(kext.path() + "/Contents/Resources/" + std::to_string(i), std::string(512, 'k'));
  Client client(daemon);
  ASSERT_TRUE(client.connected);
  Awaited<std::vector<QLKernelExtension>> installed;
  client.proxy().installWithKernelExtensions({kext}, "/Library/Extensions/", volume, installed.reply());
  client.proxy().terminate();  // sent right behind: the install is queued or running
  const auto failed = installed.get();
  ASSERT_TRUE(failed);
  EXPECT_TRUE(failed->empty());
  const std::string resources = volume.mountPoint + "/Library/Extensions/Many.kext/Contents/Resources";
  std::size_t files = 0;
  for ([[maybe_unused]] const auto& entry : std::filesystem::directory_iterator(resources)) ++files;
  EXPECT_EQ(files, 2000u);
  EXPECT_EQ(daemon.waitForExit(), 0);
}

// What an application sends as it closes (the quit sequence's terminate) still reaches the
// helper when the client goes right after.
TEST_F(HelperIntegration, ATerminateSentAsTheClientGoesStillArrives) {
  {
    Client client(daemon);
    ASSERT_TRUE(client.connected);
    client.proxy().terminate();
  }
  EXPECT_EQ(daemon.waitForExit(), 0);
}

TEST(HelperLifecycle, AnIdleDaemonEndsByItself) {
  HelperDaemon daemon({}, {"--idle-exit", "1"});
  ASSERT_TRUE(daemon.started()) << daemon.log();
  {
    Client client(daemon);
    ASSERT_TRUE(client.connected);
    std::this_thread::sleep_for(std::chrono::milliseconds(1500));
    EXPECT_TRUE(daemon.running()) << "a connected client keeps it";
  }
  EXPECT_EQ(daemon.waitForExit(std::chrono::seconds(10)), 0);
  EXPECT_TRUE(daemon.logContains("no connection for 1 s"));
}

// A test process that dies (a crash, an abort, the runner's kill on a timeout) runs no
// destructor: the daemon it started must end with it all the same.
TEST(HelperHarness, TheDaemonEndsWithItsTestProcess) {
  int report[2];
  ASSERT_EQ(::pipe2(report, O_CLOEXEC), 0);  // the daemon must not hold the end open
  const pid_t dying = ::fork();
  ASSERT_GE(dying, 0);
  if (dying == 0) {
    ::close(report[0]);
    const auto* daemon = new HelperDaemon;  // never destroyed
    const std::string line = std::to_string(daemon->started() ? daemon->pid() : 0) + " " + daemon->dir().path();
    (void)!::write(report[1], line.data(), line.size());
    ::_exit(0);
  }
  ::close(report[1]);
  std::string line;
  char buffer[512];
  for (ssize_t got; (got = ::read(report[0], buffer, sizeof buffer)) > 0;)
    line.append(buffer, static_cast<std::size_t>(got));
  ::close(report[0]);
  ASSERT_EQ(::waitpid(dying, nullptr, 0), dying);
  const auto blank = line.find(' ');
  ASSERT_NE(blank, std::string::npos) << line;
  const pid_t daemon = std::stoi(line.substr(0, blank));
  const bool ended = daemon <= 0 || test::endProcess(daemon, std::chrono::seconds(10));
  std::filesystem::remove_all(line.substr(blank + 1));  // the folder is the dead test's to leak
  ASSERT_GT(daemon, 0) << "the daemon did not start";
  EXPECT_TRUE(ended) << "the daemon outlived the test that started it";
}

}  // namespace
}  // namespace tarnix
