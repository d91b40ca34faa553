#pragma once
// The root-only pieces of the authorization tests: a private system bus with a real polkitd,
// the project's policy and a rules file in polkit's folders, test users, loop-mounted
// volumes, and running a program as a test user. Each undoes what it did when it goes away,
// also when a test fails.
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <random>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "TestSupport.h"
#include "platform/Files.h"
#include "platform/Log.h"
#include "platform/PeerCredentials.h"
#include "platform/Polkit.h"
#include "platform/Process.h"

namespace tarnix::test {

inline bool runQuietly(const std::vector<std::string>& command) {
  const std::vector<std::string> arguments(command.begin() + 1, command.end());
  const auto status = platform::linuxProcessRunner().run(command.front(), arguments);
  return status && *status == 0;
}

inline std::string uniqueSuffix() {
  std::random_device random;
  return std::to_string(::getpid()) + "x" + std::to_string(random() % 100000);
}

inline bool waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  return true;
}

// What the authorization tests need of this machine, or why they skip.
inline std::string missingForAuthorizationTests() {
  if (::geteuid() != 0) return "needs root";
  for (const char* program : {"/usr/lib/polkit-1/polkitd", "/usr/bin/dbus-daemon", "/usr/sbin/useradd",
                              "/usr/sbin/userdel", "/usr/sbin/mkfs.ext4", "/usr/bin/mount", "/usr/bin/umount"})
    if (::access(program, X_OK) != 0) return std::string("needs ") + program;
  return {};
}

// Starts `command` (as `as` when given, with no other groups) with its standard output, and
// its standard error when `errorsToo`, on `out`. The pid, or -1.
inline pid_t spawnAs(const std::vector<std::string>& command, const std::vector<std::string>& environment, int out,
                     bool errorsToo, std::optional<std::pair<uid_t, gid_t>> as) {
  std::vector<std::string> args = command, env = environment;
  std::vector<char*> argv, envp;
  for (auto& a : args) argv.push_back(a.data());
  argv.push_back(nullptr);
  for (auto& e : env) envp.push_back(e.data());
  envp.push_back(nullptr);
  const pid_t pid = ::fork();
  if (pid == 0) {
    // Only calls that are safe after fork in a threaded process until exec.
    if (::dup2(out, STDOUT_FILENO) < 0 || (errorsToo && ::dup2(out, STDERR_FILENO) < 0)) ::_exit(126);
    if (as && (::setgroups(1, &as->second) != 0 || ::setgid(as->second) != 0 || ::setuid(as->first) != 0 ||
               ::chdir("/") != 0))
      ::_exit(126);
    ::execve(argv[0], argv.data(), envp.data());
    ::_exit(127);
  }
  return pid;
}

// A child process, as `uid` and `gid` when given (no other groups), its output appended to
// `log`; stopped (SIGTERM, then SIGKILL) and reaped when the object goes away.
class Child {
 public:
  Child() = default;
  Child(const std::vector<std::string>& command, const std::vector<std::string>& environment, const std::string& log,
        std::optional<std::pair<uid_t, gid_t>> as = std::nullopt) {
    const int out = ::open(log.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0644);
    if (out < 0) return;
    pid_ = spawnAs(command, environment, out, true, as);
    ::close(out);
  }
  ~Child() { stop(); }
  Child(Child&& other) noexcept : pid_(other.pid_) { other.pid_ = -1; }
  Child& operator=(Child&& other) noexcept {
    stop();
    pid_ = other.pid_;
    other.pid_ = -1;
    return *this;
  }
  pid_t pid() const { return pid_; }
  void stop() {
    if (pid_ <= 0) return;
    ::kill(pid_, SIGTERM);
    if (!waitUntil([&] { return ::waitpid(pid_, nullptr, WNOHANG) == pid_; }, std::chrono::seconds(5))) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    pid_ = -1;
  }

 private:
  pid_t pid_ = -1;
};

