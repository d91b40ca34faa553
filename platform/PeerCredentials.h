#pragma once
// Who is at the other end of a local socket, as the kernel recorded it at connect time.
#include <sys/types.h>

#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

namespace tarnix::platform {

// A pidfd: names one process for as long as it is held, so a pid the kernel hands to a new
// process later is never taken for it.
class ProcessHandle {
 public:
  explicit ProcessHandle(int fd) : fd_(fd) {}
  ~ProcessHandle();
  ProcessHandle(const ProcessHandle&) = delete;
  ProcessHandle& operator=(const ProcessHandle&) = delete;
  int fd() const { return fd_; }
  // False once the process has ended.
  bool alive() const;

 private:
  int fd_;
};

struct PeerCredentials {
  pid_t pid = 0;
  uid_t uid = 0;
  gid_t gid = 0;
  std::vector<gid_t> groups;  // supplementary groups, when the kernel tells them
  // The process's start time in clock ticks after boot (field 22 of /proc/PID/stat), read at
  // accept time; 0 when it could not be tied to the peer.
  std::uint64_t startTime = 0;
  // Where the kernel has SO_PEERPIDFD: the peer process itself.
  std::shared_ptr<const ProcessHandle> process;
};

// SO_PEERCRED (with SO_PEERGROUPS and SO_PEERPIDFD where available) of a connected AF_UNIX
// socket; nothing when the kernel cannot say.
std::optional<PeerCredentials> peerCredentials(int socketFd);

// Field 22 of /proc/PID/stat; nothing when the process is gone or the file is malformed.
std::optional<std::uint64_t> processStartTime(pid_t pid);

}  // namespace tarnix::platform
