#include "platform/Files.h"

#include <dirent.h>
#include <fcntl.h>
#include <pwd.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <system_error>

#include "platform/Beneath.h"

namespace tarnix::platform {
namespace {

using detail::Fd;

std::optional<std::string> readAll(int fd, std::size_t limit, FileAttributes* attributes = nullptr) {
  struct stat info {};
  if (fstat(fd, &info) != 0) return std::nullopt;
  if (attributes) *attributes = FileAttributes{info.st_uid, info.st_gid, info.st_mode};
  if (!S_ISREG(info.st_mode)) return std::nullopt;
  if (static_cast<std::uint64_t>(info.st_size) > limit) return std::nullopt;
  // Read to the end rather than to st_size: files of /proc report a size of 0.
  std::string data;
  data.resize(info.st_size > 0 ? static_cast<std::size_t>(info.st_size) : 4096);
  std::size_t done = 0;
  for (;;) {
    if (done == data.size()) {
      if (data.size() >= limit) {
        char probe;
        if (::read(fd, &probe, 1) != 0) return std::nullopt;  // longer than the limit
        break;
      }
      data.resize(std::min(limit, data.size() * 2));
    }
    const ssize_t got = ::read(fd, data.data() + done, data.size() - done);
    if (got < 0 && errno == EINTR) continue;
    if (got < 0) return std::nullopt;
    if (got == 0) break;
    done += static_cast<std::size_t>(got);
  }
  data.resize(done);
  return data;
}

// Name order as an HFS+ volume lists a folder: letters compared without case; names that
// differ only in case (possible here, not there) keep a fixed order by their bytes.
bool listsBefore(std::string_view a, std::string_view b) {
  const auto fold = [](char c) {
    const auto byte = static_cast<unsigned char>(c);
    return byte >= 'A' && byte <= 'Z' ? byte + ('a' - 'A') : int{byte};
  };
  for (std::size_t i = 0; i < a.size() && i < b.size(); ++i)
    if (fold(a[i]) != fold(b[i])) return fold(a[i]) < fold(b[i]);
  if (a.size() != b.size()) return a.size() < b.size();
  return a < b;
}

void enumerateInto(int dirFd, const std::string& prefix, std::vector<std::string>& out, int depth) {
  if (depth > 256) return;  // deeper than any real receipts folder
  const int own = ::dup(dirFd);
  if (own < 0) return;
  DIR* dir = fdopendir(own);
  if (!dir) {
    ::close(own);
    return;
  }
  // The file system's own order (a hash, or the order of creation) would decide which receipt
  // wins a path that two of them list: the names are sorted first.
  std::vector<std::pair<std::string, unsigned char>> entries;
  while (dirent* entry = readdir(dir)) {
    std::string name = entry->d_name;
    if (name == "." || name == "..") continue;
    entries.emplace_back(std::move(name), entry->d_type);
  }
  closedir(dir);
  std::sort(entries.begin(), entries.end(), [](const auto& a, const auto& b) { return listsBefore(a.first, b.first); });
  for (auto& [name, type] : entries) {
    const std::string relative = prefix.empty() ? name : prefix + "/" + name;
    out.push_back(relative);
    if (type == DT_UNKNOWN) {
      struct stat info {};
      if (fstatat(dirFd, name.c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0 && S_ISDIR(info.st_mode)) type = DT_DIR;
    }
    if (type != DT_DIR) continue;
    Fd child(::openat(dirFd, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (child.get() >= 0) enumerateInto(child.get(), relative, out, depth + 1);
  }
}

}  // namespace

std::unique_ptr<MappedFile> mapFd(int fd, std::size_t limit) {
  struct stat info {};
  if (fd < 0 || fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) return nullptr;
  const auto size = static_cast<std::uint64_t>(info.st_size);
  if (size > limit) return nullptr;
  if (size == 0) return std::unique_ptr<MappedFile>(new MappedFile(nullptr, 0));
  // Pages come in as they are read, so that releasePages() bounds what is held.
  void* data = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
  if (data == MAP_FAILED) return nullptr;
  ::madvise(data, size, MADV_WILLNEED);  // start reading ahead into the page cache
  return std::unique_ptr<MappedFile>(new MappedFile(static_cast<const char*>(data), size));
}

MappedFile::~MappedFile() {
  if (data_) ::munmap(const_cast<char*>(data_), size_);
}

void MappedFile::releasePages() const {
  // The mapping is private and never written: dropped pages are read again from the file.
  if (data_) ::madvise(const_cast<char*>(data_), size_, MADV_DONTNEED);
}

std::unique_ptr<MappedFile> mapFile(const std::string& path, std::size_t limit) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  return mapFd(fd.get(), limit);
}

std::unique_ptr<MappedFile> mapFileInVolume(const std::string& mountPoint, const std::string& absolutePath,
                                            std::size_t limit) {
  std::string_view relative;
  std::string root;
  if (mountPoint.empty() || mountPoint == "/") {
    root = "/";
    relative = absolutePath;
  } else if (absolutePath.size() > mountPoint.size() && absolutePath.compare(0, mountPoint.size(), mountPoint) == 0 &&
             absolutePath[mountPoint.size()] == '/') {
    root = mountPoint;
    relative = std::string_view(absolutePath).substr(mountPoint.size());
  } else {
    return mapFile(absolutePath, limit);
  }
  Fd rootFd(detail::openRootDirectory(root));
  if (rootFd.get() < 0) return nullptr;
  Fd fd(detail::openBeneath(rootFd.get(), relative, O_RDONLY | O_NONBLOCK));
  return mapFd(fd.get(), limit);
}

std::optional<std::string> absolutePath(const std::string& path) {
  std::error_code error;
  auto absolute = std::filesystem::absolute(path, error);
  if (error) return std::nullopt;
  std::string text = absolute.lexically_normal().string();
  if (text.size() > 1 && text.back() == '/') text.pop_back();
  return text;
}

bool pathExists(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) == 0;
}

bool isDirectory(const std::string& path) {
  struct stat info {};
  return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

std::optional<std::string> readFile(const std::string& path, std::size_t limit, FileAttributes* attributes) {
  Fd fd(::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK));
  if (fd.get() < 0) return std::nullopt;
  return readAll(fd.get(), limit, attributes);
}

std::optional<std::string> readFileBeneath(const std::string& root, std::string_view relative, std::size_t limit) {
  Fd rootFd(detail::openRootDirectory(root));
  if (rootFd.get() < 0) return std::nullopt;
  Fd fd(detail::openBeneath(rootFd.get(), relative, O_RDONLY | O_NONBLOCK));
  if (fd.get() < 0) return std::nullopt;
  return readAll(fd.get(), limit);
}

bool existsBeneath(const std::string& root, std::string_view relative) {
  Fd rootFd(detail::openRootDirectory(root));
  if (rootFd.get() < 0) return false;
  std::string_view parent, leaf;
  detail::splitParent(relative, parent, leaf);
  Fd parentFd(detail::openBeneath(rootFd.get(), parent, O_PATH | O_DIRECTORY));
  if (parentFd.get() < 0) return false;
  if (leaf.empty()) return true;
  struct stat info {};
  return fstatat(parentFd.get(), std::string(leaf).c_str(), &info, AT_SYMLINK_NOFOLLOW) == 0;
}

std::optional<std::string> readFileInVolume(const std::string& mountPoint, const std::string& absolutePath,
                                            std::size_t limit) {
  if (mountPoint.empty() || mountPoint == "/") return readFileBeneath("/", absolutePath, limit);
  if (absolutePath.size() > mountPoint.size() && absolutePath.compare(0, mountPoint.size(), mountPoint) == 0 &&
      absolutePath[mountPoint.size()] == '/')
    return readFileBeneath(mountPoint, std::string_view(absolutePath).substr(mountPoint.size()), limit);
  return readFile(absolutePath, limit);
}

std::vector<std::string> enumerateBeneath(const std::string& root, std::string_view folder) {
  std::vector<std::string> out;
  Fd rootFd(detail::openRootDirectory(root));
  if (rootFd.get() < 0) return out;
  Fd dirFd(detail::openBeneath(rootFd.get(), folder, O_RDONLY | O_DIRECTORY));
  if (dirFd.get() < 0) return out;
  enumerateInto(dirFd.get(), "", out, 0);
  return out;
}

int makeDirectories(const std::string& path, std::uint32_t mode) {
  std::error_code error;
  std::filesystem::create_directories(path, error);
  if (error) return error.value();
  return ::chmod(path.c_str(), mode) == 0 ? 0 : errno;
}

int writeFile(const std::string& path, std::string_view contents, std::uint32_t mode) {
  Fd fd(::open(path.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOFOLLOW, mode));
  if (fd.get() < 0) return errno;
  if (const int rc = detail::writeAll(fd.get(), contents)) return rc;
  if (::fchmod(fd.get(), mode) != 0) return errno;
  return ::close(fd.release()) == 0 ? 0 : errno;
}

int makeSymlink(const std::string& target, const std::string& linkPath) {
  return ::symlink(target.c_str(), linkPath.c_str()) == 0 ? 0 : errno;
}

int setOwnerNoFollow(const std::string& path, std::uint32_t uid, std::uint32_t gid) {
  return ::lchown(path.c_str(), uid, gid) == 0 ? 0 : errno;
}

int setModeNoFollow(const std::string& path, std::uint32_t permissions) {
  return ::fchmodat(AT_FDCWD, path.c_str(), permissions, AT_SYMLINK_NOFOLLOW) == 0 ? 0 : errno;
}

int removeTree(const std::string& path) {
  std::error_code error;
  std::filesystem::remove_all(path, error);
  return error ? error.value() : 0;
}

int removeFile(const std::string& path) { return ::unlink(path.c_str()) == 0 ? 0 : errno; }

int renamePath(const std::string& from, const std::string& to) {
  return ::rename(from.c_str(), to.c_str()) == 0 ? 0 : errno;
}

bool isSocketOrMissing(const std::string& path) {
  struct stat info {};
  return ::lstat(path.c_str(), &info) != 0 || S_ISSOCK(info.st_mode);
}

bool isWritable(const std::string& path) { return ::access(path.c_str(), W_OK) == 0; }
bool isExecutable(const std::string& path) { return ::access(path.c_str(), X_OK) == 0; }

CreationMask::CreationMask(std::uint32_t mask) : previous_(::umask(static_cast<mode_t>(mask & 0777u))) {}
CreationMask::~CreationMask() { ::umask(static_cast<mode_t>(previous_)); }

std::uint32_t currentUserId() { return ::geteuid(); }
std::uint32_t currentGroupId() { return ::getegid(); }

namespace {

// $`variable` when it is absolute, else the home folder followed by `underHome`.
std::optional<std::string> userFolder(const char* variable, const char* underHome) {
  const char* set = std::getenv(variable);
  if (set && set[0] == '/') return std::string(set);
  std::string home;
  if (const char* fromEnvironment = std::getenv("HOME"); fromEnvironment && fromEnvironment[0] == '/') {
    home = fromEnvironment;
  } else {
    passwd entry{};
    passwd* found = nullptr;
    char buffer[4096];
    if (::getpwuid_r(::geteuid(), &entry, buffer, sizeof buffer, &found) != 0 || !found || !found->pw_dir ||
        found->pw_dir[0] != '/')
      return std::nullopt;
    home = found->pw_dir;
  }
  while (home.size() > 1 && home.back() == '/') home.pop_back();
  return (home == "/" ? std::string() : home) + underHome;
}

}  // namespace

std::optional<std::string> userStateFolder() { return userFolder("XDG_STATE_HOME", "/.local/state"); }
std::optional<std::string> userDataFolder() { return userFolder("XDG_DATA_HOME", "/.local/share"); }

}  // namespace tarnix::platform
