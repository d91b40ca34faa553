#include "platform/VolumeTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <cerrno>
#include <string>

#include <linux/openat2.h>

#include "platform/Beneath.h"
#include "platform/VolumeHandle.h"

#ifndef SYS_fchmodat2
#define SYS_fchmodat2 452
#endif

namespace tarnix::platform {
namespace {

// Names that would leave their directory when used as the last component.
bool isSafeLeaf(std::string_view leaf) { return leaf != "." && leaf != ".."; }

class LinuxVolumeTree final : public VolumeTree {
 public:
  LinuxVolumeTree(int rootFd, std::uint64_t resolve) : rootFd_(rootFd), resolve_(resolve) {}
  ~LinuxVolumeTree() override {
    if (parentFd_ >= 0) ::close(parentFd_);
    ::close(rootFd_);
  }
  LinuxVolumeTree(const LinuxVolumeTree&) = delete;
  LinuxVolumeTree& operator=(const LinuxVolumeTree&) = delete;

  std::optional<FileAttributes> attributes(std::string_view relative) override {
    struct stat info {};
    std::string_view leaf;
    const int dir = locate(relative, leaf);
    if (dir == kNoItem) return std::nullopt;
    const int rc =
        leaf.empty() ? ::fstat(rootFd_, &info) : ::fstatat(dir, std::string(leaf).c_str(), &info, AT_SYMLINK_NOFOLLOW);
    if (rc != 0) return std::nullopt;
    return FileAttributes{info.st_uid, info.st_gid, info.st_mode};
  }

  int changeOwner(std::string_view relative, std::optional<std::uint32_t> uid,
                  std::optional<std::uint32_t> gid) override {
    std::string_view leaf;
    const int dir = locate(relative, leaf);
    if (dir == kNoItem) return errno ? errno : ENOENT;
    const uid_t newUid = uid ? static_cast<uid_t>(*uid) : static_cast<uid_t>(-1);
    const gid_t newGid = gid ? static_cast<gid_t>(*gid) : static_cast<gid_t>(-1);
    const int rc = leaf.empty() ? ::fchown(rootFd_, newUid, newGid)
                                : ::fchownat(dir, std::string(leaf).c_str(), newUid, newGid, AT_SYMLINK_NOFOLLOW);
    return rc == 0 ? 0 : errno;
  }

  int changePermissions(std::string_view relative, std::uint32_t permissions) override {
    std::string_view leaf;
    const int dir = locate(relative, leaf);
    if (dir == kNoItem) return errno ? errno : ENOENT;
    const mode_t mode = static_cast<mode_t>(permissions & 07777u);
    if (leaf.empty()) return ::fchmod(rootFd_, mode) == 0 ? 0 : errno;
    const std::string name(leaf);
    // fchmodat2 refuses links itself; older kernels get glibc's equivalent, which checks
    // the item through an O_PATH descriptor before changing it.
    long rc = ::syscall(SYS_fchmodat2, dir, name.c_str(), mode, AT_SYMLINK_NOFOLLOW);
    if (rc != 0 && errno == ENOSYS) rc = ::fchmodat(dir, name.c_str(), mode, AT_SYMLINK_NOFOLLOW);
    if (rc == 0) return 0;
    return errno == ENOTSUP ? EOPNOTSUPP : errno;
  }

 private:
  static constexpr int kNoItem = -2;

  // The descriptor of the item's parent directory and its last component; the root itself
  // has an empty leaf. The last parent is kept open: records come grouped by folder.
  int locate(std::string_view relative, std::string_view& leaf) {
    errno = 0;
    std::string_view parent;
    detail::splitParent(relative, parent, leaf);
    if (leaf.empty() && !parent.empty()) {
      errno = ENOENT;
      return kNoItem;
    }
    if (leaf.empty()) return rootFd_;
    if (!isSafeLeaf(leaf)) {
      errno = EINVAL;
      return kNoItem;
    }
    if (parentFd_ >= 0 && parent == parentPath_) return parentFd_;
    const int fd = detail::openBeneath(rootFd_, parent, O_PATH | O_DIRECTORY, resolve_);
    if (fd < 0) return kNoItem;
    if (parentFd_ >= 0) ::close(parentFd_);
    parentFd_ = fd;
    parentPath_.assign(parent);
    return parentFd_;
  }

  int rootFd_;
  std::uint64_t resolve_;
  int parentFd_ = -1;
  std::string parentPath_;
};

class LinuxVolumeTrees final : public VolumeTrees {
 public:
  std::unique_ptr<VolumeTree> open(const std::string& root) override {
    const int fd = ::open(root.empty() ? "/" : root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    return std::make_unique<LinuxVolumeTree>(fd, 0);
  }
};

class HeldVolumeTrees final : public VolumeTrees {
 public:
  explicit HeldVolumeTrees(const VolumeHandle& volume) : volume_(volume) {}
  std::unique_ptr<VolumeTree> open(const std::string&) override {
    const int fd = ::fcntl(volume_.fd(), F_DUPFD_CLOEXEC, 0);
    if (fd < 0) return nullptr;
    return std::make_unique<LinuxVolumeTree>(fd, volume_.confined() ? RESOLVE_NO_XDEV : 0);
  }

 private:
  const VolumeHandle& volume_;
};

}  // namespace

VolumeTrees& linuxVolumeTrees() {
  static LinuxVolumeTrees trees;
  return trees;
}

std::unique_ptr<VolumeTrees> volumeTreesOf(const VolumeHandle& volume) {
  return std::make_unique<HeldVolumeTrees>(volume);
}

}  // namespace tarnix::platform
