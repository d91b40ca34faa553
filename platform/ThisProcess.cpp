#include "platform/ThisProcess.h"

#include <unistd.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>

namespace tarnix::platform {

std::string ownExecutablePath() {
  std::string path(4096, '\0');
  const ssize_t length = ::readlink("/proc/self/exe", path.data(), path.size() - 1);
  if (length <= 0) return {};
  path.resize(static_cast<std::size_t>(length));
  return path;
}

std::optional<std::string> environmentVariable(const char* name) {
  const char* value = std::getenv(name);
  if (!value) return std::nullopt;
  return std::string(value);
}

void ignoreBrokenPipes() { std::signal(SIGPIPE, SIG_IGN); }

void exitImmediately(int status) {
  std::fflush(nullptr);
  ::_exit(status);
}

}  // namespace tarnix::platform