// An account made for one test and removed after it.
class TestUser {
 public:
  explicit TestUser(const std::string& role) : name_("tarnix-" + role + "-" + uniqueSuffix()) {
    if (!runQuietly({"/usr/sbin/useradd", "--no-create-home", "--user-group", "--shell", "/usr/sbin/nologin", name_}))
      return;
    if (const passwd* account = ::getpwnam(name_.c_str())) {
      uid_ = account->pw_uid;
      gid_ = account->pw_gid;
      made_ = true;
    }
  }
  ~TestUser() {
    if (made_) runQuietly({"/usr/sbin/userdel", name_});
  }
  TestUser(const TestUser&) = delete;
  TestUser& operator=(const TestUser&) = delete;
  bool made() const { return made_; }
  const std::string& name() const { return name_; }
  uid_t uid() const { return uid_; }
  gid_t gid() const { return gid_; }

 private:
  std::string name_;
  uid_t uid_ = 0;
  gid_t gid_ = 0;
  bool made_ = false;
};

// The exit status and standard output of `command` run as `uid` and `gid` (no other groups).
struct Ran {
  int status = -1;
  std::string output;
};
inline Ran runAs(uid_t uid, gid_t gid, const std::vector<std::string>& command,
                 const std::vector<std::string>& environment) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return {};
  const pid_t child = spawnAs(command, environment, fds[1], false, std::make_pair(uid, gid));
  ::close(fds[1]);
  Ran ran;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    ran.output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fds[0]);
  int status = 0;
  if (child > 0 && ::waitpid(child, &status, 0) == child && WIFEXITED(status)) ran.status = WEXITSTATUS(status);
  while (!ran.output.empty() && ran.output.back() == '\n') ran.output.pop_back();
  return ran;
}
inline Ran runAs(const TestUser& user, const std::vector<std::string>& command,
                 const std::vector<std::string>& environment) {
  return runAs(user.uid(), user.gid(), command, environment);
}

// The helper client the tests run as other users (tests/helper/TestClient.cpp): its answer
// line, "VALUE REFUSAL", for one call to the helper at `socket`.
inline std::string askHelperAs(uid_t uid, gid_t gid, const std::string& socket, const std::vector<std::string>& call) {
  std::vector<std::string> command = {std::string(TARNIX_BINARY_DIR) + "/tests/helper/tarnix_helper_test_client"};
  command.insert(command.end(), call.begin(), call.end());
  const auto ran = runAs(uid, gid, command, {"PATH=/usr/bin:/bin", "TARNIX_HELPER_SOCKET=" + socket});
  return ran.status == 0 ? ran.output : "exit " + std::to_string(ran.status) + ": " + ran.output;
}

// A file system in an image, loop-mounted with `options`, unmounted when the object goes.
class LoopVolume {
 public:
  LoopVolume(const std::string& folder, const std::string& options = "loop,nosuid,nodev")
      : image_(folder + ".img"), mountPoint_(folder) {
    platform::makeDirectories(mountPoint_, 0755);
    mounted_ = runQuietly({"/usr/bin/truncate", "-s", "32M", image_}) &&
               runQuietly({"/usr/sbin/mkfs.ext4", "-q", "-F", image_}) &&
               runQuietly({"/usr/bin/mount", "-o", options, image_, mountPoint_});
  }
  ~LoopVolume() {
    if (mounted_ && !runQuietly({"/usr/bin/umount", mountPoint_})) runQuietly({"/usr/bin/umount", "-l", mountPoint_});
    ::unlink(image_.c_str());
  }
  LoopVolume(const LoopVolume&) = delete;
  LoopVolume& operator=(const LoopVolume&) = delete;
  bool mounted() const { return mounted_; }
  const std::string& mountPoint() const { return mountPoint_; }

 private:
  std::string image_, mountPoint_;
  bool mounted_ = false;
};

