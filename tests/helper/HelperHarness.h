#pragma once
// Starts the real helper daemon on a socket in a temporary folder, with its child programs
// pointed at recording scripts, and connects real clients to it.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/prctl.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

#include <gtest/gtest.h>

#include "TestSupport.h"
#include "client/QLXPCHelperManager.h"
#include "helper/protocol/QLWireMessage.h"
#include "platform/Files.h"

namespace tarnix::test {

inline constexpr auto kGenerous = std::chrono::seconds(60);

// Sanitizer builds keep freed memory aside and add their own: the daemon's memory figures say
// little there.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool kSanitized = true;
#else
inline constexpr bool kSanitized = false;
#endif

// Waits for `condition` with a generous limit, polling.
inline bool waitFor(const std::function<bool()>& condition, std::chrono::milliseconds limit = kGenerous) {
  const auto deadline = std::chrono::steady_clock::now() + limit;
  while (!condition()) {
    if (std::chrono::steady_clock::now() > deadline) return false;
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return true;
}

// Waits up to `grace` for process `pid`, which need not be a child of this one, to end; then
// kills it and waits again. Whether it ended by itself.
// (Through the system calls: Debian 12's <sys/pidfd.h> does not declare them for C++.)
inline bool endProcess(pid_t pid, std::chrono::milliseconds grace) {
  const int process = static_cast<int>(::syscall(SYS_pidfd_open, pid, 0));
  if (process < 0) return true;  // gone already
  pollfd ended{process, POLLIN, 0};
  const bool byItself = ::poll(&ended, 1, static_cast<int>(grace.count())) > 0;
  if (!byItself) {
    ::syscall(SYS_pidfd_send_signal, process, SIGKILL, nullptr, 0);
    ::poll(&ended, 1, 10000);
  }
  ::close(process);
  return byItself;
}

// A script that appends its arguments (one per line, then "--") to `record` and exits with
// the number in `statusFile` (0 when it is absent).
inline void writeRecordingScript(const std::string& path, const std::string& record, const std::string& statusFile) {
  platform::writeFile(path,
                      "#!/bin/sh\nfor a in \"$@\"; do printf '%s\\n' \"$a\" >> '" + record + "'; done\necho -- >> '" +
                          record + "'\nif [ -f '" + statusFile + "' ]; then exit $(cat '" + statusFile +
                          "'); fi\nexit 0\n",
                      0755);
}

class HelperDaemon {
 public:
  explicit HelperDaemon(std::vector<std::string> extraEnvironment = {}, std::vector<std::string> extraArguments = {}) {
    ::chmod(dir_.path().c_str(), 0755);  // reachable by the unprivileged test child
    socket_ = dir_ / "helper.sock";
    log_ = dir_ / "helper.log";
    platform::makeDirectories(dir_ / "root");
    for (const char* tool : {"kextcache", "nvram", "killall"})
      writeRecordingScript(dir_ / tool, dir_ / (std::string(tool) + ".calls"), dir_ / (std::string(tool) + ".status"));
    std::vector<std::string> environment = {
        "PATH=/usr/bin:/bin",
        "TARNIX_ROOT_PREFIX=" + (dir_ / "root"),
        "TARNIX_KEXTCACHE=" + (dir_ / "kextcache"),
        "TARNIX_NVRAM=" + (dir_ / "nvram"),
        "TARNIX_KILLALL=" + (dir_ / "killall"),
        "TARNIX_BUNDLED_TOOL=" + (dir_ / "Bramble"),
        "TARNIX_SYSTEM_JOURNAL=" + (dir_ / "journal"),
        // No polkit unless a test brings its own bus: callers other than root are refused.
        "DBUS_SYSTEM_BUS_ADDRESS=unix:path=" + (dir_ / "no-bus"),
    };
    // The sanitizers' settings of a sanitizer build reach the daemon too.
    for (const char* name : {"ASAN_OPTIONS", "TSAN_OPTIONS", "UBSAN_OPTIONS"})
      if (const char* value = std::getenv(name)) environment.push_back(std::string(name) + "=" + value);
    // The first of two settings of a variable is the one that counts.
    environment.insert(environment.begin(), extraEnvironment.begin(), extraEnvironment.end());
    std::vector<char*> envp;
    for (auto& entry : environment) envp.push_back(entry.data());
    envp.push_back(nullptr);
    const std::string binary = std::string(TARNIX_BINARY_DIR) + "/helper/local.quillon.tarnix.helper";
    std::vector<std::string> args = {binary, "--listen", socket_};
    args.insert(args.end(), extraArguments.begin(), extraArguments.end());
    std::vector<char*> argv;
    for (auto& a : args) argv.push_back(a.data());
    argv.push_back(nullptr);
    // The daemon dies with this process, however the test ends (a crash, or the runner killing
    // it on a timeout, skips the destructor): a root daemon never outlives its test.
    const pid_t parent = ::getpid();
    const char* logPath = log_.c_str();
    pid_ = ::fork();
    if (pid_ == 0) {
      // Only async-signal-safe calls between fork and exec.
      if (::prctl(PR_SET_PDEATHSIG, SIGKILL) != 0 || ::getppid() != parent) ::_exit(127);
      const int out = ::open(logPath, O_WRONLY | O_CREAT | O_APPEND, 0644);
      if (out < 0 || ::dup2(out, STDOUT_FILENO) < 0 || ::dup2(out, STDERR_FILENO) < 0) ::_exit(127);
      ::execve(binary.c_str(), argv.data(), envp.data());
      ::_exit(127);
    }
    started_ = pid_ > 0 && waitFor([&] { return logContains("Listening."); });
  }
  ~HelperDaemon() {
    if (pid_ > 0 && !exited_) {
      ::kill(pid_, SIGKILL);
      ::waitpid(pid_, nullptr, 0);
    }
    // In a sanitizer build, what the daemon's sanitizer found fails the test that ran it.
    const std::string text = log();
    for (const char* report :
         {"ERROR: AddressSanitizer", "ERROR: LeakSanitizer", "WARNING: ThreadSanitizer", "runtime error:"})
      if (text.find(report) != std::string::npos) ADD_FAILURE() << "the helper reported:\n" << text;
  }
  HelperDaemon(const HelperDaemon&) = delete;
  HelperDaemon& operator=(const HelperDaemon&) = delete;

  bool started() const { return started_; }
  pid_t pid() const { return pid_; }
  const std::string& socket() const { return socket_; }
  const TempDir& dir() const { return dir_; }
  std::string root() const { return dir_ / "root"; }
  std::string log() const { return slurp(log_); }
  bool logContains(const std::string& text) const { return log().find(text) != std::string::npos; }
  // The recorded argument lists of a tool, each ended by "--".
  std::string calls(const std::string& tool) const { return slurp(dir_ / (tool + ".calls")); }
  void setStatus(const std::string& tool, int status) const {
    platform::writeFile(dir_ / (tool + ".status"), std::to_string(status) + "\n");
  }
  // Not ended yet (nor reaped).
  bool running() {
    if (exited_ || pid_ <= 0) return false;
    int status = 0;
    if (::waitpid(pid_, &status, WNOHANG) != pid_) return true;
    exited_ = true;
    exitStatus_ = WIFEXITED(status) ? std::optional(WEXITSTATUS(status)) : std::nullopt;
    return false;
  }
  // The exit status once the daemon ended by itself.
  std::optional<int> waitForExit(std::chrono::milliseconds limit = kGenerous) {
    waitFor([&] { return !running(); }, limit);
    return exitStatus_;
  }
  // A figure of /proc/PID/status ("VmHWM", "Threads"): kB, or a count.
  long status(const std::string& field) const {
    std::ifstream status("/proc/" + std::to_string(pid_) + "/status");
    for (std::string line; std::getline(status, line);)
      if (line.rfind(field + ":", 0) == 0) return std::stol(line.substr(field.size() + 1));
    return -1;
  }

 private:
  TempDir dir_;
  std::string socket_, log_;
  pid_t pid_ = -1;
  bool started_ = false;
  bool exited_ = false;
  std::optional<int> exitStatus_;
};

// Records everything the manager reports.
class RecordingDelegate final : public QLXPCHelperManagerDelegate {
 public:
  void helperManagerDidFail(const QLXPCHelper&, QLXPCHelperManagerError error,
                            const std::optional<std::string>&) override {
    std::lock_guard lock(mutex);
    errors.push_back(error);
  }
  void helperManagerDidConnect(const QLXPCHelper&) override {
    std::lock_guard lock(mutex);
    ++connected;
  }
  void helperManagerDidReceiveContext(const QLXPCHelper&, const QLXPCHelperContext& context) override {
    std::lock_guard lock(mutex);
    contexts.push_back(context);
    contextTimes.push_back(std::chrono::steady_clock::now());
  }
  void postNotification(const QLXPCHelperManagerNotification& notification) override {
    std::lock_guard lock(mutex);
    notifications.push_back(notification.name);
  }

  template <typename F>
  auto locked(F f) {
    std::lock_guard lock(mutex);
    return f();
  }

  std::mutex mutex;
  std::vector<QLXPCHelperManagerError> errors;
  int connected = 0;
  std::vector<QLXPCHelperContext> contexts;
  std::vector<std::chrono::steady_clock::time_point> contextTimes;
  std::vector<std::string> notifications;
};

// A reply slot a test can wait on.
template <typename T>
class Awaited {
 public:
  QLReply<T> reply() {
    return [this](T value) {
      std::lock_guard lock(mutex_);
      value_ = std::move(value);
      ready_.notify_all();
    };
  }
  std::optional<T> get(std::chrono::seconds limit = kGenerous) {
    std::unique_lock lock(mutex_);
    ready_.wait_for(lock, limit, [&] { return value_.has_value(); });
    return value_;
  }
  bool ready() {
    std::lock_guard lock(mutex_);
    return value_.has_value();
  }

 private:
  std::mutex mutex_;
  std::condition_variable ready_;
  std::optional<T> value_;
};

// A raw connection for feeding the daemon bad bytes.
class RawClient {
 public:
  explicit RawClient(const std::string& path) {
    fd_ = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::snprintf(address.sun_path, sizeof address.sun_path, "%s", path.c_str());
    connected_ = ::connect(fd_, reinterpret_cast<sockaddr*>(&address), sizeof address) == 0;
  }
  ~RawClient() { ::close(fd_); }
  bool connected() const { return connected_; }
  int fd() const { return fd_; }
  void send(const std::string& bytes) { (void)!::send(fd_, bytes.data(), bytes.size(), MSG_NOSIGNAL); }
  // The body of the next frame, or nothing when none came whole in time.
  std::optional<std::string> readFrame(int timeoutMs = 60000) {
    std::string header, body;
    if (!readExactly(header, 4, timeoutMs)) return std::nullopt;
    if (!readExactly(body, wire::frameLength(reinterpret_cast<const unsigned char*>(header.data())), timeoutMs))
      return std::nullopt;
    return body;
  }
  // Reads until the peer closes; the bytes read, or nothing when it did not close in time.
  std::optional<std::string> readUntilClosed(int timeoutMs = 60000) {
    std::string data;
    for (;;) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) return std::nullopt;
      char buffer[4096];
      const ssize_t got = ::recv(fd_, buffer, sizeof buffer, 0);
      if (got <= 0) return data;
      data.append(buffer, static_cast<std::size_t>(got));
    }
  }

 private:
  bool readExactly(std::string& out, std::size_t count, int timeoutMs) {
    while (out.size() < count) {
      pollfd p{fd_, POLLIN, 0};
      if (::poll(&p, 1, timeoutMs) <= 0) return false;
      char buffer[4096];
      const ssize_t got = ::recv(fd_, buffer, std::min(sizeof buffer, count - out.size()), 0);
      if (got <= 0) return false;
      out.append(buffer, static_cast<std::size_t>(got));
    }
    return true;
  }

  int fd_ = -1;
  bool connected_ = false;
};

}  // namespace tarnix::test
