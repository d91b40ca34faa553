#include "platform/AtomicFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <ctime>
#include <optional>

namespace tarnix::platform {
namespace {

int writeAll(int fd, std::string_view contents) {
  while (!contents.empty()) {
    const ssize_t done = ::write(fd, contents.data(), contents.size());
    if (done < 0 && errno == EINTR) continue;
    if (done < 0) return errno;
    if (done == 0) return EIO;
    contents.remove_prefix(static_cast<std::size_t>(done));
  }
  return 0;
}

// The file that will really be replaced: the target of a link, or the path itself.
std::optional<std::string> resolveTarget(const std::string& path) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  char resolved[PATH_MAX];
  if (!::realpath(path.c_str(), resolved)) return std::nullopt;
  return std::string(resolved);
}

// "config" and ".plist"; a name without an extension (or only a leading dot) keeps it all.
void splitExtension(const std::string& name, std::string& stem, std::string& extension) {
  const std::size_t dot = name.rfind('.');
  if (dot == std::string::npos || dot == 0) {
    stem = name;
    extension.clear();
    return;
  }
  stem = name.substr(0, dot);
  extension = name.substr(dot);
}

}  // namespace

int keepDatedCopy(const std::string& path, std::time_t when, std::string& copyPath) {
  const auto target = resolveTarget(path);
  if (!target) return errno != 0 ? errno : ENOENT;
  const int source = ::open(target->c_str(), O_RDONLY | O_CLOEXEC | O_NOFOLLOW);
  if (source < 0) return errno;
  struct stat info {};
  std::string contents;
  int error = 0;
  if (::fstat(source, &info) != 0) {
    error = errno;
  } else if (!S_ISREG(info.st_mode)) {
    error = EISDIR;
  } else {
    char buffer[65536];
    for (;;) {
      const ssize_t got = ::read(source, buffer, sizeof buffer);
      if (got < 0 && errno == EINTR) continue;
      if (got < 0) error = errno;
      if (got <= 0) break;
      contents.append(buffer, static_cast<std::size_t>(got));
    }
  }
  ::close(source);
  if (error) return error;

  const std::size_t slash = target->rfind('/');
  const std::string folder = slash == std::string::npos ? std::string() : target->substr(0, slash + 1);
  std::string stem, extension;
  splitExtension(slash == std::string::npos ? *target : target->substr(slash + 1), stem, extension);
  std::tm local{};
  char stamp[32] = "";
  if (!::localtime_r(&when, &local) || std::strftime(stamp, sizeof stamp, "%Y_%m_%d_%H_%M_%S", &local) == 0)
    return EINVAL;
  for (int attempt = 1; attempt <= 100; ++attempt) {
    std::string name = folder + stem + "-" + stamp;
    if (attempt > 1) name += "-" + std::to_string(attempt);
    name += extension;
    const int fd = ::open(name.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, info.st_mode & 07777);
    if (fd < 0 && errno == EEXIST) continue;
    if (fd < 0) return errno;
    // Past the umask; a file system that keeps no modes (FAT) may refuse, which loses nothing.
    (void)::fchmod(fd, info.st_mode & 07777);
    error = writeAll(fd, contents);
    if (!error && ::fsync(fd) != 0) error = errno;
    if (::close(fd) != 0 && !error) error = errno;
    if (error) {
      ::unlink(name.c_str());
      return error;
    }
    copyPath = std::move(name);
    return 0;
  }
  return EEXIST;
}

int replaceFileAtomically(const std::string& path, std::string_view contents, std::uint32_t newFileMode,
                          const AtomicReplaceHooks* hooks) {
  if (path.empty()) return EINVAL;
  const auto target = resolveTarget(path);
  if (!target) return errno != 0 ? errno : ENOENT;

  const std::size_t slash = target->rfind('/');
  const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : target->substr(0, slash));
  const std::string base = slash == std::string::npos ? *target : target->substr(slash + 1);
  if (base.empty()) return EISDIR;

  struct stat old {};
  const bool existed = ::stat(target->c_str(), &old) == 0;
  if (existed && !S_ISREG(old.st_mode)) return EISDIR;

  std::string temporary = folder + "/." + base + ".tarnix-XXXXXX";
  const int fd = ::mkostemp(temporary.data(), O_CLOEXEC);
  if (fd < 0) return errno;

  auto abandon = [&](int error) {
    if (fd >= 0) ::close(fd);
    ::unlink(temporary.c_str());
    return error;
  };
  const mode_t mode = existed ? (old.st_mode & 07777) : static_cast<mode_t>(newFileMode & 07777);
  if (::fchmod(fd, mode) != 0) return abandon(errno);
  // Keeping the owner only works for root; anyone else writes a file of their own, as an editor would.
  if (existed && (old.st_uid != ::geteuid() || old.st_gid != ::getegid()) &&
      ::fchown(fd, old.st_uid, old.st_gid) != 0) {
    // Not root: the new file stays ours.
  }
  if (int error = writeAll(fd, contents)) return abandon(error);
  if (::fsync(fd) != 0) return abandon(errno);
  if (::close(fd) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return error;
  }
  if (hooks && hooks->beforeRename) {
    if (int error = hooks->beforeRename()) {
      ::unlink(temporary.c_str());
      return error;
    }
  }
  if (::rename(temporary.c_str(), target->c_str()) != 0) {
    const int error = errno;
    ::unlink(temporary.c_str());
    return error;
  }
  // Make the new directory entry itself durable; the replacement has happened either way.
  const int folderFd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (folderFd >= 0) {
    (void)::fsync(folderFd);
    ::close(folderFd);
  }
  return 0;
}

}  // namespace tarnix::platform
