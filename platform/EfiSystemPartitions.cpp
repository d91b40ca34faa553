#include "platform/EfiSystemPartitions.h"

#include <dirent.h>
#include <fcntl.h>
#include <strings.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <optional>

#include "platform/Beneath.h"
#include "platform/Files.h"

namespace tarnix::platform {
namespace {

using detail::Fd;

std::string trimmed(std::string text) {
  while (!text.empty() && (text.back() == '\n' || text.back() == ' ')) text.pop_back();
  return text;
}

// The entry of `folder` named `name` in any case; the exact spelling wins when both exist.
std::optional<std::string> entryIgnoringCase(int folder, const std::string& name, int& error) {
  const int own = ::dup(folder);
  if (own < 0) return std::nullopt;
  DIR* dir = ::fdopendir(own);
  if (!dir) {
    error = errno;
    ::close(own);
    return std::nullopt;
  }
  std::optional<std::string> found;
  while (dirent* entry = ::readdir(dir)) {
    if (name == entry->d_name) {
      found = name;
      break;
    }
    if (!found && ::strcasecmp(name.c_str(), entry->d_name) == 0) found = entry->d_name;
  }
  ::closedir(dir);
  return found;
}

}  // namespace

std::vector<Mount> fatMounts(const std::vector<Mount>& mounts) {
  std::vector<Mount> fat;
  for (const Mount& mount : mounts) {
    if (mount.fileSystemType != "vfat" && mount.fileSystemType != "msdos") continue;
    // A later mount on the same point hides the earlier one.
    std::erase_if(fat, [&](const Mount& seen) { return seen.mountPoint == mount.mountPoint; });
    fat.push_back(mount);
  }
  return fat;
}

std::vector<Mount> mountedFileSystemsWithEfiPartitions() {
  auto mounts = mountedFileSystems();
  bool triggered = false;
  for (const Mount& mount : mounts) {
    if (mount.fileSystemType != "autofs") continue;
    if (mount.mountPoint != "/efi" && mount.mountPoint != "/boot/efi" && mount.mountPoint != "/boot") continue;
    // Opening the folder is what makes the automounter mount the partition.
    if (DIR* dir = ::opendir(mount.mountPoint.c_str())) ::closedir(dir);
    triggered = true;
  }
  return triggered ? mountedFileSystems() : mounts;
}

std::vector<BlockPartition> efiSystemPartitions(const std::string& sysClassBlock, const std::string& udevData) {
  std::vector<BlockPartition> partitions;
  DIR* dir = ::opendir(sysClassBlock.c_str());
  if (!dir) return partitions;
  std::vector<std::string> names;
  while (dirent* entry = ::readdir(dir))
    if (entry->d_name[0] != '.') names.emplace_back(entry->d_name);
  ::closedir(dir);
  std::sort(names.begin(), names.end());
  for (const std::string& name : names) {
    const auto number = readFile(sysClassBlock + "/" + name + "/dev", 64);
    if (!number) continue;
    const std::string device = trimmed(*number);
    // "MAJOR:MINOR" and nothing else, as it becomes part of a path below.
    if (device.empty() || device.find_first_not_of("0123456789:") != std::string::npos) continue;
    // udev keeps one file per block device, "b" and its number, with "E:KEY=value" lines.
    const auto record = readFile(udevData + "/b" + device, 1u << 20);
    if (!record) continue;
    const std::string wanted = "E:ID_PART_ENTRY_TYPE=" + std::string(kEfiSystemPartitionType);
    std::size_t start = 0;
    while (start < record->size()) {
      std::size_t end = record->find('\n', start);
      if (end == std::string::npos) end = record->size();
      if (::strncasecmp(record->data() + start, wanted.c_str(), wanted.size()) == 0 && end - start == wanted.size()) {
        partitions.push_back({"/dev/" + name, device});
        break;
      }
      start = end + 1;
    }
  }
  return partitions;
}

std::vector<BlockPartition> unmountedPartitions(const std::vector<BlockPartition>& partitions,
                                                const std::vector<Mount>& mounts) {
  std::vector<BlockPartition> unmounted;
  for (const BlockPartition& partition : partitions) {
    const bool mounted = std::any_of(mounts.begin(), mounts.end(), [&](const Mount& mount) {
      return mount.device == partition.device || mount.source == partition.path;
    });
    if (!mounted) unmounted.push_back(partition);
  }
  return unmounted;
}

std::optional<std::string> findFileIgnoringCase(const std::string& root, std::string_view relative, int& error) {
  error = 0;
  Fd folder(::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.get() < 0) {
    error = errno == EACCES || errno == EPERM ? EACCES : 0;
    return std::nullopt;
  }
  std::string path = root.empty() || root.back() != '/' ? root : root.substr(0, root.size() - 1);
  while (!relative.empty()) {
    const std::size_t slash = relative.find('/');
    const std::string component(relative.substr(0, slash));
    relative = slash == std::string_view::npos ? std::string_view() : relative.substr(slash + 1);
    if (component.empty()) continue;
    int listing = 0;
    const auto name = entryIgnoringCase(folder.get(), component, listing);
    if (!name) {
      error = listing == EACCES || listing == EPERM ? EACCES : 0;
      return std::nullopt;
    }
    path += "/" + *name;
    struct stat info {};
    if (::fstatat(folder.get(), name->c_str(), &info, AT_SYMLINK_NOFOLLOW) != 0) return std::nullopt;
    if (relative.empty()) return S_ISREG(info.st_mode) ? std::optional<std::string>(path) : std::nullopt;
    if (!S_ISDIR(info.st_mode)) return std::nullopt;
    Fd child(::openat(folder.get(), name->c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (child.get() < 0) {
      error = errno == EACCES || errno == EPERM ? EACCES : 0;
      return std::nullopt;
    }
    folder.reset(child.release());
  }
  return std::nullopt;
}

}  // namespace tarnix::platform
