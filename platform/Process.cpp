#include "platform/Process.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>

extern char** environ;

namespace tarnix::platform {
namespace {

std::vector<char*> argvFor(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<char*> argv;
  argv.reserve(arguments.size() + 2);
  argv.push_back(const_cast<char*>(program.c_str()));
  for (const auto& argument : arguments) argv.push_back(const_cast<char*>(argument.c_str()));
  argv.push_back(nullptr);
  return argv;
}

std::optional<int> waitFor(pid_t pid) {
  int status = 0;
  while (::waitpid(pid, &status, 0) < 0) {
    if (errno != EINTR) return std::nullopt;
  }
  if (!WIFEXITED(status)) return std::nullopt;
  return WEXITSTATUS(status);
}

class LinuxProcessRunner final : public ProcessRunner {
 public:
  std::optional<int> run(const std::string& program, const std::vector<std::string>& arguments) override {
    auto argv = argvFor(program, arguments);
    pid_t pid = 0;
    if (posix_spawn(&pid, program.c_str(), nullptr, nullptr, argv.data(), environ) != 0) return std::nullopt;
    return waitFor(pid);
  }
};

}  // namespace

ProcessRunner& linuxProcessRunner() {
  static LinuxProcessRunner runner;
  return runner;
}

std::optional<std::string> captureOutput(const std::string& program, const std::vector<std::string>& arguments,
                                         std::size_t limit) {
  int fds[2];
  if (::pipe2(fds, O_CLOEXEC) != 0) return std::nullopt;
  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_adddup2(&actions, fds[1], STDOUT_FILENO);
  // Only the output and the status count: the child reads nothing and says nothing on the
  // caller's terminal.
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, "/dev/null", O_WRONLY, 0);
  auto argv = argvFor(program, arguments);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);
  ::close(fds[1]);
  if (spawned != 0) {
    ::close(fds[0]);
    return std::nullopt;
  }
  std::string output;
  char buffer[4096];
  for (;;) {
    const ssize_t got = ::read(fds[0], buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got <= 0) break;
    if (output.size() < limit) output.append(buffer, static_cast<std::size_t>(got));
  }
  ::close(fds[0]);
  const auto status = waitFor(pid);
  if (!status || *status != 0) return std::nullopt;
  if (output.size() > limit) output.resize(limit);
  return output;
}

}  // namespace tarnix::platform
