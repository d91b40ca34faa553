#include "platform/TreeOperations.h"

#include <dirent.h>
#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <unistd.h>

#include <sys/syscall.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <string>
#include <vector>

#include "platform/Beneath.h"

namespace tarnix::platform {
namespace {

using detail::Fd;

std::atomic<const detail::TreeFault*> injectedFault{nullptr};

// True, with errno set, when a test made this call on `name` fail.
bool failing(TreeCall call, const char* name) {
  const detail::TreeFault* fault = injectedFault.load(std::memory_order_acquire);
  if (!fault || fault->call != call || fault->name != name) return false;
  if (fault->remaining.fetch_sub(1, std::memory_order_relaxed) <= 0) return false;
  errno = fault->error;
  return true;
}

// The system calls on named items, each as the kernel's own but for the fault a test injects.
namespace sys {
int fstatat(int dir, const char* name, struct stat* info, int flags) {
  return failing(TreeCall::status, name) ? -1 : ::fstatat(dir, name, info, flags);
}
int openat(int dir, const char* name, int flags, mode_t mode = 0) {
  const TreeCall call = flags & O_CREAT ? TreeCall::createFile : TreeCall::open;
  return failing(call, name) ? -1 : ::openat(dir, name, flags, mode);
}
int mkdirat(int dir, const char* name, mode_t mode) {
  return failing(TreeCall::makeFolder, name) ? -1 : ::mkdirat(dir, name, mode);
}
int symlinkat(const char* target, int dir, const char* name) {
  return failing(TreeCall::makeLink, name) ? -1 : ::symlinkat(target, dir, name);
}
ssize_t readlinkat(int dir, const char* name, char* buffer, std::size_t size) {
  return failing(TreeCall::readLink, name) ? -1 : ::readlinkat(dir, name, buffer, size);
}
int fchownat(int dir, const char* name, uid_t uid, gid_t gid, int flags) {
  return failing(TreeCall::owner, name) ? -1 : ::fchownat(dir, name, uid, gid, flags);
}
int fchown(int fd, const char* name, uid_t uid, gid_t gid) {
  return failing(TreeCall::owner, name) ? -1 : ::fchown(fd, uid, gid);
}
int fchmodat(int dir, const char* name, mode_t mode, int flags) {
  return failing(TreeCall::mode, name) ? -1 : ::fchmodat(dir, name, mode, flags);
}
int fchmod(int fd, const char* name, mode_t mode) { return failing(TreeCall::mode, name) ? -1 : ::fchmod(fd, mode); }
int unlinkat(int dir, const char* name, int flags) {
  return failing(TreeCall::remove, name) ? -1 : ::unlinkat(dir, name, flags);
}
// 0 or an errno value, as detail::writeAll.
int writeAll(int fd, const char* name, std::string_view bytes) {
  return failing(TreeCall::write, name) ? errno : detail::writeAll(fd, bytes);
}
}  // namespace sys

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
  const TreeChangeObserver* observer;
  TreeAttributesOutcome outcome{true, true};

