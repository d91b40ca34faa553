#include <gtest/gtest.h>

#include "../helper/HelperHarness.h"
#include "platform/Fakes.h"

namespace tarnix {
namespace {

using test::RecordingDelegate;

std::string replacedOnce(std::string text, const std::string& from, const std::string& to) {
  const auto at = text.find(from);
  if (at != std::string::npos) text.replace(at, from.size(), to);
  return text;
}

class HelperManagerInstall : public ::testing::Test {
 protected:
  void SetUp() override {
    ::unsetenv("TARNIX_HELPER_SOCKET");
    table.rootPrefix = dir / "root";
    table.pkexec = "/usr/bin/pkexec-fake";
  }
  // Also after a failed check: the helper a stand-in started is no child of this process and
  // would run on, as root, after the test and its folder are gone.
  void TearDown() override {
    if (const std::string pid = test::slurp(dir / "helper.pid"); !pid.empty())
      test::endProcess(static_cast<pid_t>(std::stol(pid)), std::chrono::milliseconds(0));
    ::unsetenv("TARNIX_ROOT_PREFIX");
    ::unsetenv("TARNIX_SYSTEMCTL");
  }
  test::TempDir dir;
  platform::HelperPlatformTable table;
  RecordingDelegate delegate;
  QLXPCHelper helper{QLXPCHelper::kIdentifier, "1.0.0"};
};

TEST_F(HelperManagerInstall, MapsTheAuthorizationOutcomes) {
  struct Case {
    std::optional<int> pkexecStatus;  // nothing: pkexec cannot be started
    QLXPCHelperManagerError expected;
  };
  const Case cases[] = {
      {126, QLXPCHelperManagerError::failedToAuthenticate},  // dialog dismissed
      {127, QLXPCHelperManagerError::failedToAuthenticate},  // not authorized
      {std::nullopt, QLXPCHelperManagerError::failedToAuthenticate},
      {1, QLXPCHelperManagerError::failedToInstallHelper},              // the install step failed
      {0, QLXPCHelperManagerError::failedToEstablishHelperConnection},  // installed, but nothing listens
  };
  for (const auto& c : cases) {
    RecordingDelegate recorder;
    platform::FakeProcessRunner runner;
    if (c.pkexecStatus) runner.setExitStatus(table.pkexec, *c.pkexecStatus);
    QLXPCHelperManager manager(helper, &recorder, table, runner);
    manager.installAndConnect();
    ASSERT_EQ(runner.calls().size(), 1u);
    EXPECT_EQ(runner.calls()[0].arguments, (std::vector<std::string>{table.bundledHelper, "--install"}));
    ASSERT_EQ(recorder.errors.size(), 1u) << (c.pkexecStatus ? *c.pkexecStatus : -1);
    EXPECT_EQ(recorder.errors[0], c.expected);
    EXPECT_EQ(recorder.notifications, std::vector<std::string>{QLXPCHelperManagerNotification::error});
  }
}

TEST_F(HelperManagerInstall, AnInstalledHelperAsksForNoAuthorization) {
  platform::makeDirectories(table.rootPrefix + table.helperToolsFolder);
  platform::makeDirectories(table.rootPrefix + table.unitsFolder);
  platform::writeFile(table.helperBinary(helper.bundleIdentifier), "x");
  EXPECT_FALSE(helper.isInstalled(table)) << "one file is not an installation";
  platform::writeFile(table.serviceUnit(helper.bundleIdentifier), "x");
  ASSERT_TRUE(helper.isInstalled(table));
  platform::FakeProcessRunner runner;
  QLXPCHelperManager manager(helper, &delegate, table, runner);
  manager.installAndConnect();
  EXPECT_TRUE(runner.calls().empty());
  EXPECT_EQ(delegate.errors,
            std::vector<QLXPCHelperManagerError>{QLXPCHelperManagerError::failedToEstablishHelperConnection});
}

TEST_F(HelperManagerInstall, ThePackagedHelperCountsAsInstalled) {
  const std::string binary = table.installed(table.bundledHelper);
  const std::string unit = table.installed(table.packagedServiceUnit);
  platform::makeDirectories(binary.substr(0, binary.rfind('/')));
  platform::makeDirectories(unit.substr(0, unit.rfind('/')));
  platform::writeFile(binary, "x");
  EXPECT_FALSE(helper.isInstalled(table));
  platform::writeFile(unit, "x");
  EXPECT_TRUE(helper.isInstalled(table));
  platform::FakeProcessRunner runner;
  QLXPCHelperManager manager(helper, &delegate, table, runner);
  manager.installAndConnect();
  EXPECT_TRUE(runner.calls().empty()) << "the package's helper needs no pkexec step";
}

// The whole road: pkexec (a stand-in that runs the program as root) runs the helper's own
// install step, which copies the binary, writes the units and asks systemctl (a stand-in that
// starts the installed helper on the socket path and notes its id) to start the socket; then
// the client connects.
TEST_F(HelperManagerInstall, InstallsThroughPkexecAndConnects) {
  if (::geteuid() != 0) GTEST_SKIP() << "the install step runs as root";
  const std::string built = std::string(TARNIX_BINARY_DIR) + "/helper/local.quillon.tarnix.helper";
  const std::string pkexec = dir / "pkexec";
  const std::string systemctl = dir / "systemctl";
  const std::string socket = table.installed(table.socketPath);
  platform::writeFile(pkexec, "#!/bin/sh\nPKEXEC_UID=4321 exec \"$@\"\n", 0755);
  platform::writeFile(systemctl,
                      "#!/bin/sh\necho \"$@\" >> '" + (dir / "systemctl.calls") +
                          "'\n"
                          "if [ \"$1\" = enable ]; then mkdir -p '" +
                          table.installed("/run") + "'; '" + table.helperBinary(helper.bundleIdentifier) +
                          "' --listen '" + socket + "' > '" + (dir / "helper.log") + "' 2>&1 & echo $! > '" +
                          (dir / "helper.pid") + "'; fi\nexit 0\n",
                      0755);
  ::setenv("TARNIX_ROOT_PREFIX", table.rootPrefix.c_str(), 1);
  ::setenv("TARNIX_SYSTEMCTL", systemctl.c_str(), 1);
  table.pkexec = pkexec;
  table.bundledHelper = built;

  {
    QLXPCHelperManager manager(helper, &delegate, table);
    manager.installAndConnect();
    EXPECT_TRUE(helper.isInstalled(table));
    // The socket appears once the started helper listens.
    ASSERT_TRUE(test::waitFor(
        [&] { return delegate.locked([&] { return !delegate.errors.empty() || delegate.connected == 1; }); }));
  }
  // The first attempt may have raced the helper's start: connect again once it listens.
  ASSERT_TRUE(test::waitFor([&] { return platform::pathExists(socket); }));
  RecordingDelegate second;
  QLXPCHelperManager manager(helper, &second, table);
  manager.installAndConnect();
  EXPECT_TRUE(test::waitFor([&] { return second.locked([&] { return second.connected == 1; }); }));
  EXPECT_EQ(test::slurp(dir / "systemctl.calls"), "daemon-reload\nenable --now local.quillon.tarnix.helper.socket\n");
  // The unit written for a source build is the packaged one but for the helper's path.
  const std::string unit = test::slurp(table.serviceUnit(helper.bundleIdentifier));
  EXPECT_NE(unit.find("ExecStart=" + table.helperToolsFolder + helper.bundleIdentifier + "\n"), std::string::npos)
      << unit;
  EXPECT_EQ(unit.find("--owner-uid"), std::string::npos) << "nobody is served for having installed it";
  EXPECT_EQ(test::slurp(std::string(TARNIX_BINARY_DIR) + "/helper/data/local.quillon.tarnix.helper.service"),
            replacedOnce(unit, table.helperToolsFolder + helper.bundleIdentifier, platform::kInstalledBundledHelper));
  ASSERT_TRUE(manager.proxy());
  manager.proxy()->terminate();
}

}  // namespace
}  // namespace tarnix
