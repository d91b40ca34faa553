#include "platform/Systemd.h"

#include <fcntl.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <charconv>
#include <cstddef>
#include <cstdlib>
#include <cstring>
#include <string_view>

namespace tarnix::platform {
namespace {
constexpr int kFirstActivationFd = 3;

bool parseNumber(const char* text, long& value) {
  if (!text) return false;
  const std::string_view view(text);
  const auto [end, error] = std::from_chars(view.data(), view.data() + view.size(), value);
  return error == std::errc() && end == view.data() + view.size();
}
}  // namespace

std::vector<int> activationSockets() {
  std::vector<int> fds;
  long pid = 0, count = 0;
  const bool ours = parseNumber(std::getenv("LISTEN_PID"), pid) && pid == ::getpid() &&
                    parseNumber(std::getenv("LISTEN_FDS"), count) && count > 0 && count < 64;
  ::unsetenv("LISTEN_PID");
  ::unsetenv("LISTEN_FDS");
  ::unsetenv("LISTEN_FDNAMES");
  if (!ours) return fds;
  for (int fd = kFirstActivationFd; fd < kFirstActivationFd + count; ++fd) {
    ::fcntl(fd, F_SETFD, FD_CLOEXEC);
    fds.push_back(fd);
  }
  return fds;
}

void notifyReady() {
  const char* path = std::getenv("NOTIFY_SOCKET");
  if (!path || (path[0] != '/' && path[0] != '@')) return;
  sockaddr_un address{};
  address.sun_family = AF_UNIX;
  const std::size_t length = std::strlen(path);
  if (length >= sizeof address.sun_path) return;
  std::memcpy(address.sun_path, path, length);
  if (address.sun_path[0] == '@') address.sun_path[0] = '\0';  // abstract namespace
  const int fd = ::socket(AF_UNIX, SOCK_DGRAM | SOCK_CLOEXEC, 0);
  if (fd < 0) return;
  static constexpr char kReady[] = "READY=1";
  ::sendto(fd, kReady, sizeof kReady - 1, MSG_NOSIGNAL, reinterpret_cast<sockaddr*>(&address),
           static_cast<socklen_t>(offsetof(sockaddr_un, sun_path) + length));
  ::close(fd);
}

}  // namespace tarnix::platform