  // `dirFd` holds `name`, whose lstat is `info` and whose path beneath the root is `relative`.
  void item(int dirFd, const char* name, const struct stat& info, int depth, std::string& relative) {
    const bool link = S_ISLNK(info.st_mode);
    const bool ownerDiffers = info.st_uid != owner.uid || info.st_gid != owner.gid;
    const bool modeDiffers = !link && (info.st_mode & 07777u) != mode;
    // An item the observer holds back keeps its attributes; a folder's items are still walked.
    const bool held = (ownerDiffers || modeDiffers) && observer &&
                      !(*observer)(relative, FileAttributes{info.st_uid, info.st_gid, info.st_mode});
    if (held) {
      if (ownerDiffers) outcome.ownersSet = false;
      if (modeDiffers) outcome.modesSet = false;
    } else if (ownerDiffers && sys::fchownat(dirFd, name, owner.uid, owner.gid, AT_SYMLINK_NOFOLLOW) != 0) {
      outcome.ownersSet = false;
    }
    if (link) return;  // as chmod -R does, links keep their mode
    if (!S_ISDIR(info.st_mode)) {
      // AT_SYMLINK_NOFOLLOW: if the file was swapped for a link meanwhile, fail rather than
      // change the link's target.
      if (!held && modeDiffers && sys::fchmodat(dirFd, name, mode, AT_SYMLINK_NOFOLLOW) != 0) outcome.modesSet = false;
      return;
    }
    Fd child(sys::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (child.get() < 0) {
      outcome.ownersSet = outcome.modesSet = false;
      return;
    }
    if (!held && modeDiffers && sys::fchmod(child.get(), name, mode) != 0) outcome.modesSet = false;
    struct stat opened {};
    if (::fstat(child.get(), &opened) != 0 || opened.st_dev != device) return;  // another file system
    if (depth >= kMaxDepth) {
      outcome.ownersSet = outcome.modesSet = false;
      return;
    }
    std::vector<std::string> names;
    if (failing(TreeCall::list, name) || !listNames(child.get(), names)) {
      outcome.ownersSet = outcome.modesSet = false;
      return;
    }
    const std::size_t length = relative.size();
    for (const auto& entry : names) {
      struct stat entryInfo {};
      if (sys::fstatat(child.get(), entry.c_str(), &entryInfo, AT_SYMLINK_NOFOLLOW) != 0) {
        if (errno != ENOENT) outcome.ownersSet = outcome.modesSet = false;
        continue;
      }
      relative.append("/").append(entry);
      item(child.get(), entry.c_str(), entryInfo, depth + 1, relative);
      relative.resize(length);
    }
  }
};

// `device` is the file system the removal stays on; 0 takes the item's own.
int removeAt(int dirFd, const char* name, int depth, dev_t device) {
  struct stat info {};
  if (sys::fstatat(dirFd, name, &info, AT_SYMLINK_NOFOLLOW) != 0) return errno;
  if (!S_ISDIR(info.st_mode)) return sys::unlinkat(dirFd, name, 0) == 0 ? 0 : errno;
  if (depth >= kMaxDepth) return ELOOP;
  {
    Fd child(sys::openat(dirFd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (child.get() < 0) return errno;
    struct stat opened {};
    if (::fstat(child.get(), &opened) != 0) return errno;
    if (depth == 0) device = opened.st_dev;
    if (opened.st_dev != device) return EXDEV;  // something is mounted there
    std::vector<std::string> names;
    if (failing(TreeCall::list, name) || !listNames(child.get(), names)) return errno ? errno : EIO;
    for (const auto& entry : names) {
      const int rc = removeAt(child.get(), entry.c_str(), depth + 1, device);
      if (rc != 0 && rc != ENOENT) return rc;
    }
  }
  return sys::unlinkat(dirFd, name, AT_REMOVEDIR) == 0 ? 0 : errno;
}

int copyFileData(int from, int to, const char* name) {
  char buffer[65536];
  for (;;) {
    const ssize_t got = ::read(from, buffer, sizeof buffer);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) return 0;
    if (const int rc = sys::writeAll(to, name, std::string_view(buffer, static_cast<std::size_t>(got)))) return rc;
  }
}

struct Copier {
  std::optional<Ownership> owner;
  CopyIdentities identities;
  mutable bool madeTop = false;  // the copy's top item exists, made by this copy

  int applyOwner(int fd, const char* name) const {
    if (owner && sys::fchown(fd, name, owner->uid, owner->gid) != 0) return errno;
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
            target.reset(sys::openat(toDir, name, O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
            return target.get() < 0 ? errno : 0;
          }))
        return rc;
      if (depth == 0) madeTop = true;
      if (int rc = copyFileData(fromFd, target.get(), name)) return rc;
      return finish(target.get(), name, permissions);
    }
    if (!S_ISDIR(info.st_mode)) return ENOTSUP;  // devices and pipes have no place in a bundle
    if (depth >= kMaxDepth) return ELOOP;
    Fd target;
    if (int rc = writing([&] {
          if (sys::mkdirat(toDir, name, 0700) != 0) return errno;
          if (depth == 0) madeTop = true;
          target.reset(sys::openat(toDir, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
          return target.get() < 0 ? errno : 0;
        }))
      return rc;
    std::vector<std::string> names;
    if (failing(TreeCall::list, name) || !listNames(fromFd, names)) return errno ? errno : EIO;
    for (const auto& entry : names) {
      if (int rc = copyEntry(fromFd, entry.c_str(), target.get(), depth + 1)) return rc;
    }
    return finish(target.get(), name, permissions);
  }

  int finish(int targetFd, const char* name, mode_t permissions) const {
    return writing([&] {
      if (int rc = applyOwner(targetFd, name)) return rc;
      return sys::fchmod(targetFd, name, permissions) == 0 ? 0 : errno;
    });
  }

  int copyEntry(int fromDir, const char* name, int toDir, int depth) const {
    struct stat info {};
    if (int rc = reading([&] { return sys::fstatat(fromDir, name, &info, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno; }))
      return rc;
    if (S_ISLNK(info.st_mode)) {
      std::string target(static_cast<std::size_t>(info.st_size > 0 ? info.st_size : 256) + 1, '\0');
      ssize_t length = -1;
      if (int rc = reading([&] {
            length = sys::readlinkat(fromDir, name, target.data(), target.size());
            return length < 0 ? errno : 0;
          }))
        return rc;
      if (static_cast<std::size_t>(length) >= target.size()) return ENAMETOOLONG;  // changed meanwhile
      target.resize(static_cast<std::size_t>(length));
      return writing([&] {
        if (sys::symlinkat(target.c_str(), toDir, name) != 0) return errno;
        if (owner && sys::fchownat(toDir, name, owner->uid, owner->gid, AT_SYMLINK_NOFOLLOW) != 0) return errno;
        return 0;
      });
    }
    const int flags = S_ISDIR(info.st_mode) ? O_RDONLY | O_DIRECTORY : O_RDONLY | O_NONBLOCK;
    Fd source;
    if (int rc = reading([&] {
          source.reset(sys::openat(fromDir, name, flags | O_NOFOLLOW | O_CLOEXEC));
          return source.get() < 0 ? errno : 0;
        }))
      return rc;
    struct stat opened {};
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
                                               std::uint32_t mode, const TreeChangeObserver* observer) {
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return {};
  Parent parent;
  if (!openParent(rootFd.get(), relative, parent, root.resolve())) return {};
  struct stat info {};
  if (sys::fstatat(parent.fd.get(), parent.leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0 || S_ISLNK(info.st_mode))
    return {};
  AttributeWalk walk{owner, mode & 07777u, info.st_dev, observer};
  std::string path(relative);
  while (path.size() > 1 && path.back() == '/') path.pop_back();
  walk.item(parent.fd.get(), parent.leaf.c_str(), info, 0, path);
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
  struct stat info {};
  if (::fstat(source.get(), &info) != 0) return errno;
  Parent parent;
  if (int rc = as(identities.writer, [&] {
        Fd toRootFd(toRoot.open());
        if (toRootFd.get() < 0) return errno;
        if (!openParent(toRootFd.get(), to, parent, toRoot.resolve())) return errno;
        struct stat existing {};
        return sys::fstatat(parent.fd.get(), parent.leaf.c_str(), &existing, AT_SYMLINK_NOFOLLOW) == 0 ? EEXIST : 0;
      }))
    return rc;
  const Copier copier{owner, identities};
  const int rc = copier.copyOpened(source.get(), info, parent.fd.get(), parent.leaf.c_str(), 0);
  // A copy cut short is no copy: what it made goes, so that nobody takes it for the whole tree
  // (a kext kept for undo, a backup) and the same copy can be tried again.
  if (rc != 0 && copier.madeTop) copier.writing([&] { return removeAt(parent.fd.get(), parent.leaf.c_str(), 0, 0); });
  return rc;
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
    if (sys::mkdirat(parent.get(), component.c_str(), mode & 07777u) != 0) {
      if (errno != EEXIST) return errno;
      // What is there must be a folder (or a link to one inside the root): the next level's
      // open checks that for the levels above the last.
      if (rest.find_first_not_of('/') == std::string_view::npos) {
        Fd existing(detail::openBeneath(rootFd.get(), done, O_PATH | O_DIRECTORY, root.resolve()));
        if (existing.get() < 0) return errno;
      }
      continue;
    }
    // A folder made but not given its owner and mode goes again: the next call would find it
    // there and take it as done.
    const auto unmake = [&](int error) {
      ::unlinkat(parent.get(), component.c_str(), AT_REMOVEDIR);
      return error;
    };
    Fd created(sys::openat(parent.get(), component.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (created.get() < 0) return unmake(errno);
    if (owner && sys::fchown(created.get(), component.c_str(), owner->uid, owner->gid) != 0) return unmake(errno);
    if (sys::fchmod(created.get(), component.c_str(), mode & 07777u) != 0) return unmake(errno);
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
  Fd file(
      sys::openat(parent.fd.get(), parent.leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600));
  if (file.get() < 0) return errno;
  int rc = sys::writeAll(file.get(), parent.leaf.c_str(), contents);
  if (rc == 0 && sys::fchmod(file.get(), parent.leaf.c_str(), mode & 07777u) != 0) rc = errno;
  if (rc == 0 && owner && sys::fchown(file.get(), parent.leaf.c_str(), owner->uid, owner->gid) != 0) rc = errno;
  // A file cut short (a full disk) goes: at the tool's place it would pass for the tool.
  if (rc != 0) ::unlinkat(parent.fd.get(), parent.leaf.c_str(), 0);
  return rc;
}

namespace {

// renameat2 through the system call: glibc 2.36 declares it, older ones do not.
int renameAt2(int fromDir, const char* from, int toDir, const char* to, unsigned flags) {
  if (failing(TreeCall::rename, from)) return errno;
  return ::syscall(SYS_renameat2, fromDir, from, toDir, to, flags) == 0 ? 0 : errno;
}

constexpr unsigned kRenameNoReplace = 1u << 0;
constexpr unsigned kRenameExchange = 1u << 1;

int renameBetween(const TreeRoot& root, std::string_view from, std::string_view to, unsigned flags) {
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return errno;
  Parent source, target;
  if (!openParent(rootFd.get(), from, source, root.resolve())) return errno;
  if (!openParent(rootFd.get(), to, target, root.resolve())) return errno;
  return renameAt2(source.fd.get(), source.leaf.c_str(), target.fd.get(), target.leaf.c_str(), flags);
}

void describeItem(int dirFd, const std::string& name, const std::string& relative, const struct stat& info, bool top,
                  int depth, std::string& out, bool& ok) {
  char line[160];
  const char type = S_ISDIR(info.st_mode) ? 'd' : S_ISLNK(info.st_mode) ? 'l' : S_ISREG(info.st_mode) ? 'f' : 'o';
  std::snprintf(line, sizeof line, "\t%c\t%o\t%u\t%u\t%lld", type, static_cast<unsigned>(info.st_mode & 07777u),
                static_cast<unsigned>(info.st_uid), static_cast<unsigned>(info.st_gid),
                static_cast<long long>(S_ISDIR(info.st_mode) ? 0 : info.st_size));
  out.append(relative).append(line);
  if (!top) {
    std::snprintf(line, sizeof line, "\t%lld.%09ld", static_cast<long long>(info.st_mtim.tv_sec),
                  static_cast<long>(info.st_mtim.tv_nsec));
    out.append(line);
  }
  if (S_ISLNK(info.st_mode)) {
    char target[4096];
    const ssize_t length = ::readlinkat(dirFd, name.c_str(), target, sizeof target);
    if (length < 0) ok = false;
    out.append("\t").append(target, static_cast<std::size_t>(std::max<ssize_t>(length, 0)));
  }
  out.push_back('\n');
  if (!S_ISDIR(info.st_mode)) return;
  if (depth >= kMaxDepth) {
    ok = false;
    return;
  }
  Fd child(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
  std::vector<std::string> names;
  if (child.get() < 0 || !listNames(child.get(), names)) {
    ok = false;
    return;
  }
  std::sort(names.begin(), names.end());
  for (const auto& entry : names) {
    struct stat entryInfo {};
    if (::fstatat(child.get(), entry.c_str(), &entryInfo, AT_SYMLINK_NOFOLLOW) != 0) {
      ok = false;
      continue;
    }
    describeItem(child.get(), entry, relative + "/" + entry, entryInfo, false, depth + 1, out, ok);
  }
}

}  // namespace

int exchangeBeneath(const TreeRoot& root, std::string_view first, std::string_view second) {
  return renameBetween(root, first, second, kRenameExchange);
}

int renameBeneath(const TreeRoot& root, std::string_view from, std::string_view to) {
  return renameBetween(root, from, to, kRenameNoReplace);
}

std::optional<std::vector<std::string>> listFolderBeneath(const TreeRoot& root, std::string_view relative) {
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return std::nullopt;
  Fd folder(detail::openBeneath(rootFd.get(), relative, O_RDONLY | O_DIRECTORY, root.resolve()));
  std::vector<std::string> names;
  if (folder.get() < 0 || !listNames(folder.get(), names)) return std::nullopt;
  return names;
}

namespace {

// The item's parent opened beneath the root and the item's own status; false when it is missing.
bool statBeneath(const TreeRoot& root, std::string_view relative, Parent& parent, struct stat& info) {
  Fd rootFd(root.open());
  return rootFd.get() >= 0 && openParent(rootFd.get(), relative, parent, root.resolve()) &&
         ::fstatat(parent.fd.get(), parent.leaf.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

}  // namespace

std::optional<FileAttributes> attributesBeneath(const TreeRoot& root, std::string_view relative) {
  Parent parent;
  struct stat info {};
  if (!statBeneath(root, relative, parent, info)) return std::nullopt;
  return FileAttributes{info.st_uid, info.st_gid, info.st_mode};
}

std::optional<std::int64_t> modificationTimeBeneath(const TreeRoot& root, std::string_view relative) {
  Parent parent;
  struct stat info {};
  if (!statBeneath(root, relative, parent, info)) return std::nullopt;
  return static_cast<std::int64_t>(info.st_mtim.tv_sec);
}

std::optional<std::string> describeTreeBeneath(const TreeRoot& root, std::string_view relative) {
  Parent parent;
  struct stat info {};
  if (!statBeneath(root, relative, parent, info)) return std::nullopt;
  std::string out;
  bool ok = true;
  describeItem(parent.fd.get(), parent.leaf, ".", info, true, 0, out, ok);
  if (!ok) return std::nullopt;
  return out;
}

int AppendFile::create(const TreeRoot& root, std::string_view relative, std::uint32_t mode) {
  if (fd_ >= 0) return EBUSY;
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return errno;
  Parent parent;
  if (!openParent(rootFd.get(), relative, parent, root.resolve())) return errno;
  fd_ = ::openat(parent.fd.get(), parent.leaf.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_APPEND | O_NOFOLLOW | O_CLOEXEC,
                 static_cast<mode_t>(mode & 0777u));
  if (fd_ < 0) return errno;
  // Past the umask: a journal must be readable by whoever may read its folder.
  (void)::fchmod(fd_, static_cast<mode_t>(mode & 0777u));
  return 0;
}

AppendFile::~AppendFile() {
  if (fd_ >= 0) ::close(fd_);
}

int AppendFile::append(std::string_view bytes) const {
  if (fd_ < 0) return EBADF;
  // O_APPEND places each write(2) whole at the end, so threads need no lock; a short write
  // (a full disk) is finished by further writes.
  return detail::writeAll(fd_, bytes);
}

int AppendFile::sync() const {
  if (fd_ < 0) return EBADF;
  return ::fdatasync(fd_) == 0 ? 0 : errno;
}

int forEachLineBeneath(const TreeRoot& root, std::string_view relative, std::size_t maxLine,
                       const std::function<bool(std::string_view line, LineEnd end)>& line) {
  Fd rootFd(root.open());
  if (rootFd.get() < 0) return errno;
  Fd file(detail::openBeneath(rootFd.get(), relative, O_RDONLY | O_NONBLOCK | O_NOFOLLOW, root.resolve()));
  if (file.get() < 0) return errno;
  struct stat info {};
  if (::fstat(file.get(), &info) != 0) return errno;
  if (!S_ISREG(info.st_mode)) return EINVAL;
  std::string buffer;
  std::string pending;
  buffer.resize(1 << 16);
  bool skipping = false;  // the rest of a line already handed out as too long
  for (;;) {
    const ssize_t got = ::read(file.get(), buffer.data(), buffer.size());
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return errno;
    if (got == 0) break;
    std::string_view chunk(buffer.data(), static_cast<std::size_t>(got));
    while (!chunk.empty()) {
      const auto end = chunk.find('\n');
      const std::string_view piece = chunk.substr(0, end);
      if (!skipping) {
        if (pending.size() + piece.size() > maxLine) {
          pending.append(piece.substr(0, maxLine - pending.size()));
          if (!line(pending, LineEnd::tooLong)) return 0;
          pending.clear();
          skipping = true;
        } else {
          pending.append(piece);
        }
      }
      if (end == std::string_view::npos) break;
      if (!skipping && !line(pending, LineEnd::newline)) return 0;
      pending.clear();
      skipping = false;
      chunk.remove_prefix(end + 1);
    }
  }
  if (!pending.empty() && !skipping) line(pending, LineEnd::endOfFile);
  return 0;
}

}  // namespace tarnix::platform

namespace tarnix::platform::detail {

void setTreeFault(const TreeFault* fault) { injectedFault.store(fault, std::memory_order_release); }

}  // namespace tarnix::platform::detail
