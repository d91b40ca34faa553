#include "platform/VolumeHandle.h"

#include <fcntl.h>
#include <linux/openat2.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <unistd.h>

#include <cerrno>

#include "platform/Mounts.h"

namespace tarnix::platform {

VolumeHandle::VolumeHandle(VolumeHandle&& other) noexcept
    : fd_(other.fd_), mountPoint_(std::move(other.mountPoint_)), confined_(other.confined_) {
  other.fd_ = -1;
}

VolumeHandle& VolumeHandle::operator=(VolumeHandle&& other) noexcept {
  if (this != &other) {
    if (fd_ >= 0) ::close(fd_);
    fd_ = other.fd_;
    other.fd_ = -1;
    mountPoint_ = std::move(other.mountPoint_);
    confined_ = other.confined_;
  }
  return *this;
}

VolumeHandle::~VolumeHandle() {
  if (fd_ >= 0) ::close(fd_);
}

std::string_view describe(VolumeRefusal refusal) {
  switch (refusal) {
    case VolumeRefusal::unreachable: return "it cannot be opened as a folder without following a link";
    case VolumeRefusal::notAMountRoot: return "it is not the root of a mounted file system";
    case VolumeRefusal::foreignMount: return "it is not mounted in this system's mount namespace";
    case VolumeRefusal::notBlockDevice: return "no block device holds its file system";
    case VolumeRefusal::runningSystem: return "it holds the running system";
    case VolumeRefusal::missingNosuidNodev: return "it is not mounted nosuid,nodev";
  }
  return "";
}

namespace {

VolumeOpening refused(VolumeRefusal refusal) { return VolumeOpening{std::nullopt, refusal}; }

// The file systems the running system lives on: a volume on any of them would let a repair
// or an install change the host itself.
bool holdsRunningSystem(dev_t device) {
  for (const char* folder : {"/", "/usr", "/etc", "/var", "/home"}) {
    struct stat info {};
    if (::stat(folder, &info) == 0 && info.st_dev == device) return true;
  }
  return false;
}

}  // namespace

VolumeOpening openVolume(const std::string& path) {
  const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
  if (fd < 0) return refused(VolumeRefusal::unreachable);
  return VolumeOpening{VolumeHandle(fd, path, false), VolumeRefusal::unreachable};
}

VolumeOpening openTrustedVolume(const std::string& path) {
  open_how how{};
  how.flags = O_RDONLY | O_DIRECTORY | O_CLOEXEC;
  how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_MAGICLINKS;
  long opened = -1;
  do {
    opened = ::syscall(SYS_openat2, AT_FDCWD, path.c_str(), &how, sizeof how);
  } while (opened < 0 && (errno == EAGAIN || errno == EINTR));
  if (opened < 0) return refused(VolumeRefusal::unreachable);
  VolumeHandle volume(static_cast<int>(opened), path, true);

  struct statx info {};
  if (::statx(volume.fd(), "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_MNT_ID, &info) != 0 ||
      !(info.stx_mask & STATX_MNT_ID) || !(info.stx_attributes_mask & STATX_ATTR_MOUNT_ROOT))
    return refused(VolumeRefusal::unreachable);
  if (!(info.stx_attributes & STATX_ATTR_MOUNT_ROOT)) return refused(VolumeRefusal::notAMountRoot);
  // Mount ids are unique in the system, but this file lists only this namespace's mounts.
  const Mount* mount = nullptr;
  const auto mounts = mountedFileSystems();
  for (const auto& candidate : mounts)
    if (candidate.mountId == info.stx_mnt_id) mount = &candidate;
  if (!mount) return refused(VolumeRefusal::foreignMount);
  // A folder of a file system bound elsewhere is not a volume of its own.
  if (mount->root != "/") return refused(VolumeRefusal::notAMountRoot);
  if (holdsRunningSystem(makedev(info.stx_dev_major, info.stx_dev_minor))) return refused(VolumeRefusal::runningSystem);
  if (!mount->onBlockDevice() || info.stx_dev_major == 0) return refused(VolumeRefusal::notBlockDevice);
  // Every mount of the file system, not only this one: a set-user-id file made here must not
  // be honoured where the same file system is mounted again.
  for (const auto& other : mounts)
    if (other.device == mount->device && (!other.hasOption("nosuid") || !other.hasOption("nodev")))
      return refused(VolumeRefusal::missingNosuidNodev);
  return VolumeOpening{std::move(volume), VolumeRefusal::unreachable};
}

}  // namespace tarnix::platform