// A system bus of its own (its configuration includes the system's service policies but
// starts no service on demand) with polkitd on it, the project's policy among polkit's
// actions and a rules file that says yes to `yesUser` and no to `noUser` for the project's
// actions (and leaves everyone else to the policy's defaults, so that tests running at the
// same time keep to their own users). The bus's address is put into this process's environment.
class PolkitSystem {
 public:
  PolkitSystem(const std::string& policyFile, const std::string& yesUser, const std::string& noUser) {
    const std::string suffix = uniqueSuffix();
    actionsFile_ = "/usr/share/polkit-1/actions/tarnix-test-" + suffix + ".policy";
    rulesFile_ = "/etc/polkit-1/rules.d/10-tarnix-test-" + suffix + ".rules";
    ::chmod(dir_.path().c_str(), 0755);
    const std::string socket = dir_ / "system_bus_socket";
    address_ = "unix:path=" + socket;
    platform::writeFile(dir_ / "bus.conf",
                        R"(<!DOCTYPE busconfig PUBLIC "-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN"
 "http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd">
<busconfig>
  <type>system</type>
  <listen>)" + address_ + R"(</listen>
  <auth>EXTERNAL</auth>
  <policy context="default">
    <allow user="*"/>
    <deny own="*"/>
    <deny send_type="method_call"/>
    <allow send_type="signal"/>
    <allow send_requested_reply="true" send_type="method_return"/>
    <allow send_requested_reply="true" send_type="error"/>
    <allow receive_type="method_call"/>
    <allow receive_type="method_return"/>
    <allow receive_type="error"/>
    <allow receive_type="signal"/>
    <allow send_destination="org.freedesktop.DBus" send_interface="org.freedesktop.DBus"/>
  </policy>
  <includedir>/usr/share/dbus-1/system.d</includedir>
</busconfig>
)");
    if (platform::writeFile(actionsFile_, slurp(policyFile), 0644) != 0) return;
    platform::makeDirectories("/etc/polkit-1/rules.d", 0755);
    if (platform::writeFile(rulesFile_, R"(polkit.addRule(function(action, subject) {
  if (action.id.indexOf("local.quillon.tarnix.") != 0) return polkit.Result.NOT_HANDLED;
  if (subject.user == ")" + yesUser + R"(") return polkit.Result.YES;
  if (subject.user == ")" + noUser + R"(") return polkit.Result.NO;
  return polkit.Result.NOT_HANDLED;
});
)",
                            0644) != 0)
      return;
    bus_ = Child({"/usr/bin/dbus-daemon", "--config-file=" + (dir_ / "bus.conf"), "--nofork"}, {"PATH=/usr/bin:/bin"},
                 dir_ / "bus.log");
    if (!waitUntil([&] { return platform::pathExists(socket); }, std::chrono::seconds(20))) return;
    ::setenv("DBUS_SYSTEM_BUS_ADDRESS", address_.c_str(), 1);
    startPolkitd();
  }
  ~PolkitSystem() {
    polkitd_.stop();
    bus_.stop();
    ::unsetenv("DBUS_SYSTEM_BUS_ADDRESS");
    ::unlink(actionsFile_.c_str());
    ::unlink(rulesFile_.c_str());
  }
  PolkitSystem(const PolkitSystem&) = delete;
  PolkitSystem& operator=(const PolkitSystem&) = delete;

  bool started() const { return started_; }
  const std::string& busAddress() const { return address_; }
  std::string log() const { return slurp(dir_ / "bus.log") + slurp(dir_ / "polkitd.log"); }
  void stopPolkitd() {
    polkitd_.stop();
    started_ = false;
  }

 private:
  // Started when it answers a question about this (root) process.
  void startPolkitd() {
    polkitd_ = Child({"/usr/lib/polkit-1/polkitd", "--no-debug"},
                     {"PATH=/usr/bin:/bin", "DBUS_SYSTEM_BUS_ADDRESS=" + address_}, dir_ / "polkitd.log");
    platform::PeerCredentials self;
    self.pid = ::getpid();
    self.startTime = platform::processStartTime(self.pid).value_or(0);
    platform::setLogSink(platform::LogSink::discard);  // "no answer yet" while it starts
    started_ = waitUntil(
        [&] {
          return platform::checkPolkitAuthorization(self, "local.quillon.tarnix.repair") ==
                 platform::PolkitAnswer::authorized;
        },
        std::chrono::seconds(30));
    platform::setLogSink(platform::LogSink::standardOutput);
  }

  TempDir dir_;
  std::string address_, actionsFile_, rulesFile_;
  Child bus_, polkitd_;
  bool started_ = false;
};

}  // namespace tarnix::test
