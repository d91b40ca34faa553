#include "platform/Beneath.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>

namespace tarnix::platform::detail {

int openBeneath(int rootFd, std::string_view relative, int flags, std::uint64_t resolve) {
  while (!relative.empty() && relative.front() == '/') relative.remove_prefix(1);
  std::string path = relative.empty() ? std::string(".") : std::string(relative);
  open_how how{};
  how.flags = static_cast<std::uint64_t>(flags | O_CLOEXEC);
  how.resolve = RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS | resolve;
  for (;;) {
    const long fd = syscall(SYS_openat2, rootFd, path.c_str(), &how, sizeof how);
    if (fd >= 0) return static_cast<int>(fd);
    // The kernel asks for a retry when a rename raced the walk.
    if (errno != EAGAIN && errno != EINTR) return -1;
  }
}

int openRootDirectory(const std::string& root) {
  return ::open(root.empty() ? "/" : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
}

int writeAll(int fd, std::string_view bytes) {
  while (!bytes.empty()) {
    const ssize_t put = ::write(fd, bytes.data(), bytes.size());
    if (put < 0 && errno == EINTR) continue;
    if (put < 0) return errno;
    bytes.remove_prefix(static_cast<std::size_t>(put));
  }
  return 0;
}

void splitParent(std::string_view relative, std::string_view& parent, std::string_view& leaf) {
  while (relative.size() > 1 && relative.back() == '/') relative.remove_suffix(1);
  const auto slash = relative.rfind('/');
  if (slash == std::string_view::npos) {
    parent = {};
    leaf = relative;
  } else {
    parent = relative.substr(0, slash);
    leaf = relative.substr(slash + 1);
  }
}

}  // namespace tarnix::platform::detail
