#include "platform/TreeOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <string>
#include <vector>

#include "platform/Beneath.h"

namespace tarnix::platform {
namespace {

using detail::Fd;

// Deeper than any bundle or kext folder; bounds the descriptors one walk keeps open.
constexpr int kMaxDepth = 128;

// Runs `call` (which answers 0 or an errno value) with `identity`'s rights; EPERM when the
// thread cannot take them.
template <typename Call>
int as(const Identity* identity, Call call) {
  ActingAs acting(identity);
  return acting.ok() ? call() : EPERM;
}

// Names in a directory, read before the caller changes it.
bool listNames(int dirFd, std::vector<std::string>& names) {
  const int own = ::dup(dirFd);
  if (own < 0) return false;
  DIR* dir = ::fdopendir(own);
  if (!dir) {
    ::close(own);
    return false;
  }
  ::rewinddir(dir);
  while (dirent* entry = ::readdir(dir)) {
    const std::string_view name = entry->d_name;
    if (name != "." && name != "..") names.emplace_back(name);
  }
  ::closedir(dir);
  return true;
}

// The parent of `relative` opened beneath the root, and the leaf name. A path naming the root
// itself has no leaf.
struct Parent {
  Fd fd;
  std::string leaf;
};

bool openParent(int rootFd, std::string_view relative, Parent& parent, std::uint64_t resolve) {
  std::string_view parentPath, leaf;
  detail::splitParent(relative, parentPath, leaf);
  if (leaf.empty() || leaf == "." || leaf == "..") {
    errno = EINVAL;
    return false;
  }
  const int fd = detail::openBeneath(rootFd, parentPath, O_RDONLY | O_DIRECTORY, resolve);
  if (fd < 0) return false;
  parent.fd.reset(fd);
  parent.leaf = std::string(leaf);
  return true;
}

struct AttributeWalk {
  Ownership owner;
  std::uint32_t mode;
  dev_t device;
  TreeAttributesOutcome outcome{true, true};

