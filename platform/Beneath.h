#pragma once
// Internal to platform/: opening paths inside a root directory.
#include <unistd.h>

#include <atomic>
#include <cstdint>
#include <string>
#include <string_view>

namespace tarnix::platform {
enum class TreeCall;
}

namespace tarnix::platform::detail {

// A descriptor closed when it goes out of scope.
class Fd {
 public:
  explicit Fd(int fd = -1) : fd_(fd) {}
  Fd(const Fd&) = delete;
  Fd& operator=(const Fd&) = delete;
  ~Fd() {
    if (fd_ >= 0) ::close(fd_);
  }
  int get() const { return fd_; }
  int release() {
    const int fd = fd_;
    fd_ = -1;
    return fd;
  }
  void reset(int fd) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = fd;
  }

 private:
  int fd_;
};

// The root directory of a volume ("" means "/"), or -1.
int openRootDirectory(const std::string& root);

// openat2(RESOLVE_IN_ROOT | RESOLVE_NO_MAGICLINKS | `resolve`) of `relative` inside `rootFd`;
// "" or "/" opens the root itself. `flags` are open flags (O_CLOEXEC is added). -1 with errno
// set on failure.
int openBeneath(int rootFd, std::string_view relative, int flags, std::uint64_t resolve = 0);

// Writes all of `bytes` to `fd`; 0 or the errno of the failure.
int writeAll(int fd, std::string_view bytes);

// Splits "/a/b/c" into "/a/b" and "c"; "/c" into "" and "c". An empty or "/" path has an
// empty leaf.
void splitParent(std::string_view relative, std::string_view& parent, std::string_view& leaf);

// A failure tests inject into the tree operations: the next `remaining` calls of the kind
// `call` on an item whose last path component is `name` fail with `error`.
struct TreeFault {
  TreeCall call;
  std::string name;
  int error;
  mutable std::atomic<int> remaining;
};
// Sets the one fault in force (null: none); the fault must outlive its use.
void setTreeFault(const TreeFault* fault);

}  // namespace tarnix::platform::detail
