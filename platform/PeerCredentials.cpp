#include "platform/PeerCredentials.h"

#include <signal.h>
#include <sys/socket.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <charconv>
#include <string>

#include "platform/Files.h"

// Linux 6.5; glibc 2.36's headers predate it.
#ifndef SO_PEERPIDFD
#define SO_PEERPIDFD 77
#endif

namespace tarnix::platform {

ProcessHandle::~ProcessHandle() {
  if (fd_ >= 0) ::close(fd_);
}

bool ProcessHandle::alive() const {
  return ::syscall(SYS_pidfd_send_signal, fd_, 0, nullptr, 0) == 0 || errno == EPERM;
}

std::optional<std::uint64_t> processStartTime(pid_t pid) {
  const auto text = readFile("/proc/" + std::to_string(pid) + "/stat", 4096);
  if (!text) return std::nullopt;
  // The command name (field 2) may hold blanks and parentheses: count fields after its last ')'.
  const auto close = text->rfind(')');
  if (close == std::string::npos) return std::nullopt;
  std::string_view rest = std::string_view(*text).substr(close + 1);
  for (int field = 3; field < 22; ++field) {
    const auto blank = rest.find(' ', 1);
    if (blank == std::string_view::npos) return std::nullopt;
    rest.remove_prefix(blank);
  }
  while (!rest.empty() && rest.front() == ' ') rest.remove_prefix(1);
  std::uint64_t value = 0;
  const auto [end, error] = std::from_chars(rest.data(), rest.data() + rest.size(), value);
  if (error != std::errc() || end == rest.data()) return std::nullopt;
  return value;
}

std::optional<PeerCredentials> peerCredentials(int socketFd) {
  ucred credentials{};
  socklen_t size = sizeof credentials;
  if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERCRED, &credentials, &size) != 0 || size != sizeof credentials)
    return std::nullopt;
  PeerCredentials peer{credentials.pid, credentials.uid, credentials.gid, {}, 0, nullptr};

  std::vector<gid_t> groups(64);
  for (int attempt = 0; attempt < 2; ++attempt) {
    socklen_t length = static_cast<socklen_t>(groups.size() * sizeof(gid_t));
    if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERGROUPS, groups.data(), &length) == 0) {
      groups.resize(length / sizeof(gid_t));
      peer.groups = std::move(groups);
      break;
    }
    if (errno != ERANGE || length / sizeof(gid_t) > 65536) break;
    groups.resize(length / sizeof(gid_t));
  }

  int pidfd = -1;
  socklen_t pidfdSize = sizeof pidfd;
  if (::getsockopt(socketFd, SOL_SOCKET, SO_PEERPIDFD, &pidfd, &pidfdSize) == 0 && pidfd >= 0)
    peer.process = std::make_shared<const ProcessHandle>(pidfd);
  if (peer.pid > 0) {
    // With a pidfd the start time is the peer's only if the process was still alive after it
    // was read; without one it is as good as the moment of accepting.
    const auto started = processStartTime(peer.pid);
    if (started && (!peer.process || peer.process->alive())) peer.startTime = *started;
  }
  return peer;
}

}  // namespace tarnix::platform