  // `dirFd` holds `name`, whose lstat is `info`.
  void item(int dirFd, const char* name, const struct stat& info, int depth) {
    if (::fchownat(dirFd, name, owner.uid, owner.gid, AT_SYMLINK_NOFOLLOW) != 0) outcome.ownersSet = false;
    if (S_ISLNK(info.st_mode)) return;  // as chmod -R does, links keep their mode
    if (!S_ISDIR(info.st_mode)) {
      // AT_SYMLINK_NOFOLLOW: if the file was swapped for a link meanwhile, fail rather than
      // change the link's target.
      if (::fchmodat(dirFd, name, mode, AT_SYMLINK_NOFOLLOW) != 0) outcome.modesSet = false;
      return;
    }
    Fd child(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (child.get() < 0) {
      outcome.ownersSet = outcome.modesSet = false;
      return;
    }
    if (::fchmod(child.get(), mode) != 0) outcome.modesSet = false;
    struct stat opened{};
    if (::fstat(child.get(), &opened) != 0 || opened.st_dev != device) return;  // another file system
    if (depth >= kMaxDepth) {
      outcome.ownersSet = outcome.modesSet = false;
      return;
    }
    std::vector<std::string> names;
    if (!listNames(child.get(), names)) {
      outcome.ownersSet = outcome.modesSet = false;
      return;
    }
    for (const auto& entry : names) {
      struct stat entryInfo{};
      if (::fstatat(child.get(), entry.c_str(), &entryInfo, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) outcome.ownersSet = outcome.modesSet = false;
        continue;
      }
      item(child.get(), entry.c_str(), entryInfo, depth + 1);
    }
  }
};

// `device` is the file system the removal stays on; 0 takes the item's own.
int removeAt(int dirFd, const char* name, int depth, dev_t device) {
  struct stat info{};
  if (::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return ::unlinkat(dirFd, name, 0) == 0 ? 0 : errno;
  if (depth >= kMaxDepth) return ELOOP;
  {
    Fd child(::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (child.get() < 0) return errno;
    struct stat opened{};
    if (::fstat(child.get(), &opened) != 0) return errno;
    if (depth == 0) device = opened.st_dev;
    if (opened.st_dev != device) return EXDEV;  // something is mounted there
    std::vector<std::string> names;
    if (!listNames(child.get(), names)) return errno ? errno : EIO;
    for (const auto& entry : names) {
      const int rc = removeAt(child.get(), entry.c_str(), depth + 1, device);
      if (rc != 0 && rc != ENOENT) return rc;
    }
  }
  return ::unlinkat(dirFd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

int copyFileData(int from, int to) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return 0;
    if (const int rc = detail::writeAll(to, std::string_view(buffer, static_cast<std::size_t>(got)))) return rc;
  }
}

struct Copier {
  std::optional<Ownership> owner;
  CopyIdentities identities;

  int applyOwner(int fd) const {
    if (owner && ::fchown(fd, owner->uid, owner->gid) != 0) return errno;
    return 0;
  }
  // Source-side and target-side system calls; each answers 0 or an errno value.
  template <typename Call>
  int reading(Call call) const {
    return as(identities.reader, call);
  }
  template <typename Call>
  int writing(Call call) const {
    return as(identities.writer, call);
  }

  // Copies the already opened source `fromFd` (a directory or a regular file, described by
  // `info`) to `name` in `toDir`.
  int copyOpened(int fromFd, const struct stat& info, int toDir, const char* name, int depth) const {
    const mode_t permissions = info.st_mode & 0777;
    if (S_ISREG(info.st_mode)) {
      Fd target;
      if (int rc = writing([&] {
            target.reset(::openat(toDir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            return target.get() < 0 ? errno : 0;
          }))
        return rc;
      if (int rc = copyFileData(fromFd, target.get())) return rc;
      return finish(target.get(), permissions);
    }
    if (!S_ISDIR(info.st_mode)) return ENOTSUP;  // devices and pipes have no place in a bundle
    if (depth >= kMaxDepth) return ELOOP;
    Fd target;
    if (int rc = writing([&] {
          if (::mkdirat(toDir, name, 0700) != 0) return errno;
          target.reset(::openat(toDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
          return target.get() < 0 ? errno : 0;
        }))
      return rc;
    std::vector<std::string> names;
    if (!listNames(fromFd, names)) return errno ? errno : EIO;
    for (const auto& entry : names) {
      if (int rc = copyEntry(fromFd, entry.c_str(), target.get(), depth + 1)) return rc;
    }
    return finish(target.get(), permissions);
  }

  int finish(int targetFd, mode_t permissions) const {
    return writing([&] {
      if (int rc = applyOwner(targetFd)) return rc;
      return ::fchmod(targetFd, permissions) == 0 ? 0 : errno;
    });
  }

  int copyEntry(int fromDir, const char* name, int toDir, int depth) const {
    struct stat info{};
    if (int rc = reading([&] { return ::fstatat(fromDir, name, &info, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno; }))
      return rc;
    if (S_ISLNK(info.st_mode)) {
      std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 256) + 1, '\0');
      ssize_t length = -1;
      if (int rc = reading([&] {
            length = ::readlinkat(fromDir, name, target.data(), target.size());
            return length < 0 ? errno : 0;
          }))
        return rc;
      if (static_cast<std::size_t>(length) >= target.size()) return ENAMETOOLONG;  // changed meanwhile
      target.resize(static_cast<std::size_t>(length));
      return writing([&] {
        if (::symlinkat(target.c_str(), toDir, name) != 0) return errno;
        if (owner && ::fchownat(toDir, name, owner->uid, owner->gid, AT_SYMLINK_NOFOLLOW) != 0) return errno;
        return 0;
      });
    }
    const int flags = S_ISDIR(info.st_mode) ? O_RDONLY | O_DIRECTORY : O_RDONLY | O_NONBLOCK;
    Fd source;
    if (int rc = reading([&] {
          source.reset(::openat(fromDir, name, flags | O_NOFOLLOW | O_CLOEXEC));
          return source.get() < 0 ? errno : 0;
        }))
      return rc;
    struct stat opened{};
    if (::fstat(source.get(), &opened) != 0) return errno;
    return copyOpened(source.get(), opened, toDir, name, depth);
  }
};

}  // namespace

int TreeRoot::open() const {
  if (volume_) return ::fcntl(volume_->fd(), F_DUPFD_CLOEXEC, 0);
  return detail::openRootDirectory(path_);
}

std::uint64_t TreeRoot::resolve() const { return volume_ && volume_->confined() ? RESOLVE_NO_XDEV : 0; }

TreeAttributesOutcome setTreeAttributesBeneath(const TreeRoot& root, std::string_view relative, Ownership owner,
                                               std::uint32_t mode) {
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return {};
  Parent parent;
  if (!openParent(rootFd.get(), relative, parent, root.resolve())) return {};
  struct stat info{};
  if (::fstatat(parent.fd.get(), parent.leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(info.st_mode))
    return {};
  AttributeWalk walk{owner, mode & 07777u, info.st_dev};
  walk.item(parent.fd.get(), parent.leaf.c_str(), info, 0);
  return walk.outcome;
}

int removeBeneath(const TreeRoot& root, std::string_view relative) {
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return errno;
  Parent parent;
  if (!openParent(rootFd.get(), relative, parent, root.resolve())) return errno;
  return removeAt(parent.fd.get(), parent.leaf.c_str(), 0, 0);
}

int copyTreeBeneath(const TreeRoot& fromRoot, std::string_view from, const TreeRoot& toRoot, std::string_view to,
                    std::optional<Ownership> owner, CopyIdentities identities) {
  Fd source;
  if (int rc = as(identities.reader, [&] {
        Fd fromRootFd(fromRoot.open());
        if (fromRootFd.get() < 0) return errno;
        source.reset(detail::openBeneath(fromRootFd.get(), from, O_RDONLY | O_NONBLOCK, fromRoot.resolve()));
        return source.get() < 0 ? errno : 0;
      }))
    return rc;
  struct stat info{};
  if (::fstat(source.get(), &info) != 0) return errno;
  Parent parent;
  if (int rc = as(identities.writer, [&] {
        Fd toRootFd(toRoot.open());
        if (toRootFd.get() < 0) return errno;
        if (!openParent(toRootFd.get(), to, parent, toRoot.resolve())) return errno;
        struct stat existing{};
        return ::fstatat(parent.fd.get(), parent.leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 ? EEXIST : 0;
      }))
    return rc;
  return Copier{owner, identities}.copyOpened(source.get(), info, parent.fd.get(), parent.leaf.c_str(), 0);
}

int makeDirectoriesBeneath(const TreeRoot& root, std::string_view relative, std::uint32_t mode,
                           std::optional<Ownership> owner) {
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return errno;
  // Each level is opened from the root again, so links along the way resolve as the root sees them.
  std::string done;
  std::string_view rest = relative;
  for (;;) {
    while (!rest.empty() && rest.front() == '/') rest.remove_prefix(1);
    if (rest.empty()) return 0;
    const auto slash = rest.find('/');
    const std::string component(rest.substr(0, slash));
    rest = slash == std::string_view::npos ? std::string_view() : rest.substr(slash);
    if (component == "." || component == "..") return EINVAL;
    Fd parent(detail::openBeneath(rootFd.get(), done, O_RDONLY | O_DIRECTORY, root.resolve()));
    if (parent.get() < 0) return errno;
    done += "/" + component;
    if (::mkdirat(parent.get(), component.c_str(), mode & 07777u) != 0) {
      if (errno != EEXIST) return errno;
      continue;
    }
    Fd created(::openat(parent.get(), component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (created.get() < 0) return errno;
    if (owner && ::fchown(created.get(), owner->uid, owner->gid) != 0) return errno;
    if (::fchmod(created.get(), mode & 07777u) != 0) return errno;
  }
}

int touchBeneath(const TreeRoot& root, std::string_view relative) {
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return errno;
  Fd item(detail::openBeneath(rootFd.get(), relative, O_PATH, root.resolve()));
  if (item.get() < 0) return errno;
  const std::string self = "/proc/self/fd/" + std::to_string(item.get());
  return ::utimensat(AT_FDCWD, self.c_str(), nullptr, 0) == 0 ? 0 : errno;
}

int writeFileBeneath(const TreeRoot& root, std::string_view relative, std::string_view contents, std::uint32_t mode,
                     std::optional<Ownership> owner) {
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return errno;
  Parent parent;
  if (!openParent(rootFd.get(), relative, parent, root.resolve())) return errno;
  Fd file(::openat(parent.fd.get(), parent.leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (file.get() < 0) return errno;
  if (const int rc = detail::writeAll(file.get(), contents)) return rc;
  if (::fchmod(file.get(), mode & 07777u) != 0) return errno;
  return owner && ::fchown(file.get(), owner->uid, owner->gid) != 0 ? errno : 0;
}

}  // namespace tarnix::platform
